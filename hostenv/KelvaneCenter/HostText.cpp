#include "KelvaneCenter/HostText.h"

#include <cstdio>
#include <cstdlib>

namespace kelvane {

namespace {

std::wstring Trim(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

Command Invalid(const std::string& problem) {
    Command command;
    command.verb = Command::Invalid;
    command.problem = problem;
    return command;
}

Command Switch(Command::Verb verb, const std::wstring& argument, const char* name) {
    if (argument != L"on" && argument != L"off") {
        return Invalid(std::string(name) + " takes on or off");
    }
    Command command;
    command.verb = verb;
    command.on = argument == L"on";
    return command;
}

Command WithText(Command::Verb verb, const std::wstring& argument, const char* what) {
    if (argument.empty()) {
        return Invalid(std::string("missing ") + what);
    }
    Command command;
    command.verb = verb;
    command.text = argument;
    return command;
}

} // namespace

Command ParseCommand(const std::wstring& line) {
    const std::wstring trimmed = Trim(line);
    const size_t blank = trimmed.find_first_of(L" \t");
    const std::wstring verb = trimmed.substr(0, blank);
    const std::wstring argument = blank == std::wstring::npos ? std::wstring() : Trim(trimmed.substr(blank));
    struct Plain { const wchar_t* name; Command::Verb verb; };
    static const Plain kPlain[] = {{L"", Command::Empty}, {L"help", Command::Help}, {L"list", Command::List},
                                   {L"capture", Command::Capture}, {L"hats", Command::Hats}, {L"click", Command::Click},
                                   {L"windows", Command::Windows}, {L"quit", Command::Quit}};
    for (const Plain& plain : kPlain) {
        if (verb == plain.name) {
            if (!argument.empty()) {
                return Invalid(Utf8(verb) + " takes no argument");
            }
            Command command;
            command.verb = plain.verb;
            return command;
        }
    }
    if (verb == L"block") return WithText(Command::Block, argument, "pop-up key");
    if (verb == L"allow") return WithText(Command::Allow, argument, "pop-up key");
    if (verb == L"screenshot") return WithText(Command::Screenshot, argument, "file path");
    if (verb == L"click-block") return WithText(Command::ClickBlock, argument, "ad window title");
    if (verb == L"point") return WithText(Command::Point, argument, "window title");
    if (verb == L"blocking") return Switch(Command::Blocking, argument, "blocking");
    if (verb == L"power") return Switch(Command::Power, argument, "power");
    if (verb == L"focus") return Switch(Command::Focus, argument, "focus");
    if (verb == L"gates") return Switch(Command::Gates, argument, "gates");
    if (verb == L"log") {
        wchar_t* end = nullptr;
        const unsigned long lines = argument.empty() ? 20 : std::wcstoul(argument.c_str(), &end, 10);
        if ((!argument.empty() && (*end != L'\0' || argument[0] == L'-')) || lines == 0 || lines > 10000) {
            return Invalid("log takes a number of lines (1 to 10000)");
        }
        Command command;
        command.verb = Command::Log;
        command.number = static_cast<unsigned>(lines);
        return command;
    }
    if (verb == L"clear-period") {
        wchar_t* end = nullptr;
        // unsigned long is 32 bits here: read wider, so that too large a number is refused, not clamped.
        const unsigned long long days = argument.empty() ? 0 : std::wcstoull(argument.c_str(), &end, 10);
        if (argument.empty() || *end != L'\0' || argument[0] == L'-' || days > 0xFFFFFFFFull) {
            return Invalid("clear-period takes a number of days");
        }
        Command command;
        command.verb = Command::ClearPeriod;
        command.number = static_cast<unsigned>(days);
        return command;
    }
    return Invalid("unknown command " + Utf8(verb) + " (try help)");
}

std::string HelpText() {
    return "commands:\n"
           "  list                  ask for the pop-up records (OnBlockingRecords)\n"
           "  block KEY | allow KEY block or allow the pop-up with that key\n"
           "  blocking on|off       the blocking switch (registry, then SetBlockingState)\n"
           "  power on|off          powerful mode (registry, then SetPowerState)\n"
           "  focus on|off          focus mode (registry, then SetFocusState)\n"
           "  gates on|off          open or close focus mode's monitor and ad-window closing\n"
           "                        (FocusModeSupported, CloseAdWindowEnabled under HKLM; Init reads them: UnInit, Init)\n"
           "  log [N]               the library's last N log lines (20), e.g. focus scenes judged\n"
           "  clear-period DAYS     the engine forgets pop-ups not seen for that long\n"
           "  capture               ScreenshotBlocking: pick a window on screen to block\n"
           "  hats                  the hats on screen, the ad under each and its Block button\n"
           "  click-block TITLE     click Block on the hat over the ad window with that title\n"
           "  point TITLE           move the pointer to the middle of another program's window\n"
           "  click                 click the left button where the pointer is (a focus scene's window\n"
           "                        is judged when the button is released over it)\n"
           "  windows               other programs' windows: handle, visible or hidden, title\n"
           "  screenshot PATH       save the whole screen as a PNG file\n"
           "  help | quit           this text | UnInit and end\n";
}

std::string LastLines(const std::string& text, unsigned count) {
    size_t start = text.size();
    if (start > 0 && text[start - 1] == '\n') {
        --start; // the final line break ends the last line
    }
    for (unsigned found = 0; start > 0; --start) {
        if (text[start - 1] == '\n' && ++found == count) {
            break;
        }
    }
    return text.substr(start);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    }
    return out;
}

const char* StatusName(int status) {
    switch (status) {
    case KelvaneMsgCenter::kRecordBlocked: return "blocked";
    case KelvaneMsgCenter::kRecordBlockedRecently: return "blocked recently";
    case KelvaneMsgCenter::kRecordNotBlocked: return "not blocked";
    default: return "unknown status";
    }
}

const char* PopupTypeName(int type) {
    static const char* const kNames[] = {"unknown", "bottom-right", "centre", "bubble", "tray", "toolbar"};
    return type >= 0 && type <= 5 ? kNames[type] : "unknown";
}

std::string FormatRecord(const KelvaneMsgCenter::BlockingRecordModel& record) {
    char numbers[160];
    std::snprintf(numbers, sizeof(numbers), "status=%d (%s) type=%d (%s) blocks=%u", record.status,
                  StatusName(record.status), record.popupType, PopupTypeName(record.popupType), record.blockCount);
    return std::string(numbers) + " key=" + Utf8(record.popupId) + " \"" + Utf8(record.textA) + "\" / \"" +
           Utf8(record.textB) + "\"";
}

std::string FormatRecords(const std::vector<KelvaneMsgCenter::BlockingRecordModel>& records) {
    std::string text = "callback: OnBlockingRecords " + std::to_string(records.size()) + " record" +
                       (records.size() == 1 ? "" : "s") + "\n";
    for (const auto& record : records) {
        text += "  record " + FormatRecord(record) + "\n";
    }
    return text;
}

std::string FormatCallback(const char* name, long long value) {
    return std::string("callback: ") + name + " " + std::to_string(value) + "\n";
}

std::string FormatCall(const char* operation, const std::string& argument, long long result) {
    return std::string("host: ") + operation + "(" + argument + ") -> " + std::to_string(result) + "\n";
}

std::string FormatHat(size_t index, const RECT& hat, POINT blockButton, const std::wstring& adTitle) {
    char line[200];
    std::snprintf(line, sizeof(line), "host: hat %zu at %ld,%ld %ldx%ld, Block button at %ld,%ld, over ", index,
                  hat.left, hat.top, hat.right - hat.left, hat.bottom - hat.top, blockButton.x, blockButton.y);
    return line + ("\"" + Utf8(adTitle) + "\"\n");
}

std::string FormatWindow(HWND window, bool visible, const std::wstring& title) {
    char line[80];
    std::snprintf(line, sizeof(line), "host: window 0x%llx %s ",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)), visible ? "visible" : "hidden");
    return line + ("\"" + Utf8(title) + "\"\n");
}

std::string RepeatFolder::Pass(const std::string& text, bool foldable) {
    if (foldable) {
        for (auto& held : held_) {
            if (held.first == text) {
                ++held.second;
                return std::string();
            }
        }
    }
    std::string out = !foldable || held_.size() >= kMaxHeld ? Release() : std::string();
    if (foldable) {
        held_.emplace_back(text, 0u);
    }
    return out + text;
}

std::string RepeatFolder::Release() {
    std::string out;
    for (const auto& held : held_) {
        if (held.second > 0 && !held.first.empty()) {
            const std::string body = held.first.back() == '\n' ? held.first.substr(0, held.first.size() - 1) : held.first;
            out += body + " (" + std::to_string(held.second) + " more time" + (held.second == 1 ? "" : "s") + ")\n";
        }
    }
    held_.clear();
    return out;
}

POINT BlockButtonPoint(const RECT& hat) {
    const double scale = static_cast<double>(hat.bottom - hat.top) / 56.0;
    const LONG fromRight = static_cast<LONG>((10 + 52 + 6 + 28) * scale + 0.5);
    return POINT{hat.right - 1 - fromRight, (hat.top + hat.bottom) / 2};
}

bool HatSitsOver(const RECT& hat, const RECT& ad) {
    const long slack = (hat.bottom - hat.top) / 4;
    return std::labs(ad.right - hat.right) <= slack && std::labs(ad.top - hat.bottom) <= slack;
}

} // namespace kelvane
