#include "splash.h"

#include "library_calls.h"
#include "program_ids.h"

namespace tickwell {

void Splash::run() {
    runModal(instance_, IDD_SPLASH, nullptr);
}

bool Splash::onInit() {
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    ::SetTimer(window(), IDT_CLOCK, kSplashMilliseconds, nullptr);
    if (withSound_)
        lib::playSound(instance_, "WAVE1", "WAV01");
    return false;
}

bool Splash::onTimer(UINT_PTR timerId) {
    if (timerId != IDT_CLOCK)
        return false;
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
    end(0);
    return true;
}

void Splash::onDestroy() {
    ::KillTimer(window(), IDT_CLOCK);
}

INT_PTR Splash::onMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    if (message == WM_SETCURSOR) {
        setResult(TRUE);
        return TRUE;
    }
    return 0;
}

} // namespace tickwell
