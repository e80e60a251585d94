// The splash screen: the picture alone, no caption, centred, for 5.5 seconds at
// every start (it cannot be clicked away), with the start-up sound when sounds
// are on. The wait cursor shows over it all that time.
#pragma once

#include "tw/dialog.h"

#include <windows.h>

namespace tickwell {

inline constexpr UINT kSplashMilliseconds = 5500;

class Splash final : public tw::Dialog {
  public:
    Splash(HINSTANCE instance, bool withSound) : instance_(instance), withSound_(withSound) {}
    void run();

  protected:
    bool onInit() override;
    bool onTimer(UINT_PTR timerId) override;
    void onDestroy() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HINSTANCE instance_;
    bool withSound_;
};

} // namespace tickwell
