// What the service does: asks the servers and sets the clock, for a client of
// its pipe or on its own schedule, under the machine settings and the rules of
// what a client may ask. One query at a time (the library has one slot); a
// request that arrives meanwhile waits for it.
#pragma once

#include "request_rules.h"
#include "service_log.h"
#include "service_protocol.h"
#include "service_schedule.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

namespace tickwell::service {

class TimeService {
  public:
    explicit TimeService(ServiceLog& log);

    // A request of a client of the pipe.
    Reply handle(const Request& request);

    // The service's own schedule, until stop is signalled: with automatic set
    // on, a set every interval and a retry after a failure. Re-reads the
    // machine settings every minute.
    void runSchedule(HANDLE stop);

    // At the end: no clock set starts from now on, and one under way is waited
    // for (up to waitMs).
    void stopSetting(DWORD waitMs);

  private:
    enum class Purpose { Check, SetForClient, SetOnSchedule };
    Reply query(Purpose purpose, const std::string& server, const MachineSettings& settings,
                bool& refusedByLimit);
    void useNtsCaFile(const std::string& file);
    void remember(const std::string& outcome);
    void rememberScheduled(const Reply& reply);

    ServiceLog& log_;
    std::mutex queryMutex_;                       // one query at a time, and what follows
    std::optional<std::string> ntsCaFileSetting_; // the machine's, at the last query
    std::optional<std::string> ntsCaFileInUse_;   // the library's; none: not yet told
    std::timed_mutex setMutex_;
    std::atomic<bool> allowSet_{true};
    std::mutex stateMutex_; // what follows
    SetRateLimit setLimit_;
    ServerCourtesy courtesy_;
    std::string lastOutcome_;
    std::string lastOutcomeAt_;
    std::optional<Reply> lastScheduled_; // its scheduledAt set
    std::optional<ServiceSchedule> schedule_;
};

} // namespace tickwell::service
