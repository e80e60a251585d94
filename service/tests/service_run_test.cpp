// The Tickwell Time service installed and run under the service control
// manager (Wine's), asked over its pipe as a user's program asks it, against
// scripted Daytime servers on 127.0.0.1. This test program stays running
// around the service: Wine ends services once no ordinary process is left.
#include "demo_line.h"
#include "machine_settings.h"
#include "program_harness.h"
#include "scripted_server.h"
#include "service_client.h"
#include "service_names.h"
#include "tw/handles.h"
#include "zymdate_texts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tickwell::service {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace std::chrono_literals;
using namespace tw::testserver;

std::string binFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct Ran {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// tickwellsvc.exe with one command, as an administrator types it; what it
// prints goes to a file (a pipe's end would be held open by Wine's console
// host after the program ends).
Ran runCommand(const std::string& command) {
    char folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    ::GetTempFileNameA(folder, "tws", 0, file);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Ran ran;
    {
        tw::unique_file out(::CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = out.get();
        PROCESS_INFORMATION process{};
        std::string line = "\"" + binFolder() + "tickwellsvc.exe\" " + command;
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &startup, &process))
            return ran;
        ::WaitForSingleObject(process.hProcess, 30'000);
        ::GetExitCodeProcess(process.hProcess, &ran.exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    tw::unique_file in(::CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (in && ::ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        ran.output.append(buffer, got);
    in.reset();
    ::DeleteFileA(file);
    return ran;
}

void setMachineValue(const char* name, const std::string& text) {
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_SZ, text.c_str(),
                      static_cast<DWORD>(text.size() + 1));
}
void setMachineValue(const char* name, DWORD number) {
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_DWORD, &number, sizeof number);
}

// A connection to the pipe that the test holds itself; a moment's wait while
// the service makes its next instance.
tw::unique_file connect() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        tw::unique_file pipe(
            ::CreateFileA(kPipeName, kClientPipeAccess, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (pipe || ::GetLastError() != ERROR_PIPE_BUSY)
            return pipe;
        ::WaitNamedPipeA(kPipeName, 500);
    }
    return {};
}

Reply ask(Verb verb, const std::string& server = {}, uint32_t waitMs = 20'000) {
    const ClientAnswer answer = askService(Request{verb, server}, waitMs);
    EXPECT_TRUE(answer.reply) << answer.error;
    return answer.reply.value_or(Reply{});
}

// The service installed with the machine settings the test gives it, and
// removed again (settings too) at the end.
class InstalledService : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        runCommand("uninstall");
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          settingsKey_.put(), nullptr);
    }
    static void TearDownTestSuite() {
        runCommand("uninstall");
        settingsKey_.reset();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    }
    static tw::unique_hkey settingsKey_;
};
tw::unique_hkey InstalledService::settingsKey_;

TEST_F(InstalledService, InstallsStartsServesAndStops) {
    // Serves the PC's own time or 90 s ahead, as the test switches it.
    program_testing::SwitchableServer daytime;
    ScriptedServer silent({hold()});
    ASSERT_TRUE(silent.listening());
    // "localhost" is another server than "127.0.0.1" to the courtesy rule.
    setMachineValue("Servers", "127.0.0.1");
    setMachineValue("Port", daytime.port());
    setMachineValue("Servers to ask", 1);
    setMachineValue("Timeout", 20);
    setMachineValue("Automatic set", 0);

    // Install: an own-process service that starts by itself, as LocalService.
    Ran installed = runCommand("install");
    ASSERT_EQ(installed.exitCode, 0u) << installed.output;
    EXPECT_THAT(installed.output, HasSubstr("Tickwell Time is installed."));
    {
        SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = ::OpenServiceA(manager, kServiceName, SERVICE_QUERY_CONFIG);
        ASSERT_NE(service, nullptr);
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        ASSERT_TRUE(::QueryServiceConfigA(service,
                                          reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()),
                                          static_cast<DWORD>(buffer.size()), &needed));
        const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
        EXPECT_STREQ(config->lpServiceStartName, "NT AUTHORITY\\LocalService");
        EXPECT_STREQ(config->lpDisplayName, "Tickwell Time");
        ::CloseServiceHandle(service);
        ::CloseServiceHandle(manager);
    }
    EXPECT_THAT(runCommand("install").output, HasSubstr("already installed"));

    Ran started = runCommand("start");
    ASSERT_EQ(started.exitCode, 0u) << started.output;

    // STATUS before anything was asked: no schedule, no outcome.
    Reply status = ask(Verb::Status);
    EXPECT_EQ(status.result, Reply::Result::Ok);
    EXPECT_FALSE(status.schedule);
    EXPECT_EQ(status.lastOutcome, "");

    // SET against the PC's own time: the clock "set" to what it shows.
    Reply set = ask(Verb::Set);
    EXPECT_EQ(set.result, Reply::Result::Ok) << set.message;
    EXPECT_EQ(set.server, "127.0.0.1");
    EXPECT_EQ(set.difference, "PC Clock Matches") << set.message;
    EXPECT_TRUE(set.clockSet);
    EXPECT_TRUE(set.serverTime.has_value());

    // SET against a server 90 s ahead: Wine refuses to move the clock, and the
    // reply says so in the system's words.
    daytime.mode = program_testing::Serve::Ahead90;
    std::this_thread::sleep_for(4100ms); // the courtesy interval of 127.0.0.1
    set = ask(Verb::Set);
    EXPECT_EQ(set.result, Reply::Result::Ok) << set.message;
    EXPECT_FALSE(set.clockSet);
    EXPECT_THAT(set.difference, HasSubstr("rivilege"));

    // A server the machine does not list is refused, and nothing is asked.
    const int asked = daytime.served();
    Reply refused = ask(Verb::Set, "elsewhere.example");
    EXPECT_EQ(refused.result, Reply::Result::Error);
    EXPECT_THAT(refused.message, HasSubstr("elsewhere.example"));
    EXPECT_EQ(daytime.served(), asked);
    // Asked again at once: the courtesy rule holds whoever asks.
    Reply tooSoon = ask(Verb::Check, "127.0.0.1");
    EXPECT_EQ(tooSoon.result, Reply::Result::Error);
    EXPECT_THAT(tooSoon.message, HasSubstr("127.0.0.1"));

    // STATUS now tells the last outcome, and so does "tickwellsvc status".
    status = ask(Verb::Status);
    EXPECT_THAT(status.lastOutcome, StartsWith("Could not set the clock from 127.0.0.1: "));
    EXPECT_THAT(status.lastOutcome, HasSubstr("rivilege"));
    EXPECT_FALSE(status.lastOutcomeAt.empty());
    const Ran told = runCommand("status");
    EXPECT_EQ(told.exitCode, 0u);
    // With the settings it reads, as the machine key holds them.
    EXPECT_THAT(told.output, HasSubstr("Tickwell Time is running.\r\nServers: 127.0.0.1 (port " +
                                       std::to_string(daytime.port()) +
                                       ", 1 asked, 4 samples each, time-out 20 s)\r\n"
                                       "Automatic set: off\r\n"));
    EXPECT_THAT(told.output, HasSubstr("\r\nIt keeps no schedule of its own.\r\nLast: "));

    // The pipe's descriptor, read back by a client.
    {
        tw::unique_file pipe = connect();
        ASSERT_TRUE(pipe) << ::GetLastError();
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(::GetSecurityInfo(pipe.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, nullptr, nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        LPSTR text = nullptr;
        ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
        const std::string dacl = text;
        ::LocalFree(text);
        ::LocalFree(descriptor);
        EXPECT_THAT(dacl, HasSubstr("(A;;0x12019b;;;IU)"));
        EXPECT_THAT(dacl, HasSubstr(";;;SY)"));
        EXPECT_THAT(dacl, HasSubstr(";;;BA)"));
        EXPECT_EQ(dacl.find(";;;WD)"), std::string::npos) << dacl;
    }

    // A client that says nothing holds up no other; it is dropped after 2 s.
    {
        tw::unique_file quiet = connect();
        ASSERT_TRUE(quiet) << ::GetLastError();
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(ask(Verb::Status).result, Reply::Result::Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
        char reply[1024] = {};
        DWORD got = 0;
        ::ReadFile(quiet.get(), reply, sizeof reply - 1, &got, nullptr);
        EXPECT_THAT(std::string(reply, got), HasSubstr("No request came within 2 seconds"));
    }

    // Twenty clients at once all get their answer.
    {
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int i = 0; i < 20; ++i)
            clients.emplace_back([&answered] {
                const ClientAnswer a = askService(Request{Verb::Status, {}}, 10'000);
                if (a.reply && a.reply->result == Reply::Result::Ok)
                    ++answered;
            });
        for (std::thread& t : clients)
            t.join();
        EXPECT_EQ(answered.load(), 20);
    }

    // Garbage of every kind is refused, and the service serves on.
    {
        std::string garbage(64 * 1024, '\0');
        for (size_t i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<char>((i * 7919 + 13) % 256);
        for (const std::string& bad :
             {garbage, std::string("STATUS"), std::string("FROB x\n"), std::string("SET \0x\n", 7),
              std::string("SET 2026-12-07 12:00:00\n")}) {
            const std::string reply = askServiceRaw(bad, 5'000);
            EXPECT_THAT(reply, StartsWith("Result: error\r\n")) << bad.substr(0, 40);
        }
        EXPECT_EQ(ask(Verb::Status).result, Reply::Result::Ok);
    }

    // The program's Set goes through the service, and the window says so.
    {
        daytime.mode = program_testing::Serve::Now;
        std::this_thread::sleep_for(4100ms); // the courtesy interval of 127.0.0.1
        using namespace program_testing;
        Installation installation;
        installation.set("Network", "CurrentNISTServer", "127.0.0.1 (scripted)");
        installation.set("Network", "Time Port", std::to_string(daytime.port()));
        Running program(installation, "");
        HWND window = program.window();
        ASSERT_NE(window, nullptr);
        const int served = daytime.served();
        command(window, CMD_SET);
        ASSERT_TRUE(program_testing::waitFor(
            [&] {
                return !text(window, IDC_DIFFERENCE).empty() &&
                       text(window, IDC_DIFFERENCE) != "00:00";
            },
            20s));
        EXPECT_EQ(text(window, IDC_DIFFERENCE), "PC Clock Matches");
        EXPECT_THAT(windowText(::GetDlgItem(window, IDC_STATUSBAR)),
                    ::testing::EndsWith(" (set by the Tickwell Time service)"));
        EXPECT_EQ(daytime.served(), served + 1) << "asked by the service alone";

        // With the service's own schedule on, the General page says who keeps
        // the clock in place of the program's auto-set choices.
        setMachineValue("Automatic set", 1);
        command(window, CMD_OPTIONS);
        HWND options = program.dialog("Tickwell Options");
        ASSERT_NE(options, nullptr);
        HWND said = tw::testing::findControl(options, IDC_SERVICE_SCHEDULE);
        ASSERT_NE(said, nullptr);
        EXPECT_TRUE(::IsWindowVisible(said));
        EXPECT_THAT(windowText(said),
                    StartsWith("The Tickwell Time service keeps this PC's clock right.\r\nNext: "));
        EXPECT_THAT(windowText(said), HasSubstr("Last: "));
        EXPECT_FALSE(::IsWindowVisible(tw::testing::findControl(options, IDC_AUTOSET_NONE)));
        ::PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(program_testing::waitFor([&] { return !::IsWindow(options); }, 5s));
        setMachineValue("Automatic set", 0);
        command(window, CMD_EXIT);
        EXPECT_TRUE(program.exited(10s));
    }

    // Stop during a query of a silent server: the service does not wait for it.
    setMachineValue("Port", silent.port());
    setMachineValue("Servers", "localhost");
    std::thread waiting([] { askService(Request{Verb::Check, {}}, 30'000); });
    std::this_thread::sleep_for(1s);
    const auto stopAsked = std::chrono::steady_clock::now();
    Ran stopped = runCommand("stop");
    const auto stopTook = std::chrono::steady_clock::now() - stopAsked;
    waiting.join();
    EXPECT_EQ(stopped.exitCode, 0u) << stopped.output;
    // The query would hold it 20 s; stopping must not wait for that.
    EXPECT_LT(stopTook, 10s);

    // Uninstall: the service is gone; the machine settings stay.
    Ran removed = runCommand("uninstall");
    EXPECT_EQ(removed.exitCode, 0u) << removed.output;
    EXPECT_EQ(runCommand("status").exitCode, 3u);
    DWORD type = 0;
    EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, "Servers", RRF_RT_REG_SZ, &type,
                             nullptr, nullptr),
              static_cast<LONG>(ERROR_SUCCESS));
}

std::string env(const char* name) {
    char value[1024] = {};
    const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// What the service's log has gained since from (a length read before).
std::string serviceLog(size_t from = 0) {
    std::ifstream file(env("ProgramData") + "\\" + kDataFolderName + "\\" + kLogFileName,
                       std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    return from < all.size() ? all.substr(from) : std::string();
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Against chrony's chronyd as an NTS server on loopback, with a certificate
// from a test CA that only the machine's "NTS CA file" names. Started by the
// script tickwellsvc-nts-test, which tells the port and the CA file.
class ChronyNtsService : public InstalledService {
  protected:
    void SetUp() override {
        if (env("TW_NTS_RIGHT").empty())
            GTEST_SKIP() << "no NTS server: run through service/tests/tickwellsvc-nts-test";
    }
};

TEST_F(ChronyNtsService, ChecksWithTheMachinesCaFileAndOnlyWithIt) {
    const std::string server = "nts://localhost:" + env("TW_NTS_RIGHT");
    const std::string ca = env("TW_NTS_CA");
    const std::string missing = ca + ".missing";
    setMachineValue("Servers", server);
    setMachineValue("Servers to ask", 1);
    setMachineValue("Samples per server", 1);
    setMachineValue("Timeout", 20);
    setMachineValue("Automatic set", 0);
    setMachineValue("NTS CA file", missing);
    const size_t logStart = serviceLog().size();
    ASSERT_EQ(runCommand("install").exitCode, 0u);
    Ran started = runCommand("start");
    ASSERT_EQ(started.exitCode, 0u) << started.output;

    // A CA file the service cannot read: the Windows store, which does not
    // know the test CA, so no time, and none asked without NTS. Said once.
    for (int i = 0; i < 2; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(4100ms); // the courtesy interval
        const Reply refused = ask(Verb::Check);
        EXPECT_EQ(refused.result, Reply::Result::Failed) << refused.message;
        EXPECT_THAT(refused.message, HasSubstr("certificate")) << refused.message;
    }
    EXPECT_EQ(count(serviceLog(logStart), "The NTS CA file " + missing + " "), 1u)
        << serviceLog(logStart);

    // The machine's CA file: an authenticated time from the server the
    // client named, as the machine lists it; the plain host is another server.
    setMachineValue("NTS CA file", ca);
    EXPECT_THAT(runCommand("status").output, HasSubstr("\r\nNTS CA file: " + ca + "\r\n"));
    const Reply plain = ask(Verb::Check, "localhost");
    EXPECT_EQ(plain.result, Reply::Result::Error);
    EXPECT_THAT(plain.message, HasSubstr("not in this PC's list"));
    std::this_thread::sleep_for(4100ms);
    const Reply checked = ask(Verb::Check, server);
    ASSERT_EQ(checked.result, Reply::Result::Ok) << checked.message;
    EXPECT_EQ(checked.server, server);
    EXPECT_THAT(checked.message, HasSubstr(ZYMDATE_NTS_TEXT));
    const std::string logged = serviceLog(logStart);
    EXPECT_EQ(count(logged, "Check for a user: "), 3u) << logged;
    EXPECT_EQ(count(logged, ZYMDATE_NTS_TEXT), 1u) << logged;
    EXPECT_EQ(runCommand("uninstall").exitCode, 0u);
}

} // namespace
} // namespace tickwell::service
