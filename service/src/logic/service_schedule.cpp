#include "service_schedule.h"

#include <algorithm>

namespace tickwell::service {

namespace {

uint64_t intervalMs(int32_t intervalMinutes) {
    return static_cast<uint64_t>(std::max<int32_t>(intervalMinutes, 1)) * 60'000;
}

} // namespace

ServiceSchedule::ServiceSchedule(int32_t intervalMinutes, uint64_t startMs)
    : intervalMs_(intervalMs(intervalMinutes)), nextMs_(startMs + kFirstSetMs) {}

bool ServiceSchedule::due(uint64_t nowMs) const {
    return nowMs >= nextMs_;
}

uint64_t ServiceSchedule::untilNextMs(uint64_t nowMs) const {
    return due(nowMs) ? 0 : nextMs_ - nowMs;
}

void ServiceSchedule::finished(SetOutcome outcome, uint64_t nowMs) {
    // A set refused by the limit waits the interval like a good one: retrying
    // sooner would only be refused again.
    const uint64_t wait =
        outcome == SetOutcome::Failed ? std::min(kRetryMs, intervalMs_) : intervalMs_;
    nextMs_ = nowMs + wait;
}

void ServiceSchedule::setInterval(int32_t intervalMinutes, uint64_t nowMs) {
    intervalMs_ = intervalMs(intervalMinutes);
    nextMs_ = std::min(nextMs_, nowMs + intervalMs_);
}

} // namespace tickwell::service
