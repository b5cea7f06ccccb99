#include "telemetry/ReportSequence.h"

#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/ExclusiveLock.h"
#include "common/LogLine.h"

namespace KelvaneCenter {

namespace {
constexpr const char* kTag = "KelvaneCenter::ReportSequence::Deliver";

// An empty send stands for a report that was lost: its ticket only lets the next ones go.
void Run(const ReportSequence::Send& send) noexcept {
    if (send) {
        adw::CallLoggingExceptions(send, kTag, "report failed: ");
    }
}
} // namespace

void ReportSequence::Deliver(std::uint64_t ticket, Send send) noexcept {
    bool taken = false;
    adw::CallLoggingExceptions(
        [&] {
            adw::ExclusiveLock hold(lock_);
            if (ticket <= due_) { // below due: given up for lost earlier, late but not dropped
                taken = true;
                Run(send);
                if (ticket == due_) {
                    ++due_;
                }
            } else {
                waiting_.emplace(ticket, std::move(send));
                taken = true;
                if (waiting_.size() > maxWaiting_) {
                    adw::LogLine(adw::kLogError, kTag, "reports waited too long for an earlier one, sent without it: ",
                                 due_);
                    due_ = waiting_.begin()->first;
                }
            }
            SendDue();
        },
        kTag, "report sent out of order: ");
    // Only when the wait list could not take it: out of order beats lost.
    if (!taken) {
        Run(send);
    }
}

void ReportSequence::SendDue() noexcept {
    for (auto next = waiting_.begin(); next != waiting_.end() && next->first == due_; next = waiting_.begin()) {
        const Send send = std::move(next->second);
        waiting_.erase(next);
        ++due_;
        Run(send);
    }
}

} // namespace KelvaneCenter
