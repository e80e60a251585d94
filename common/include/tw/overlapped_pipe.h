// One read or write on an overlapped pipe handle, waited for within a time and,
// if given, until a stop event: what both ends of the service's pipe do.
#pragma once

#include "tw/handles.h"

#include <windows.h>

namespace tw {

struct PipeTransfer {
    bool done = false; // it completed
    DWORD bytes = 0;   // moved, also when a message was longer than the buffer
    DWORD error = 0; // why not: WAIT_TIMEOUT, ERROR_MORE_DATA (the rest of the message waits), ...
};

// Waits for an operation already started with overlapped; it is cancelled
// when waitMs pass or stop (may be null) is signalled first.
inline PipeTransfer awaitOverlapped(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop,
                                    DWORD waitMs) {
    PipeTransfer t;
    const HANDLE events[] = {overlapped.hEvent, stop};
    if (::WaitForMultipleObjects(stop != nullptr ? 2 : 1, events, FALSE, waitMs) != WAIT_OBJECT_0) {
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &overlapped, &t.bytes, TRUE);
        t.error = WAIT_TIMEOUT;
        return t;
    }
    t.done = ::GetOverlappedResult(pipe, &overlapped, &t.bytes, FALSE) != FALSE;
    if (!t.done)
        t.error = ::GetLastError();
    return t;
}

inline PipeTransfer pipeTransfer(HANDLE pipe, bool write, void* buffer, DWORD size, HANDLE stop,
                                 DWORD waitMs) {
    const unique_handle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    const BOOL started = write ? ::WriteFile(pipe, buffer, size, nullptr, &overlapped)
                               : ::ReadFile(pipe, buffer, size, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        PipeTransfer t;
        t.error = ::GetLastError();
        // A message longer than the buffer filled it whole.
        if (t.error == ERROR_MORE_DATA)
            t.bytes = size;
        return t;
    }
    return awaitOverlapped(pipe, overlapped, stop, waitMs);
}

} // namespace tw
