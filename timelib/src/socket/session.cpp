#include "socket/session.h"

#include "socket/socket_errors.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>

namespace zymdate::net {

namespace {

std::atomic<bool> slotTaken{false};

} // namespace

int Session::begin() {
    end();
    bool expected = false;
    if (!slotTaken.compare_exchange_strong(expected, true))
        return kSlotInUse;
    holdsSlot_ = true;
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return kNoSockets;
    started_ = true;
    if (LOBYTE(data.wVersion) != 2)
        return kNoSockets;
    return kOk;
}

void Session::end() {
    if (started_) {
        ::WSACleanup();
        started_ = false;
    }
    if (holdsSlot_) {
        slotTaken.store(false);
        holdsSlot_ = false;
    }
}

} // namespace zymdate::net
