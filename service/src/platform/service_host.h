// The service as the service control manager runs it: registers with it, serves
// the pipe and keeps the schedule until Stop or Shutdown, which it answers
// within 2 seconds even during a query.
#pragma once

namespace tickwell::service {

// Hands the process to the service control manager. False when the process
// was not started by it (a person ran the program without a command).
bool runAsService();

} // namespace tickwell::service
