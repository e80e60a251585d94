#include "seams.h"

namespace tickwell {

Seams realSeams() {
    return Seams{::GetLocalTime, ::GetSystemTime};
}

Seams& seams() {
    static Seams current = realSeams();
    return current;
}

} // namespace tickwell
