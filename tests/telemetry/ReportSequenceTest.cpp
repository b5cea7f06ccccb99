#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TestSupport.h"
#include "common/LogLine.h"
#include "telemetry/ReportSequence.h"

using KelvaneCenter::ReportSequence;
using Sent = std::vector<std::uint64_t>;

namespace {

// Delivers `ticket`, whose send records it in `sent`.
void Deliver(ReportSequence& sequence, std::uint64_t ticket, Sent& sent) {
    sequence.Deliver(ticket, [&sent, ticket] { sent.push_back(ticket); });
}

// Out of order they go out in order; a ticket missing while more than the
// bound wait behind it is given up with a line, and still sent when it comes.
TEST(ReportSequence, ReportsGoOutInTicketOrderAndALostOneHoldsBackOnlyTheBound) {
    adwtest::LogCapture log;
    ReportSequence sequence(2);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sequence.Take(), static_cast<std::uint64_t>(i));
    Sent sent;
    const std::pair<std::uint64_t, Sent> steps[] = {// (ticket delivered, everything sent after it)
                                                    {2, {}}, {0, {0}}, {1, {0, 1, 2}}, {4, {0, 1, 2}},
                                                    {5, {0, 1, 2}}, {6, {0, 1, 2, 4, 5, 6}},
                                                    {3, {0, 1, 2, 4, 5, 6, 3}}, {7, {0, 1, 2, 4, 5, 6, 3, 7}}};
    for (const auto& step : steps) {
        Deliver(sequence, step.first, sent);
        EXPECT_EQ(sent, step.second) << "after ticket " << step.first;
    }
    const wchar_t* const givenUp = L"reports waited too long for an earlier one, sent without it: 3";
    EXPECT_EQ(log.Count(givenUp + std::wstring(L"(KelvaneCenter::ReportSequence::Deliver)"), adw::kLogError), 1);
}

} // namespace
