#include "service_client.h"

#include "tw/handles.h"

#include <windows.h>

#include <vector>

namespace tickwell::service {
namespace {

constexpr DWORD kBusyWaitMs = 2'000;

struct Opened {
    tw::unique_file pipe;
    DWORD error = 0;
};

Opened openPipe() {
    Opened opened;
    // Every instance busy: the service makes more as it takes clients.
    const ULONGLONG until = ::GetTickCount64() + kBusyWaitMs;
    for (;;) {
        opened.pipe.reset(::CreateFileA(
            kPipeName, kClientPipeAccess, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (opened.pipe)
            return opened;
        opened.error = ::GetLastError();
        if (opened.error != ERROR_PIPE_BUSY || ::GetTickCount64() > until)
            return opened;
        if (!::WaitNamedPipeA(kPipeName, 100))
            ::Sleep(20);
    }
}

// One overlapped transfer, waited for up to waitMs; false when it did not
// complete (it is cancelled).
bool transfer(HANDLE pipe, bool write, void* buffer, DWORD size, DWORD waitMs, DWORD& done,
              DWORD& error) {
    tw::unique_handle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    done = 0;
    error = 0;
    const BOOL started = write ? ::WriteFile(pipe, buffer, size, nullptr, &overlapped)
                               : ::ReadFile(pipe, buffer, size, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        error = ::GetLastError();
        return error == ERROR_MORE_DATA;
    }
    if (::WaitForSingleObject(event.get(), waitMs) != WAIT_OBJECT_0) {
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &overlapped, &done, TRUE);
        error = WAIT_TIMEOUT;
        return false;
    }
    if (!::GetOverlappedResult(pipe, &overlapped, &done, FALSE)) {
        error = ::GetLastError();
        return error == ERROR_MORE_DATA;
    }
    return true;
}

struct Exchange {
    std::string reply;
    std::string error;
    bool absent = false;
};

Exchange exchange(const std::string& bytes, uint32_t waitMs) {
    Exchange result;
    Opened opened = openPipe();
    if (!opened.pipe) {
        result.absent =
            opened.error == ERROR_FILE_NOT_FOUND || opened.error == ERROR_PATH_NOT_FOUND;
        result.error = result.absent ? "The Tickwell Time service is not running"
                                     : "The Tickwell Time service could not be reached (error " +
                                           std::to_string(opened.error) + ")";
        return result;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(opened.pipe.get(), &mode, nullptr, nullptr);
    std::string request = bytes;
    DWORD done = 0, error = 0;
    if (!transfer(opened.pipe.get(), true, request.data(), static_cast<DWORD>(request.size()),
                  waitMs, done, error)) {
        result.error = "The Tickwell Time service did not take the request (error " +
                       std::to_string(error) + ")";
        return result;
    }
    std::vector<char> buffer(kMaxReplyBytes);
    if (!transfer(opened.pipe.get(), false, buffer.data(), static_cast<DWORD>(buffer.size()),
                  waitMs, done, error) ||
        done == 0) {
        result.error = error == WAIT_TIMEOUT
                           ? "The Tickwell Time service gave no answer in time"
                           : "The Tickwell Time service closed the connection without an answer";
        return result;
    }
    result.reply.assign(buffer.data(), done);
    return result;
}

} // namespace

ClientAnswer askService(const Request& request, uint32_t waitMs) {
    ClientAnswer answer;
    const Exchange done = exchange(requestText(request), waitMs);
    answer.serviceAbsent = done.absent;
    if (!done.error.empty()) {
        answer.error = done.error;
        return answer;
    }
    answer.reply = parseReply(done.reply);
    if (!answer.reply)
        answer.error = "The Tickwell Time service gave an answer that could not be read";
    return answer;
}

std::string askServiceRaw(const std::string& bytes, uint32_t waitMs) {
    return exchange(bytes, waitMs).reply;
}

} // namespace tickwell::service
