#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

namespace KelvaneCenter {

// Hands reports over in the order their tickets were taken, however late and
// out of order they become ready. An engine notification takes its ticket on
// the engine's thread, and its job builds the report later on the queue's
// worker, or, when the queue drops the job, on the thread that pushed past it,
// possibly ahead of an older job that the worker has just taken.
class ReportSequence {
public:
    using Send = std::function<void()>;

    // At most `maxWaiting` reports wait for an earlier ticket; beyond that the
    // missing ones are given up for lost, so one lost ticket cannot hold back
    // every later report.
    explicit ReportSequence(std::size_t maxWaiting) : maxWaiting_(maxWaiting) {}
    ReportSequence(const ReportSequence&) = delete;
    ReportSequence& operator=(const ReportSequence&) = delete;

    std::uint64_t Take() noexcept { return taken_.fetch_add(1, std::memory_order_relaxed); }
    // Calls `send` once every earlier ticket has been sent, here or by the
    // Deliver that completes them; each ticket is sent exactly once. A ticket
    // given up for lost is sent as soon as it comes. An empty `send` only
    // passes the ticket: its report was lost.
    void Deliver(std::uint64_t ticket, Send send) noexcept;

private:
    void SendDue() noexcept;

    const std::size_t maxWaiting_;
    std::atomic<std::uint64_t> taken_{0};
    SRWLOCK lock_ = SRWLOCK_INIT; // sends run under it, so the order they reach the reporter is the ticket order
    std::uint64_t due_ = 0;
    std::map<std::uint64_t, Send> waiting_;
};

} // namespace KelvaneCenter
