#include "manager/NotificationReport.h"

#include <string>
#include <utility>

#include "common/CallLoggingExceptions.h"
#include "vendor/PopupDescription.h"

namespace KelvaneCenter {

void NotificationReport::Send(const wchar_t* key) noexcept {
    constexpr const char* kTag = "KelvaneCenter::NotificationReport::Send";
    ReportSequence* const sequence = std::exchange(sequence_, nullptr);
    if (sequence == nullptr) {
        return;
    }
    std::string description;
    if (key != nullptr) {
        adw::CallLoggingExceptions([&] { description = GetPopupInfo(key); }, kTag, "described as empty: ");
    }
    bool delivered = false;
    adw::CallLoggingExceptions(
        [&] {
            sequence->Deliver(ticket_, [report = report_, description = std::move(description)] { report(description); });
            delivered = true;
        },
        kTag, "report lost: ");
    if (!delivered) {
        sequence->Deliver(ticket_, {}); // the ticket still goes, so later reports do not wait for it
    }
}

} // namespace KelvaneCenter
