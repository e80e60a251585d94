// Test helper: one of the user's regional settings changed for a small scope.
#pragma once

#include <windows.h>

#include <string>

namespace tw::testing {

// Changes one of the user's regional settings (in the test prefix's registry)
// and puts the old value back when it goes, so keep it in a small scope.
class UserLocaleSetting {
  public:
    UserLocaleSetting(LCTYPE item, const char* value) : item_(item) {
        char old[80] = {};
        ::GetLocaleInfoA(LOCALE_USER_DEFAULT, item, old, sizeof old);
        old_ = old;
        changed_ = ::SetLocaleInfoA(LOCALE_USER_DEFAULT, item, value) != 0;
    }
    ~UserLocaleSetting() {
        if (changed_)
            ::SetLocaleInfoA(LOCALE_USER_DEFAULT, item_, old_.c_str());
    }
    UserLocaleSetting(const UserLocaleSetting&) = delete;
    UserLocaleSetting& operator=(const UserLocaleSetting&) = delete;
    bool changed() const { return changed_; }

  private:
    LCTYPE item_;
    std::string old_;
    bool changed_ = false;
};

} // namespace tw::testing
