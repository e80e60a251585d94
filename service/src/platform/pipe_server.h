// The service's pipe, \\.\pipe\TickwellTime: message mode, local clients only,
// a security descriptor that lets SYSTEM and administrators do anything and
// interactive users read and write (not create an instance and pose as the
// service). Each client gets a thread of its own, so a slow one never holds up
// another; one that says nothing within kRequestWaitMs is dropped.
#pragma once

#include "tw/handles.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tickwell::service {

inline constexpr DWORD kRequestWaitMs = 2'000;
// The descriptor of the pipe: SYSTEM, administrators and the service itself
// (the owner, through OWNER RIGHTS) in full; interactive users read, write and
// set the mode (0x12019B: no FILE_CREATE_PIPE_INSTANCE).
inline constexpr char kPipeSecurity[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;OW)(A;;0x12019B;;;IU)";
// Clients served at once; one more is told to come back.
inline constexpr int kMaxClients = 32;
// Instances waiting for a client at any time.
inline constexpr int kListeningInstances = 4;

class PipeServer {
  public:
    // Turns a request's bytes (as they came) into the reply's.
    using Handler = std::function<std::string(std::string_view request)>;

    PipeServer(Handler handler, HANDLE stop);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Creates the pipe and starts listening; false with the reason when the
    // pipe cannot be made (another program holds the name, say).
    bool start(std::string& error);

  private:
    void listen(tw::unique_file pipe);
    static void serve(std::shared_ptr<struct ClientShared> shared, HANDLE pipe);

    std::shared_ptr<struct ClientShared> shared_;
    HANDLE stop_;
    tw::unique_file first_;
    std::vector<std::thread> listeners_;
};

} // namespace tickwell::service
