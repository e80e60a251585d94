#include "service_client.h"

#include "tw/handles.h"
#include "tw/overlapped_pipe.h"

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
    const tw::PipeTransfer sent =
        tw::pipeTransfer(opened.pipe.get(), true, request.data(),
                         static_cast<DWORD>(request.size()), nullptr, waitMs);
    if (!sent.done) {
        result.error = "The Tickwell Time service did not take the request (error " +
                       std::to_string(sent.error) + ")";
        return result;
    }
    std::vector<char> buffer(kMaxReplyBytes);
    // A reply longer than a client reads is cut: the service never sends one.
    const tw::PipeTransfer got =
        tw::pipeTransfer(opened.pipe.get(), false, buffer.data(), static_cast<DWORD>(buffer.size()),
                         nullptr, waitMs);
    if ((!got.done && got.error != ERROR_MORE_DATA) || got.bytes == 0) {
        result.error = got.error == WAIT_TIMEOUT
                           ? "The Tickwell Time service gave no answer in time"
                           : "The Tickwell Time service closed the connection without an answer";
        return result;
    }
    result.reply.assign(buffer.data(), got.bytes);
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
