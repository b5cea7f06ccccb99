// The console host's reading of the commands the demo and its user type.

#include <gtest/gtest.h>

#include "KelvaneCenter/HostText.h"

namespace {

using kelvane::Command;

TEST(HostText, CommandsAreReadAsTypedAndMistakesAreNamed) {
    struct Row { const wchar_t* line; Command::Verb verb; const wchar_t* text; bool on; unsigned number; } rows[] = {
        {L"  list \r\n", Command::List, L"", false, 0},
        {L"block pop-1a2b\n", Command::Block, L"pop-1a2b", false, 0},
        {L"click-block Sunmart - toast\r\n", Command::ClickBlock, L"Sunmart - toast", false, 0},
        {L"screenshot Z:\\tmp\\a b.png", Command::Screenshot, L"Z:\\tmp\\a b.png", false, 0},
        {L"power on", Command::Power, L"", true, 0},
        {L"focus  off", Command::Focus, L"", false, 0},
        {L"clear-period 30", Command::ClearPeriod, L"", false, 30},
        {L"gates on", Command::Gates, L"", true, 0},
        {L"log", Command::Log, L"", false, 20},
        {L"log 5", Command::Log, L"", false, 5},
        {L"\n", Command::Empty, L"", false, 0},
    };
    for (const Row& row : rows) {
        const Command command = kelvane::ParseCommand(row.line);
        EXPECT_EQ(command.verb, row.verb) << testing::PrintToString(std::wstring(row.line)) << command.problem;
        EXPECT_EQ(command.text, row.text);
        EXPECT_EQ(command.on, row.on);
        EXPECT_EQ(command.number, row.number);
    }
    for (const wchar_t* wrong : {L"blocking maybe", L"clear-period -1", L"clear-period 7x", L"clear-period 99999999999",
                                 L"list all", L"allow", L"dance", L"log 0", L"log x"}) {
        const Command command = kelvane::ParseCommand(wrong);
        EXPECT_EQ(command.verb, Command::Invalid) << testing::PrintToString(std::wstring(wrong));
        EXPECT_FALSE(command.problem.empty());
    }
}

} // namespace
