#pragma once

// What the console host reads and prints, as pure functions: its commands, and
// one line (or block of lines) per callback and result.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "BlockingRecordModel.h"

namespace kelvane {

struct Command {
    enum Verb {
        Empty, Help, List, Block, Allow, Blocking, Power, Focus, Gates, ClearPeriod, Capture, Screenshot, Hats,
        ClickBlock, Point, Click, Log, Windows, Quit, Invalid
    };
    Verb verb = Empty;
    std::wstring text;   // Block, Allow: the key; Screenshot: the path; ClickBlock, Point: a window's title
    bool on = false;     // Blocking, Power, Focus, Gates
    unsigned number = 0; // ClearPeriod: days; Log: lines
    std::string problem; // Invalid: what is wrong, for the person who typed it
};

// One line as typed; surrounding blanks do not count.
Command ParseCommand(const std::wstring& line);
std::string HelpText();

// The last `count` lines of `text`.
std::string LastLines(const std::string& text, unsigned count);

// UTF-8, which the console's reader gets unchanged.
std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

const char* StatusName(int status);
const char* PopupTypeName(int type);
std::string FormatRecord(const KelvaneMsgCenter::BlockingRecordModel& record);
// The header line and one indented line per record.
std::string FormatRecords(const std::vector<KelvaneMsgCenter::BlockingRecordModel>& records);
std::string FormatCallback(const char* name, long long value);
std::string FormatCall(const char* operation, const std::string& argument, long long result);
std::string FormatHat(size_t index, const RECT& hat, POINT blockButton, const std::wstring& adTitle);
std::string FormatWindow(HWND window, bool visible, const std::wstring& title);

// The callbacks' lines as printed. A callback's text that repeats one printed
// since the host last printed anything else (the same record again at each
// round of an advertiser's pop-ups) is counted instead; before the next other
// output, each repeated text is printed once more with its count.
class RepeatFolder {
public:
    // What to print now for `text`; `foldable` for a callback's text.
    std::string Pass(const std::string& text, bool foldable);

private:
    static constexpr size_t kMaxHeld = 64;
    std::string Release();
    std::vector<std::pair<std::string, unsigned>> held_; // texts and their repeats
};

// Where the hat's "Block" button is: the hat lays out, from its right edge
// inwards, a 10-unit inset, "Ignore" (52), a 6-unit gap and "Block" (56), all
// vertically centred in its 56 units of height, inside a 1-pixel frame.
POINT BlockButtonPoint(const RECT& hat);
// Whether a hat sits over that ad window: the hat's bottom-right corner is
// at the ad's top-right corner, give or take a quarter of the hat's height.
bool HatSitsOver(const RECT& hat, const RECT& ad);

} // namespace kelvane
