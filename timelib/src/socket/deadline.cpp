#include "socket/deadline.h"

#include "clock/pc_clock_seam.h"

#include <windows.h>

#include <algorithm>

namespace zymdate::net {

Deadline::Deadline(uint32_t waitMs) : waitMs_(waitMs), startMs_(pcClock().millisecondCounter()) {}

uint32_t Deadline::leftMs() const {
    const uint32_t spent = spentMs();
    return spent >= waitMs_ ? 0 : waitMs_ - spent;
}

uint32_t Deadline::spentMs() const {
    return static_cast<uint32_t>(pcClock().millisecondCounter() - startMs_);
}

uint32_t Deadline::shareMs(size_t turnsLeft) const {
    const uint32_t left = leftMs();
    if (left == 0)
        return 0;
    return std::max<uint32_t>(1, left / static_cast<uint32_t>(std::max<size_t>(turnsLeft, 1)));
}

timeval* selectLimit(const Deadline& deadline, uint32_t capMs, timeval& storage) {
    if (deadline.unlimited() && capMs == 0)
        return nullptr;
    uint32_t ms = deadline.unlimited() ? capMs : deadline.leftMs();
    if (capMs != 0)
        ms = std::min(ms, capMs);
    storage.tv_sec = static_cast<long>(ms / 1000);
    storage.tv_usec = static_cast<long>((ms % 1000) * 1000);
    return &storage;
}

} // namespace zymdate::net
