#include "socket/session.h"

#include "socket/socket_errors.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>

namespace zymdate::net {

namespace {

std::atomic<bool> slotTaken{false};
// A query of several servers holds the slot for its whole run (beginShared);
// each connection it opens begins a session of its own inside that one, on
// its thread. Any other session needs the slot free.
thread_local bool sharedOnThisThread = false;

} // namespace

int Session::begin() {
    end();
    if (!sharedOnThisThread) {
        bool expected = false;
        if (!slotTaken.compare_exchange_strong(expected, true))
            return kSlotInUse;
        holdsSlot_ = true;
    }
    return startSockets();
}

int Session::beginShared() {
    end();
    if (sharedOnThisThread)
        return kSlotInUse;
    bool expected = false;
    if (!slotTaken.compare_exchange_strong(expected, true))
        return kSlotInUse;
    holdsSlot_ = true;
    shares_ = true;
    sharedOnThisThread = true;
    return startSockets();
}

int Session::startSockets() {
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
    if (shares_) {
        sharedOnThisThread = false;
        shares_ = false;
    }
    if (holdsSlot_) {
        slotTaken.store(false);
        holdsSlot_ = false;
    }
}

} // namespace zymdate::net
