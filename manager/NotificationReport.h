#pragma once

#include <cstdint>
#include <string>

#include "telemetry/ReportSequence.h"

namespace KelvaneCenter {

// The usage event one engine notification owes: the pop-up's description,
// reported by `report`. The engine's thread only takes a ticket and copies the
// key; the description is built when the notification's job runs, or when the
// job is dropped or discarded, and the event goes out in ticket order either
// way. The text differs from the notification's moment only when the engine
// changes or forgets the item in between: a forgotten pop-up is described as
// empty, as an unknown one is.
class NotificationReport {
public:
    using Report = void (*)(const std::string& windowInfo);

    // `key` may be null: described as empty, the engine not asked.
    NotificationReport(ReportSequence& sequence, Report report, const wchar_t* key);
    // Sends the event if Send has not.
    ~NotificationReport();
    NotificationReport(const NotificationReport&) = delete;
    NotificationReport& operator=(const NotificationReport&) = delete;

    void Send() noexcept;
    const std::wstring& Key() const { return key_; }

private:
    ReportSequence& sequence_;
    const Report report_;
    const bool nullKey_;
    const std::wstring key_;
    const std::uint64_t ticket_; // taken last: a constructor that throws leaves no ticket unsent
    bool sent_ = false;
};

} // namespace KelvaneCenter
