#include "socket/session.h"

#include "socket/socket_errors.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>

namespace zymdate::net {

namespace {

std::atomic<bool> slotTaken{false};
// Sessions begun on this thread while it holds the slot: a query of several
// servers holds it for its whole run, and each connection it opens begins a
// session of its own inside that one.
thread_local int heldOnThisThread = 0;

} // namespace

int Session::begin() {
    end();
    bool expected = false;
    if (heldOnThisThread == 0 && !slotTaken.compare_exchange_strong(expected, true))
        return kSlotInUse;
    holdsSlot_ = true;
    ++heldOnThisThread;
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
        if (--heldOnThisThread == 0)
            slotTaken.store(false);
        holdsSlot_ = false;
    }
}

} // namespace zymdate::net
