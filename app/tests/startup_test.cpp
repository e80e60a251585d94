// Start-up decisions, with the platform seams replaced.
#include "identity.h"
#include "program_ids.h"
#include "program_seams.h"
#include "startup.h"
#include "startup_rules.h"
#include "system_versions.h"
#include "tw/handles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tickwell {
namespace {

TEST(Startup, MinimizeSwitchIsTheOneWordInAnyCaseWithBlanksAround) {
    const struct {
        const char* arguments;
        bool minimize;
    } cases[] = {
        {"-minimize", true},   {"  -MINIMIZE  ", true},  {"-Minimize", true},
        {"", false},           {"-minimize now", false}, {"minimize", false},
        {"-minimized", false}, {"\t-minimize", false}, // only blanks are trimmed
    };
    for (const auto& c : cases)
        EXPECT_EQ(isMinimizeSwitch(c.arguments), c.minimize) << "\"" << c.arguments << "\"";
}

TEST(Startup, SystemFileVersionsAreMajorPlusMinorHundredths) {
    const double comctl = getSysFileVer("COMCTL32.DLL");
    EXPECT_GE(comctl, 4.71);
    // Two decimals at most: minor / 100.
    EXPECT_DOUBLE_EQ(comctl * 100, std::round(comctl * 100));
    EXPECT_EQ(initComCtl32(0), comctl);
    EXPECT_EQ(getSysFileVer("no-such-file.dll"), 0);
}

struct MessageBoxCall {
    std::string text, caption;
    UINT style = 0;
    int count = 0;
};
MessageBoxCall lastBox;
double fakeVersion = 0;

int WINAPI recordBox(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    lastBox = {text, caption, style, lastBox.count + 1};
    return IDOK;
}
double fakeCommonControls(int32_t) {
    return fakeVersion;
}

// Not the program's own name: a real copy may run beside this test.
constexpr char kTestInstance[] = "TICKWELL-STARTUP-TEST";

TEST(Startup, CommonControlsGateOpensAtVersion471AndAnotherCopyStopsTheStart) {
    tw::ScopedSeam<MessageBoxSeam> boxes({recordBox});
    tw::ScopedSeam<CommonControlsSeam> controls({fakeCommonControls});

    // 4.70 is too old: the message names the control class and the program ends.
    lastBox = {};
    fakeVersion = 4 + 70 / 100.0;
    EXPECT_FALSE(startupGatesPass(kTestInstance).pass);
    EXPECT_EQ(lastBox.caption, "SysIPAddress32 Error");
    EXPECT_EQ(
        lastBox.text.rfind("Sorry, this program needs a later version of COMCTL32.DLL.\r\n", 0),
        0u);
    EXPECT_EQ(lastBox.style, static_cast<UINT>(MB_ICONEXCLAMATION | MB_SYSTEMMODAL));

    // 4.71, computed as the export computes it, passes; no other copy runs.
    lastBox = {};
    fakeVersion = 4 + 71 / 100.0;
    EXPECT_TRUE(startupGatesPass(kTestInstance).pass);
    EXPECT_EQ(lastBox.count, 0);

    // With the instance mutex held elsewhere, the start is refused.
    tw::unique_handle other(::CreateMutexA(nullptr, FALSE, kTestInstance));
    EXPECT_FALSE(startupGatesPass(kTestInstance).pass);
    EXPECT_EQ(lastBox.caption, "Tickwell");
    EXPECT_EQ(lastBox.text, "Another instance of Tickwell is already running!");
    EXPECT_EQ(lastBox.style, static_cast<UINT>(MB_ICONHAND));
}

// Two copies started together: the first to pass holds the mutex from its
// check on, so the second is refused however close behind it comes.
TEST(Startup, OfTwoCopiesExactlyOnePassesAndTheNextPassesOnceItEnds) {
    tw::ScopedSeam<MessageBoxSeam> boxes({recordBox});
    tw::ScopedSeam<CommonControlsSeam> controls({fakeCommonControls});
    fakeVersion = 6;
    StartupGates first = startupGatesPass(kTestInstance);
    StartupGates second = startupGatesPass(kTestInstance);
    EXPECT_TRUE(first.pass);
    EXPECT_FALSE(second.pass);
    EXPECT_EQ(lastBox.text, "Another instance of Tickwell is already running!");
    first = StartupGates{};
    EXPECT_TRUE(startupGatesPass(kTestInstance).pass);
}

} // namespace
} // namespace tickwell
