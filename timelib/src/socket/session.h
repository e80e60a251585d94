// One exchange at a time: the library-wide connection slot, and the sockets
// library (Winsock 2) started for as long as the slot is held.
#pragma once

namespace zymdate::net {

// The library-wide slot and Winsock, held for the life of one exchange.
class Session {
  public:
    Session() = default;
    ~Session() { end(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Takes the slot and starts Winsock 2. kOk, kSlotInUse or kNoSockets.
    int begin();
    // The same, and sessions begun on this thread until this one ends run
    // inside it instead of asking for the slot.
    int beginShared();
    void end();

  private:
    int startSockets();

    bool holdsSlot_ = false;
    bool shares_ = false;
    bool started_ = false;
};

} // namespace zymdate::net
