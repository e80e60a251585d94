// The outcome ASKTIMESERVERS fills, owning the texts it hands over: every
// caller frees the same BSTRs, once.
#pragma once

#include "zymdate.h"

#include <oleauto.h>

namespace tw {

struct OwnedTimeOutcome {
    ZYMDATE_TIME_OUTCOME value{};

    OwnedTimeOutcome() { value.size = sizeof value; }
    ~OwnedTimeOutcome() {
        for (ZYMDATE_SERVER_ANSWER& a : value.answers) {
            ::SysFreeString(a.server);
            ::SysFreeString(a.message);
        }
        ::SysFreeString(value.source);
        ::SysFreeString(value.message);
    }
    OwnedTimeOutcome(const OwnedTimeOutcome&) = delete;
    OwnedTimeOutcome& operator=(const OwnedTimeOutcome&) = delete;
};

} // namespace tw
