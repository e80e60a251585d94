// Robust time in the real tickwell.exe: several NTP servers on loopback hosts
// (one silent, one an hour off) and the limit on automatic changes, read back
// from the status bar, the difference and the log.
#include "native_ntp_server.h"
#include "ntp_server_reply.h"
#include "program_harness.h"

namespace {

using namespace tickwell::program_testing;
using ::testing::StartsWith;
using tw::testserver::Datagram;
using tw::testserver::DatagramServer;
using tw::testserver::NativeNtpServer;

constexpr uint16_t kNtp = 123;

std::string statusOf(HWND window) {
    return windowText(::GetDlgItem(window, IDC_STATUSBAR));
}

// The current server is silent, so the next ones are asked in its place; of
// the three that answer, the one an hour off is outvoted, named in the status
// bar and logged with every server's offset.
TEST(ProgramRobustTime, ASilentCurrentServerIsPassedOverAndAFalsetickerNamed) {
    Installation installation;
    for (int n = 1; n <= 4; ++n)
        installation.set("TimeServers", ("Server" + std::to_string(n)).c_str(),
                         "127.0.0." + std::to_string(n));
    installation.set("Network", "CurrentNISTServer", "127.0.0.1");
    installation.set("Network", "Time Port", "123");
    installation.set("Network", "Network Timeout", "10");
    installation.set("Network", "Servers to ask", "3");
    Running program(installation, "");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);
    DatagramServer silent([](const std::string&, int) { return std::vector<Datagram>{}; }, kNtp);
    NativeNtpServer second(2, kNtp, 0);
    NativeNtpServer third(3, kNtp, 0);
    NativeNtpServer hourOff(4, kNtp, 3'600'000);
    ASSERT_TRUE(silent.listening() && second.answering() && third.answering() &&
                hourOff.answering());

    command(window, CMD_CHECK);
    ASSERT_TRUE(waitFor([&] { return statusOf(window).starts_with("Time from "); }, 20s))
        << statusOf(window);
    EXPECT_THAT(statusOf(window), StartsWith("Time from 127.0.0."));
    EXPECT_THAT(statusOf(window),
                EndsWith("; 127.0.0.4 disagreed with 2 other servers and was not used"));
    EXPECT_GE(silent.requestsReceived(), 1) << "the current server was not asked first";
    const std::string log = installation.log();
    EXPECT_THAT(log, HasSubstr("; offsets: 127.0.0.1 ("));
    EXPECT_THAT(log, HasSubstr(", 127.0.0.4 +3"));
    EXPECT_THAT(log, HasSubstr(" ms (disagreed, not used)\r\n"));
    command(window, CMD_EXIT);
    EXPECT_TRUE(program.exited(10s));
}

// A scheduled Set to a server 90 s ahead under a limit of a minute is not made:
// the difference shows the change, the status bar and the log say why, and the
// schedule moves on. A Set by hand asks first: No leaves the clock, Yes sets it
// (which Wine then refuses, and says so).
TEST(ProgramRobustTime, AnAutomaticSetBeyondTheLimitIsRefusedAndOneByHandAsks) {
    SwitchableServer server;
    server.mode = Serve::Ahead90;
    Installation installation(server);
    const std::string longAgo = "01-01-2020 01:00:00 AM";
    installation.set("General", "Auto-set time", "1");
    installation.set("General", "Time Next Checked", longAgo);
    installation.set("General", "Maximum automatic change", "60");
    Running program(installation, "");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);

    const std::string limitText =
        " away, more than the 1 Minute allowed for automatic changes. Press Set to set it.";
    ASSERT_TRUE(waitFor([&] { return statusOf(window).starts_with("Not set: "); }, 20s))
        << statusOf(window);
    EXPECT_THAT(statusOf(window), StartsWith("Not set: the server's time is 1 Minute "));
    EXPECT_THAT(statusOf(window), EndsWith(limitText));
    EXPECT_THAT(text(window, IDC_DIFFERENCE), HasSubstr("1 Minute"));
    EXPECT_THAT(installation.log(), EndsWith(limitText + "\r\n"));
    EXPECT_EQ(server.served(), 1);

    const auto setByHand = [&](int answer) {
        command(window, CMD_SET);
        HWND box = program.dialog("Tickwell");
        if (box == nullptr)
            return std::string("<no question>");
        const std::string question = text(box, 0xFFFF);
        ::PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        return question;
    };
    const std::string question = setByHand(IDNO);
    EXPECT_THAT(question, StartsWith("The server's time is 1 Minute "));
    EXPECT_THAT(question,
                HasSubstr(" away, more than the 1 Minute allowed for automatic changes."));
    ASSERT_TRUE(
        waitFor([&] { return statusOf(window).find("left as it is") != std::string::npos; }, 10s))
        << statusOf(window);
    EXPECT_THAT(statusOf(window), StartsWith("Not set: the server's time is 1 Minute "));

    ::SetDlgItemTextA(window, IDC_DIFFERENCE, "");
    EXPECT_THAT(setByHand(IDYES), HasSubstr("Set the PC clock to the server's time?"));
    ASSERT_TRUE(waitFor([&] { return !text(window, IDC_DIFFERENCE).empty(); }, 10s));
    EXPECT_THAT(text(window, IDC_DIFFERENCE), HasSubstr("rivilege"));

    command(window, CMD_EXIT);
    ASSERT_TRUE(program.exited(10s));
    EXPECT_NE(iniValue(installation.ini(), "General", "Time Next Checked"), longAgo)
        << "the schedule did not move on";
}

} // namespace
