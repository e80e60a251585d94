#include "zym_calls.h"

#include "tw/bstr.h"
#include "zym.h"

namespace zymdate {

std::string errorDescription(int errorNumber) {
    tw::unique_bstr text(::GETLASTERRORDESCRIPTION(errorNumber, 0));
    return tw::fromBstr(text.get());
}

} // namespace zymdate
