#include "service_host.h"

#include "pipe_server.h"
#include "service_log.h"
#include "service_names.h"
#include "time_service.h"
#include "tw/handles.h"

#include <windows.h>

#include <memory>
#include <thread>

namespace tickwell::service {
namespace {

// The longest a stop waits for a clock set under way; a query still waiting for
// its servers is left to end with the process.
constexpr DWORD kStopSetWaitMs = 1'000;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopEvent = nullptr;
DWORD checkPoint = 0;

void report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = waitHintMs;
    status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : ++checkPoint;
    ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING, NO_ERROR, 2'000);
        ::SetEvent(stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, LPSTR*) {
    statusHandle = ::RegisterServiceCtrlHandlerExA(kServiceName, control, nullptr);
    if (statusHandle == nullptr)
        return;
    report(SERVICE_START_PENDING, NO_ERROR, 3'000);
    stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ServiceLog log(serviceDataFolder(), true);
    TimeService service(log);
    PipeServer pipe(
        [&service](std::string_view bytes) {
            const ParsedRequest parsed = parseRequest(bytes);
            if (!parsed.request)
                return replyText(errorReply(parsed.error));
            try {
                return replyText(service.handle(*parsed.request));
            } catch (...) {
                return replyText(errorReply("The Tickwell Time service is out of resources"));
            }
        },
        stopEvent);
    std::string error;
    if (!pipe.start(error)) {
        log.write(Severity::Error, error);
        report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    log.write(Severity::Information, std::string(kDisplayName) + " started");
    report(SERVICE_RUNNING);

    // The schedule on a thread of its own: a set under way must not hold up Stop.
    std::thread([&service] { service.runSchedule(stopEvent); }).detach();
    ::WaitForSingleObject(stopEvent, INFINITE);

    service.stopSetting(kStopSetWaitMs);
    log.write(Severity::Information, std::string(kDisplayName) + " stopped");
    report(SERVICE_STOPPED);
    // Queries still waiting for their servers end with the process, now.
    ::ExitProcess(0);
}

} // namespace

bool runAsService() {
    char name[sizeof kServiceName];
    std::copy(std::begin(kServiceName), std::end(kServiceName), name);
    const SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) != FALSE;
}

} // namespace tickwell::service
