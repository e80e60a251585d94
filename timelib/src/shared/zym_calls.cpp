#include "shared/zym_calls.h"

#include "tw/bstr.h"
#include "zym.h"

namespace zymdate::zymcalls {

std::string errorDescription(int errorNumber) {
    return tw::takeBstr(::GETLASTERRORDESCRIPTION(errorNumber, 0));
}

} // namespace zymdate::zymcalls
