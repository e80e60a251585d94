#include "socket/deadline.h"

#include <windows.h>

#include <algorithm>

namespace zymdate::net {

Deadline::Deadline(uint32_t waitMs) : waitMs_(waitMs), startTick_(::GetTickCount64()) {}

uint32_t Deadline::leftMs() const {
    const uint32_t spent = spentMs();
    return spent >= waitMs_ ? 0 : waitMs_ - spent;
}

uint32_t Deadline::spentMs() const {
    const unsigned long long spent = ::GetTickCount64() - startTick_;
    return spent > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(spent);
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
