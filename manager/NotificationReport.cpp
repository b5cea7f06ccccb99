#include "manager/NotificationReport.h"

#include <utility>

#include "common/CallLoggingExceptions.h"
#include "vendor/PopupDescription.h"

namespace KelvaneCenter {

NotificationReport::NotificationReport(ReportSequence& sequence, Report report, const wchar_t* key)
    : sequence_(sequence), report_(report), nullKey_(key == nullptr), key_(key != nullptr ? key : L""),
      ticket_(sequence.Take()) {}

NotificationReport::~NotificationReport() {
    Send();
}

void NotificationReport::Send() noexcept {
    constexpr const char* kTag = "KelvaneCenter::NotificationReport::Send";
    if (sent_) {
        return;
    }
    sent_ = true;
    std::string description;
    if (!nullKey_) {
        adw::CallLoggingExceptions([&] { description = GetPopupInfo(key_.c_str()); }, kTag, "described as empty: ");
    }
    bool delivered = false;
    adw::CallLoggingExceptions(
        [&] {
            sequence_.Deliver(ticket_,
                              [report = report_, description = std::move(description)] { report(description); });
            delivered = true;
        },
        kTag, "report lost: ");
    if (!delivered) {
        sequence_.Deliver(ticket_, {}); // the ticket still goes, so later reports do not wait for it
    }
}

} // namespace KelvaneCenter
