// The names by which Windows and the administrator know the service.
#pragma once

namespace tickwell::service {

inline constexpr char kServiceName[] = "TickwellTime";
inline constexpr char kDisplayName[] = "Tickwell Time";
inline constexpr char kDescription[] =
    "Keeps this PC's clock right from Internet time servers, and sets it for "
    "Tickwell users who lack the right to set it.";
inline constexpr char kEventSource[] = "Tickwell Time";
inline constexpr char kEventSourceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tickwell Time";
// Under %ProgramData%: the service's log, which only the service may write.
inline constexpr char kDataFolderName[] = "Tickwell";
inline constexpr char kLogFileName[] = "tickwell-service.log";

} // namespace tickwell::service
