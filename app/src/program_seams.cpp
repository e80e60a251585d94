#include "program_seams.h"

#include "system_versions.h"

#include <sensapi.h>
#include <shellapi.h>

namespace tickwell {

namespace {

BOOL networkAlive() {
    DWORD flags = 0;
    return ::IsNetworkAlive(&flags);
}

int screenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

double initCommonControls(int32_t classes) {
    return initComCtl32(classes);
}

} // namespace

LocalClockSeam LocalClockSeam::real() {
    return {::GetLocalTime};
}

MessageBoxSeam MessageBoxSeam::real() {
    return {::MessageBoxA};
}

ShellOpenSeam ShellOpenSeam::real() {
    return {::ShellExecuteA};
}

NetworkSeam NetworkSeam::real() {
    return {networkAlive};
}

ScreenSeam ScreenSeam::real() {
    return {screenDpi};
}

CommonControlsSeam CommonControlsSeam::real() {
    return {initCommonControls};
}

} // namespace tickwell
