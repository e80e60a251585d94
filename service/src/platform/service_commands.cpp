#include "service_commands.h"

#include "machine_registry.h"
#include "service_client.h"
#include "service_log.h"
#include "service_names.h"
#include "tw/bstr.h"
#include "tw/handles.h"
#include "zym.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace tickwell::service {
namespace {

constexpr DWORD kStateWaitMs = 10'000;

struct ScHandle {
    SC_HANDLE handle = nullptr;
    explicit ScHandle(SC_HANDLE h) : handle(h) {}
    ~ScHandle() {
        if (handle != nullptr)
            ::CloseServiceHandle(handle);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    explicit operator bool() const { return handle != nullptr; }
};

std::string systemText(DWORD error) {
    std::string text = tw::takeBstr(::GETLASTERRORDESCRIPTION(static_cast<int32_t>(error), 0));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text + " (error " + std::to_string(error) + ")";
}

const char kNotElevatedText[] =
    "Only an administrator can do this: run it at a command prompt started with "
    "\"Run as administrator\".";

int failure(DWORD error, const std::string& what, std::string& out) {
    if (error == ERROR_ACCESS_DENIED) {
        out += kNotElevatedText;
        out += "\n";
        return kNotElevated;
    }
    out += what + ": " + systemText(error) + "\n";
    return kFailed;
}

std::string programPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// Waits until the service is in state, up to kStateWaitMs.
bool waitForState(SC_HANDLE service, DWORD state) {
    const ULONGLONG until = ::GetTickCount64() + kStateWaitMs;
    for (;;) {
        SERVICE_STATUS status{};
        if (!::QueryServiceStatus(service, &status))
            return false;
        if (status.dwCurrentState == state)
            return true;
        if (::GetTickCount64() > until)
            return false;
        ::Sleep(100);
    }
}

// The event source, so the event viewer shows the service's texts.
bool registerEventSource(const std::string& exe) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    const bool done =
        ::RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ,
                         reinterpret_cast<const BYTE*>(exe.c_str()),
                         static_cast<DWORD>(exe.size() + 1)) == ERROR_SUCCESS &&
        ::RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                         sizeof types) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return done;
}

// The log folder: only the service (by its own SID), SYSTEM and administrators
// may write there; users may read.
bool secureDataFolder(const std::string& folder, std::string& warning) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string sddl = std::string("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");
    PSID serviceSid = nullptr;
    char domain[256];
    DWORD sidSize = 0, domainSize = sizeof domain;
    SID_NAME_USE use{};
    const std::string account = std::string("NT SERVICE\\") + kServiceName;
    ::LookupAccountNameA(nullptr, account.c_str(), nullptr, &sidSize, domain, &domainSize, &use);
    std::string fullSddl = sddl;
    std::vector<BYTE> sid(sidSize);
    if (sidSize > 0 && ::LookupAccountNameA(nullptr, account.c_str(), sid.data(), &sidSize, domain,
                                            &domainSize, &use)) {
        serviceSid = sid.data();
        LPSTR text = nullptr;
        if (::ConvertSidToStringSidA(serviceSid, &text)) {
            fullSddl += "(A;OICI;FA;;;" + std::string(text) + ")";
            ::LocalFree(text);
        }
    } else {
        warning = "the service's own account " + account +
                  " is not known to this system: its log folder could not be given to it alone";
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(fullSddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const DWORD set =
        ::SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

// Whether users who are not administrators may write to the folder (or it has
// no access list at all): then any of them could replace the program that
// runs with the right to set the clock.
bool usersMayWrite(const std::string& folder) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    tw::unique_hlocal owner(descriptor);
    if (dacl == nullptr)
        return true;
    const WELL_KNOWN_SID_TYPE users[] = {WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid,
                                         WinInteractiveSid};
    constexpr ACCESS_MASK kWrites = FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE |
                                    GENERIC_ALL | WRITE_DAC | WRITE_OWNER | DELETE;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace) ||
            static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWrites) == 0)
            continue;
        for (WELL_KNOWN_SID_TYPE type : users)
            if (::IsWellKnownSid(&allowed->SidStart, type))
                return true;
    }
    return false;
}

// What the service entry needs beyond CreateService, for "install" and for the
// installer package (whose own service entry has no field for most of it).
// What Windows refuses here (Wine refuses the last three) leaves a service that
// runs: each is a warning, not a failure.
void configureService(SC_HANDLE service, const std::string& exe, std::string& out) {
    SERVICE_DESCRIPTIONA description{const_cast<char*>(kDescription)};
    ::ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description);
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed))
        out +=
            "Warning: the delayed start could not be set: " + systemText(::GetLastError()) + "\n";
    char privileges[] = "SeSystemtimePrivilege\0SeChangeNotifyPrivilege\0";
    SERVICE_REQUIRED_PRIVILEGES_INFOA required{privileges};
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO,
                                 &required))
        out += "Warning: the service's privileges could not be limited: " +
               systemText(::GetLastError()) + "\n";
    SERVICE_SID_INFO sid{SERVICE_SID_TYPE_UNRESTRICTED};
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sid))
        out += "Warning: the service's own SID could not be set: " + systemText(::GetLastError()) +
               "\n";
    if (!registerEventSource(exe))
        out += "Warning: the event source \"" + std::string(kEventSource) +
               "\" could not be registered\n";
    std::string warning;
    if (!secureDataFolder(serviceDataFolder(), warning) || !warning.empty())
        out += "Warning: " + (warning.empty() ? "the log folder could not be secured" : warning) +
               "\n";
    const std::string folder = exe.substr(0, exe.find_last_of('\\'));
    if (usersMayWrite(folder))
        out += "Warning: users can write to " + folder +
               ": any of them could replace tickwellsvc.exe, which runs with the right to set "
               "the clock. Install it in a folder only administrators can write, such as "
               "Program Files.\n";
}

int install(std::string& out) {
    ScHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return failure(::GetLastError(), "The service manager could not be opened", out);
    const std::string exe = programPath();
    const std::string command = "\"" + exe + "\"";
    ScHandle service(::CreateServiceA(
        manager.handle, kServiceName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
        "NT AUTHORITY\\LocalService", nullptr));
    if (!service) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_EXISTS) {
            out += std::string(kDisplayName) + " is already installed.\n";
            return kDone;
        }
        return failure(error, "The service could not be installed", out);
    }
    configureService(service.handle, exe, out);
    out += std::string(kDisplayName) + " is installed. Start it with \"tickwellsvc start\".\n";
    return kDone;
}

ScHandle openService(DWORD access, std::string& out, int& code) {
    ScHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        code = failure(::GetLastError(), "The service manager could not be opened", out);
        return ScHandle(nullptr);
    }
    SC_HANDLE service = ::OpenServiceA(manager.handle, kServiceName, access);
    if (service == nullptr) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            out += std::string(kDisplayName) + " is not installed.\n";
            code = kNotInstalled;
        } else {
            code = failure(error, "The service could not be opened", out);
        }
    }
    return ScHandle(service);
}

int stop(std::string& out, bool quietIfStopped) {
    int code = kDone;
    ScHandle service = openService(SERVICE_STOP | SERVICE_QUERY_STATUS, out, code);
    if (!service)
        return code;
    SERVICE_STATUS status{};
    if (!::ControlService(service.handle, SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_NOT_ACTIVE) {
            if (!quietIfStopped)
                out += std::string(kDisplayName) + " is not running.\n";
            return kDone;
        }
        return failure(error, "The service could not be stopped", out);
    }
    if (!waitForState(service.handle, SERVICE_STOPPED)) {
        out += std::string(kDisplayName) + " did not stop within 10 seconds.\n";
        return kFailed;
    }
    out += std::string(kDisplayName) + " is stopped.\n";
    return kDone;
}

int uninstall(std::string& out) {
    int code = kDone;
    {
        ScHandle service = openService(DELETE, out, code);
        if (!service)
            return code;
    }
    if (const int stopped = stop(out, true); stopped != kDone)
        return stopped;
    ScHandle service = openService(DELETE, out, code);
    if (!service)
        return code;
    if (!::DeleteService(service.handle))
        return failure(::GetLastError(), "The service could not be removed", out);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
    out += std::string(kDisplayName) + " is removed. Its settings and its log are kept.\n";
    return kDone;
}

int start(std::string& out) {
    int code = kDone;
    ScHandle service = openService(SERVICE_START | SERVICE_QUERY_STATUS, out, code);
    if (!service)
        return code;
    if (!::StartServiceA(service.handle, 0, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_ALREADY_RUNNING) {
            out += std::string(kDisplayName) + " is already running.\n";
            return kDone;
        }
        return failure(error, "The service could not be started", out);
    }
    if (!waitForState(service.handle, SERVICE_RUNNING)) {
        out += std::string(kDisplayName) + " did not start within 10 seconds; see its log in " +
               serviceDataFolder() + ".\n";
        return kFailed;
    }
    out += std::string(kDisplayName) + " is running.\n";
    return kDone;
}

int configure(std::string& out) {
    int code = kDone;
    ScHandle service = openService(SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG, out, code);
    if (!service)
        return code;
    configureService(service.handle, programPath(), out);
    out += std::string(kDisplayName) + " is configured.\n";
    return kDone;
}

int status(std::string& out) {
    int code = kDone;
    ScHandle service = openService(SERVICE_QUERY_STATUS, out, code);
    if (!service)
        return code;
    SERVICE_STATUS state{};
    if (!::QueryServiceStatus(service.handle, &state))
        return failure(::GetLastError(), "The service's state could not be read", out);
    if (state.dwCurrentState != SERVICE_RUNNING) {
        out += std::string(kDisplayName) + " is installed but not running.\n";
        out += settingsText(readMachineSettings());
        return kDone;
    }
    out += std::string(kDisplayName) + " is running.\n";
    out += settingsText(readMachineSettings());
    const ClientAnswer answer = askService(Request{Verb::Status, {}}, 5'000);
    if (!answer.reply) {
        out += answer.error + "\n";
        return kFailed;
    }
    const Reply& r = *answer.reply;
    out += r.schedule ? "It sets the clock on its own schedule; next: " + r.nextCheck + "\n"
                      : std::string("It keeps no schedule of its own.\n");
    out += r.lastOutcome.empty() ? std::string("It has not asked a server yet.\n")
                                 : "Last: " + r.lastOutcomeAt + " " + r.lastOutcome + "\n";
    return kDone;
}

} // namespace

std::string usageText() {
    return "Usage: tickwellsvc install | uninstall | start | stop | status | configure\n"
           "  install    install the Tickwell Time service (administrators)\n"
           "  uninstall  stop and remove it; its settings and log are kept\n"
           "  start      start it\n"
           "  stop       stop it\n"
           "  status     whether it runs, its settings, its schedule and its last outcome\n"
           "  configure  finish the set-up of a service installed by the Tickwell package\n";
}

int runCommand(const std::string& command, std::string& out) {
    std::string verb = command;
    std::transform(verb.begin(), verb.end(), verb.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (verb == "install")
        return install(out);
    if (verb == "uninstall")
        return uninstall(out);
    if (verb == "start")
        return start(out);
    if (verb == "stop")
        return stop(out, false);
    if (verb == "status")
        return status(out);
    if (verb == "configure")
        return configure(out);
    out += usageText();
    return kUsage;
}

} // namespace tickwell::service
