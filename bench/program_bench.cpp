// What the running program costs: CPU time and working set of an idle Tickwell
// ticking once a second, and the time from a Check to the values shown, beside
// the bare query's time, against a loopback server.
//
//   program_bench [IDLE-SECONDS] [CHECKS]   (run under scripts/winerun; the
//                                           checks are 4 s apart, as the program allows)
//
// Idle: the program is left alone for IDLE-SECONDS of real ticks (default 60)
// and its CPU time is scaled to an hour. Then an hour's worth of ticks (3600) is
// delivered at once as the timer's own message, and the CPU time and working set
// after them are read: what an hour in the tray costs, without waiting an hour.
#include "bench_support.h"
#include "demo_line.h"
#include "identity.h"
#include "program_ids.h"
#include "scripted_server.h"
#include "tw/bstr.h"
#include "tw/filetime.h"
#include "tw/temp_folder.h"
#include "zymdate.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tw::bench::median;
using tw::bench::nowMs;

constexpr const char* kTitle = tickwell::kMainWindowTitle;

double cpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(process, &created, &ended, &kernel, &user);
    return static_cast<double>(tw::toUnits(kernel) + tw::toUnits(user)) / tw::kUnitsPerMillisecond;
}

double workingSetKiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::K32GetProcessMemoryInfo(process, &counters, sizeof(counters));
    return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

std::string folderOfThisProgram() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string valueText(HWND window, int id) {
    char text[512] = {};
    ::SendMessageA(::GetDlgItem(window, id), WM_GETTEXT, sizeof(text),
                   reinterpret_cast<LPARAM>(text));
    return text;
}

double bareQueryMs(uint16_t port) {
    tw::unique_bstr server(tw::makeBstr("127.0.0.1"));
    tw::unique_bstr message;
    int32_t p = port;
    double delay = 0;
    SYSTEMTIME time{};
    const double start = nowMs();
    ::CHECKATOMICTIME(server.addressof(), &p, 10, &delay, &time, message.addressof());
    return nowMs() - start;
}

} // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int checks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    constexpr DWORD kCourtesyMs = 4100;

    tw::testserver::ScriptedServer server(
        {tw::testserver::sendFn([] { return tw::demo::daytimeLine(); })});
    tw::testing::TempFolder folder;
    for (const char* name : {"tickwell.exe", "zym.dll", "zymdate.dll"})
        ::CopyFileA((folderOfThisProgram() + name).c_str(), folder.file(name).c_str(), FALSE);
    const std::string ini = folder.file("Tickwell.ini");
    ::WritePrivateProfileStringA("Network", "CurrentNISTServer", "127.0.0.1", ini.c_str());
    ::WritePrivateProfileStringA("Network", "Time Port", std::to_string(server.port()).c_str(),
                                 ini.c_str());
    ::WritePrivateProfileStringA("General", "Use Sounds", "0", ini.c_str());
    ::WritePrivateProfileStringA("General", "Log events", "0", ini.c_str());

    std::string commandLine = "\"" + folder.file("tickwell.exe") + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::fprintf(stderr, "program_bench: cannot start tickwell.exe\n");
        return 1;
    }
    HWND window = nullptr;
    for (int i = 0; i < 400 && (window = ::FindWindowA("#32770", kTitle)) == nullptr; ++i)
        ::Sleep(50);
    if (window == nullptr) {
        std::fprintf(stderr, "program_bench: the main window did not appear\n");
        ::TerminateProcess(process.hProcess, 1);
        return 1;
    }
    ::Sleep(1000); // past the window's start

    const double cpuBefore = cpuMs(process.hProcess);
    ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    const double idleCpu = cpuMs(process.hProcess) - cpuBefore;
    const double setBefore = workingSetKiB(process.hProcess);

    constexpr int kTicksPerHour = 3600;
    const double tickCpuBefore = cpuMs(process.hProcess);
    for (int i = 0; i < kTicksPerHour; ++i)
        ::SendMessageA(window, WM_TIMER, IDT_CLOCK, 0);
    const double tickCpu = cpuMs(process.hProcess) - tickCpuBefore;
    const double setAfter = workingSetKiB(process.hProcess);

    std::vector<double> shown, bare;
    for (int i = 0; i < checks; ++i) {
        ::SendMessageA(::GetDlgItem(window, IDC_SERVER_TIME), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(""));
        const double start = nowMs();
        ::PostMessageA(window, WM_COMMAND, CMD_CHECK, 0);
        while (valueText(window, IDC_SERVER_TIME).empty() && nowMs() - start < 10'000)
            ::Sleep(1);
        shown.push_back(nowMs() - start);
        bare.push_back(bareQueryMs(server.port()));
        // The program asks one server at most every 4 seconds: a Check sooner
        // would wait for that, not measure the way to the window.
        ::Sleep(kCourtesyMs);
    }

    ::PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
    ::WaitForSingleObject(process.hProcess, 10'000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    std::printf("idle, real ticks:      %.1f ms CPU in %d s = %.0f ms CPU per hour\n", idleCpu,
                idleSeconds, idleCpu * 3600.0 / idleSeconds);
    std::printf("3600 ticks delivered:  %.0f ms CPU (%.3f ms a tick)\n", tickCpu,
                tickCpu / kTicksPerHour);
    std::printf("working set:           %.0f KiB before, %.0f KiB after an hour of ticks\n",
                setBefore, setAfter);
    std::printf("Check to values shown: median %.2f ms over %d (bare query %.2f ms)\n",
                median(shown), checks, median(bare));
    return 0;
}
