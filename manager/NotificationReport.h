#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "telemetry/ReportSequence.h"

namespace KelvaneCenter {

// The usage event one engine notification owes. The engine's thread only
// takes the ticket; the pop-up's description is built when the event is sent,
// by the notification's job or, when the job is dropped or discarded, by
// whoever drops it, and the event goes out in ticket order either way. The
// text differs from the notification's moment only when the engine changes or
// forgets the item in between: a forgotten pop-up is described as empty, as an
// unknown one is.
class NotificationReport {
public:
    using Report = void (*)(const std::string& windowInfo);

    NotificationReport() = default; // owes nothing
    // Takes the ticket: from here on the event is owed until Send.
    NotificationReport(ReportSequence& sequence, Report report)
        : sequence_(&sequence), report_(report), ticket_(sequence.Take()) {}
    // Moved, never copied: a ticket is sent once. What is owed goes with the move.
    NotificationReport(NotificationReport&& other) noexcept
        : sequence_(std::exchange(other.sequence_, nullptr)), report_(other.report_), ticket_(other.ticket_) {}
    NotificationReport& operator=(NotificationReport&& other) noexcept {
        sequence_ = std::exchange(other.sequence_, nullptr);
        report_ = other.report_;
        ticket_ = other.ticket_;
        return *this;
    }

    // Describes the pop-up of `key` (null: empty, the engine not asked) and
    // hands the event over; only the first call after the ticket sends.
    void Send(const wchar_t* key) noexcept;

private:
    ReportSequence* sequence_ = nullptr; // null once sent, or when nothing is owed
    Report report_ = nullptr;
    std::uint64_t ticket_ = 0;
};

} // namespace KelvaneCenter
