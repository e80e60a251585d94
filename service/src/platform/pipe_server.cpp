#include "pipe_server.h"

#include "service_protocol.h"
#include "tw/overlapped_pipe.h"

#include <sddl.h>

#include <vector>

namespace tickwell::service {

// What the listener and the client threads share; it lives as long as any.
struct ClientShared {
    PipeServer::Handler handler;
    HANDLE stop = nullptr;
    std::atomic<int> clients{0};
};

namespace {

// The most of an oversized request read to get past it.
constexpr size_t kMaxDrainBytes = 1024 * 1024;

tw::unique_file createInstance(bool first, DWORD& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kPipeSecurity, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        error = ::GetLastError();
        return {};
    }
    tw::unique_hlocal owner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // The first instance must be ours: a program that made the pipe first
    // would otherwise hear users' requests in the service's place.
    const DWORD openMode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    tw::unique_file pipe(::CreateNamedPipeA(
        kPipeName, openMode,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, static_cast<DWORD>(kMaxReplyBytes),
        static_cast<DWORD>(kMaxRequestBytes), 0, &attributes));
    if (!pipe)
        error = ::GetLastError();
    return pipe;
}

} // namespace

PipeServer::PipeServer(Handler handler, HANDLE stop)
    : shared_(std::make_shared<ClientShared>()), stop_(stop) {
    shared_->handler = std::move(handler);
    shared_->stop = stop;
}

PipeServer::~PipeServer() {
    for (std::thread& listener : listeners_)
        if (listener.joinable())
            listener.join();
}

bool PipeServer::start(std::string& error) {
    DWORD code = 0;
    first_ = createInstance(true, code);
    if (!first_) {
        error = "The pipe " + std::string(kPipeName) + " could not be made (error " +
                std::to_string(code) + ")";
        return false;
    }
    // Several instances wait at once, so clients that come together are not
    // told the pipe is busy.
    for (int i = 0; i < kListeningInstances; ++i)
        listeners_.emplace_back(
            [this, i] { listen(i == 0 ? std::move(first_) : tw::unique_file()); });
    return true;
}

void PipeServer::listen(tw::unique_file pipe) {
    tw::unique_handle connected(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    for (;;) {
        if (!pipe) {
            DWORD code = 0;
            pipe = createInstance(false, code);
            if (!pipe) {
                // Out of resources for a moment: try again, unless stopping.
                if (::WaitForSingleObject(stop_, 500) == WAIT_OBJECT_0)
                    return;
                continue;
            }
        }
        OVERLAPPED overlapped{};
        ::ResetEvent(connected.get());
        overlapped.hEvent = connected.get();
        bool isConnected = false;
        if (::ConnectNamedPipe(pipe.get(), &overlapped)) {
            isConnected = true;
        } else if (const DWORD e = ::GetLastError(); e == ERROR_PIPE_CONNECTED) {
            isConnected = true;
        } else if (e == ERROR_IO_PENDING) {
            isConnected = tw::awaitOverlapped(pipe.get(), overlapped, stop_, INFINITE).done;
        }
        if (::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0)
            return;
        if (!isConnected) {
            pipe.reset();
            continue;
        }
        ++shared_->clients;
        std::thread(&PipeServer::serve, shared_, pipe.release()).detach();
    }
}

void PipeServer::serve(std::shared_ptr<ClientShared> shared, HANDLE handle) {
    tw::unique_file pipe(handle);
    std::string reply;
    if (shared->clients > kMaxClients) {
        reply = replyText(errorReply("The Tickwell Time service is busy: ask again in a moment"));
    } else {
        // One byte more than a request may hold tells a longer one apart.
        std::vector<char> buffer(kMaxRequestBytes + 1);
        const tw::PipeTransfer got =
            tw::pipeTransfer(pipe.get(), false, buffer.data(), static_cast<DWORD>(buffer.size()),
                             shared->stop, kRequestWaitMs);
        if (got.done) {
            reply = shared->handler(std::string_view(buffer.data(), got.bytes));
        } else if (got.error == ERROR_MORE_DATA) {
            reply = shared->handler(std::string_view(buffer.data(), buffer.size()));
            // The rest of the message is read and dropped, or the client would
            // wait to finish writing it and never read the reply.
            std::vector<char> rest(64 * 1024);
            for (size_t drained = 0; drained < kMaxDrainBytes;) {
                const tw::PipeTransfer part =
                    tw::pipeTransfer(pipe.get(), false, rest.data(),
                                     static_cast<DWORD>(rest.size()), shared->stop, kRequestWaitMs);
                if (part.error != ERROR_MORE_DATA)
                    break;
                drained += part.bytes;
            }
        } else if (got.error == WAIT_TIMEOUT) {
            reply = replyText(errorReply("No request came within 2 seconds"));
        }
    }
    if (!reply.empty() &&
        tw::pipeTransfer(pipe.get(), true, reply.data(), static_cast<DWORD>(reply.size()),
                         shared->stop, kRequestWaitMs)
            .done) {
        // The client closes its end once it has read the reply; until then
        // disconnecting would throw the reply away.
        char ignored = 0;
        tw::pipeTransfer(pipe.get(), false, &ignored, 1, shared->stop, kRequestWaitMs);
    }
    ::DisconnectNamedPipe(pipe.get());
    --shared->clients;
}

} // namespace tickwell::service
