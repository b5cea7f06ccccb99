#pragma once

namespace KelvaneCenter {

// Whether handing a report over also wakes the reporter's worker, or leaves
// that to the caller (WakeReportWorker), who has a hand-over of its own to
// carry it.
enum class ReportWake { Now, ByCaller };

} // namespace KelvaneCenter
