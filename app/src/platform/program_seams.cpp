#include "program_seams.h"

#include "library_calls.h"
#include "run_entry.h"
#include "system_versions.h"

#include <process.h>

namespace tickwell {

namespace {

// Looked up when first asked: a system without the notification service counts
// as connected, so the query itself tells whether the server answers.
BOOL networkAlive() {
    using IsNetworkAliveFn = BOOL(WINAPI*)(LPDWORD);
    static const auto isNetworkAlive = [] {
        HMODULE library = ::LoadLibraryA("sensapi.dll");
        return library ? reinterpret_cast<IsNetworkAliveFn>(
                             reinterpret_cast<void*>(::GetProcAddress(library, "IsNetworkAlive")))
                       : nullptr;
    }();
    DWORD flags = 0;
    return isNetworkAlive == nullptr || isNetworkAlive(&flags);
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

HANDLE startThread(unsigned(__stdcall* routine)(void*), void* argument) {
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, routine, argument, 0, nullptr));
}

} // namespace

LocalClockSeam LocalClockSeam::real() {
    return {::GetLocalTime, ::GetTickCount64};
}

ClockSetterSeam ClockSetterSeam::real() {
    return {lib::setPcTime};
}

TraySeam TraySeam::real() {
    return {::Shell_NotifyIconA};
}

ThreadSeam ThreadSeam::real() {
    return {startThread};
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

TimeServiceSeam TimeServiceSeam::real() {
    return {service::askService};
}

RegistrySeam RegistrySeam::real() {
    return {lib::saveRegistryText, lib::deleteRegistryValue, registryText};
}

} // namespace tickwell
