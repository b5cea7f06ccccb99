#include "AdPopBlocker64/PopupRules.h"

#include <cstdlib>
#include <limits>

namespace adpop {

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }
long long Area(const RECT& r) { return static_cast<long long>(Width(r)) * Height(r); }

// Sizes in pixels. A toast or bubble larger than these is a window a person
// opened, and a "corner" is as wide as the gap a toast keeps to the edges.
constexpr LONG kMinWidth = 48;
constexpr LONG kMinHeight = 24;
constexpr LONG kToolbarMaxHeight = 96;
constexpr LONG kEdgeSlack = 8;
constexpr LONG kCornerGap = 64;
constexpr LONG kToastMaxWidth = 480;
constexpr LONG kToastMaxHeight = 400;
constexpr LONG kBubbleMaxWidth = 320;
constexpr LONG kBubbleMaxHeight = 200;
constexpr LONG kTrayMaxHeight = 240;

constexpr std::uint64_t kStampsPerDay = 24ull * 60 * 60 * 10000000;

bool Near(LONG a, LONG b, LONG slack) { return a - b <= slack && b - a <= slack; }

} // namespace

bool IsOrdinaryWindow(const WindowFacts& w) {
    if (w.owned || w.systemClass || (w.style & WS_CHILD) != 0) {
        return true;
    }
    if ((w.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) != 0) {
        return true;
    }
    if (Width(w.rect) < kMinWidth || Height(w.rect) < kMinHeight) {
        return true;
    }
    return Area(w.rect) * 2 > Area(w.workArea);
}

bool IsToolbarAd(const WindowFacts& w) {
    const LONG width = Width(w.rect);
    const LONG height = Height(w.rect);
    const bool docked = Near(w.rect.top, w.workArea.top, kEdgeSlack) || Near(w.rect.bottom, w.workArea.bottom, kEdgeSlack);
    return docked && height <= kToolbarMaxHeight && width >= 4 * height && width * 5 >= Width(w.workArea) * 2;
}

bool IsTrayAd(const WindowFacts& w) {
    const LONG middle = w.monitor.left + Width(w.monitor) / 2;
    return w.rect.bottom > w.workArea.bottom && w.rect.top < w.monitor.bottom && w.rect.left >= middle &&
           Height(w.rect) <= kTrayMaxHeight;
}

bool IsBottomRightToast(const WindowFacts& w) {
    const LONG right = w.workArea.right - w.rect.right;
    const bool lowerThird = (w.rect.bottom - w.workArea.top) * 3 >= Height(w.workArea) * 2;
    return right >= -kEdgeSlack && right <= kCornerGap && lowerThird && w.rect.bottom <= w.workArea.bottom + kEdgeSlack &&
           Width(w.rect) <= kToastMaxWidth && Height(w.rect) <= kToastMaxHeight;
}

bool IsBubble(const WindowFacts& w) {
    return Width(w.rect) <= kBubbleMaxWidth && Height(w.rect) <= kBubbleMaxHeight;
}

bool IsCentreWindow(const WindowFacts& w) {
    const LONG dx = (w.rect.left + w.rect.right) - (w.workArea.left + w.workArea.right);
    const LONG dy = (w.rect.top + w.rect.bottom) - (w.workArea.top + w.workArea.bottom);
    // Centres within a tenth of the work area's size (the sums are doubled centres).
    return Near(dx, 0, Width(w.workArea) / 5) && Near(dy, 0, Height(w.workArea) / 5);
}

int ClassifyPopup(const WindowFacts& w) {
    if (IsOrdinaryWindow(w)) {
        return kNotPopup;
    }
    if (IsToolbarAd(w)) {
        return kPopupToolbar;
    }
    if (IsTrayAd(w)) {
        return kPopupTray;
    }
    if (IsBottomRightToast(w)) {
        return kPopupBottomRight;
    }
    if (IsBubble(w)) {
        return kPopupBubble;
    }
    return IsCentreWindow(w) ? kPopupCentre : kPopupUnknown;
}

Action DecideAction(int trackerState, int handleType, int popupType) {
    if (handleType == 3 || (trackerState != 1 && trackerState != 2)) {
        return Action::None;
    }
    if (trackerState == 2 || handleType == 1) {
        return Action::Hide;
    }
    // Undecided: a pop-up of a known kind gets a hat, an unknown one is only reported.
    return popupType == kPopupUnknown ? Action::ReportSuspected : Action::OfferHat;
}

std::wstring PopupKey(const std::wstring& exePath, const std::wstring& className, const std::wstring& title) {
    std::wstring path = exePath;
    if (!path.empty()) {
        ::CharLowerBuffW(&path[0], static_cast<DWORD>(path.size()));
    }
    // FNV-1a over the code units: short, stable across runs and builds.
    std::uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const std::wstring& text) {
        for (wchar_t c : text) {
            hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
        }
        hash = (hash ^ 0x1Fu) * 1099511628211ull; // field separator
    };
    mix(path);
    mix(className);
    mix(title);
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring key = L"pop-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        key += digits[(hash >> shift) & 0xF];
    }
    return key;
}

LocalStamp StampFromSystemTime(const SYSTEMTIME& time) {
    FILETIME file{};
    if (!::SystemTimeToFileTime(&time, &file)) {
        return 0;
    }
    return (static_cast<LocalStamp>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME SystemTimeFromStamp(LocalStamp stamp) {
    SYSTEMTIME time{};
    if (stamp != 0) {
        FILETIME file{static_cast<DWORD>(stamp & 0xFFFFFFFFu), static_cast<DWORD>(stamp >> 32)};
        if (!::FileTimeToSystemTime(&file, &time)) {
            time = SYSTEMTIME{};
        }
    }
    return time;
}

bool IsForgotten(LocalStamp lastSeen, LocalStamp now, unsigned periodDays) {
    if (periodDays == 0 || lastSeen > now) {
        return false;
    }
    return now - lastSeen > static_cast<std::uint64_t>(periodDays) * kStampsPerDay;
}

// ---- The items file ----

namespace {

constexpr wchar_t kFileHeader[] = L"AdPopBlocker64 items 1";
constexpr size_t kItemFields = 12; // "item" and eleven values

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        default: out += c;
        }
    }
    return out;
}

bool Unescape(const std::wstring& text, std::wstring& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case L'\\': out += L'\\'; break;
        case L't': out += L'\t'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        default: return false;
        }
    }
    return true;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::wstring::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool ParseNumber(const std::wstring& text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (max - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

bool ParseItem(const std::vector<std::wstring>& fields, ItemRecord& item) {
    if (fields.size() != kItemFields || fields[0] != L"item") {
        return false;
    }
    std::uint64_t handle = 0, type = 0, blocks = 0, hide = 0;
    const bool numbers = ParseNumber(fields[2], 3, handle) && ParseNumber(fields[3], 5, type) &&
                         ParseNumber(fields[4], std::numeric_limits<unsigned>::max(), blocks) &&
                         ParseNumber(fields[5], std::numeric_limits<std::uint64_t>::max(), item.lastBlock) &&
                         ParseNumber(fields[6], std::numeric_limits<std::uint64_t>::max(), item.lastSeen) &&
                         ParseNumber(fields[7], 1, hide);
    if (!numbers || handle == 0 || !Unescape(fields[1], item.key) || item.key.empty() ||
        !Unescape(fields[8], item.exePath) || !Unescape(fields[9], item.softwareName) ||
        !Unescape(fields[10], item.textA) || !Unescape(fields[11], item.textB)) {
        return false;
    }
    item.handleType = static_cast<int>(handle);
    item.popupType = static_cast<int>(type);
    item.blockCount = static_cast<unsigned>(blocks);
    item.hideFlag = static_cast<int>(hide);
    return true;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                              nullptr);
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    }
    return out;
}

} // namespace

std::string FormatStore(unsigned periodDays, const std::vector<ItemRecord>& items) {
    std::wstring text = std::wstring(kFileHeader) + L"\nperiod\t" + std::to_wstring(periodDays) + L"\n";
    for (const ItemRecord& item : items) {
        text += L"item\t" + Escape(item.key) + L"\t" + std::to_wstring(item.handleType) + L"\t" +
                std::to_wstring(item.popupType) + L"\t" + std::to_wstring(item.blockCount) + L"\t" +
                std::to_wstring(item.lastBlock) + L"\t" + std::to_wstring(item.lastSeen) + L"\t" +
                std::to_wstring(item.hideFlag) + L"\t" + Escape(item.exePath) + L"\t" + Escape(item.softwareName) +
                L"\t" + Escape(item.textA) + L"\t" + Escape(item.textB) + L"\n";
    }
    return ToUtf8(text);
}

bool ParseStore(const std::string& text, unsigned& periodDays, std::vector<ItemRecord>& items) {
    std::vector<std::wstring> lines = Split(FromUtf8(text), L'\n');
    if (lines.empty() || lines[0] != kFileHeader) {
        return false;
    }
    items.clear();
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::wstring> fields = Split(lines[i], L'\t');
        std::uint64_t period = 0;
        ItemRecord item;
        if (fields.size() == 2 && fields[0] == L"period" &&
            ParseNumber(fields[1], std::numeric_limits<unsigned>::max(), period)) {
            periodDays = static_cast<unsigned>(period);
        } else if (ParseItem(fields, item)) {
            items.push_back(std::move(item));
        }
    }
    return true;
}

} // namespace adpop
