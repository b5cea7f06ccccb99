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
    if (sent_) {
        return;
    }
    sent_ = true;
    adw::CallLoggingExceptions(
        [this] {
            std::string description = nullKey_ ? std::string() : GetPopupInfo(key_.c_str());
            sequence_.Deliver(ticket_, [report = report_, description = std::move(description)] { report(description); });
        },
        "KelvaneCenter::NotificationReport::Send", "report lost: ");
}

} // namespace KelvaneCenter
