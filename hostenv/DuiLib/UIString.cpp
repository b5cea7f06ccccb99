#include "DuiLib/UIString.h"

#include <cwchar>
#include <new>

namespace DuiLib {

namespace {
wchar_t kEmpty[1] = {L'\0'};
}

CDuiString::CDuiString() : data_(kEmpty), length_(0) {}

CDuiString::CDuiString(const wchar_t* text) : data_(kEmpty), length_(0) {
    Assign(text, text != nullptr ? static_cast<int>(std::wcslen(text)) : 0);
}

CDuiString::CDuiString(const CDuiString& other) : data_(kEmpty), length_(0) {
    Assign(other.data_, other.length_);
}

CDuiString& CDuiString::operator=(const CDuiString& other) {
    if (this != &other) {
        Assign(other.data_, other.length_);
    }
    return *this;
}

CDuiString& CDuiString::operator=(const wchar_t* text) {
    CDuiString copy(text); // `text` may point into this string
    return *this = copy;
}

CDuiString::~CDuiString() {
    Empty();
}

void CDuiString::Empty() {
    if (data_ != kEmpty) {
        delete[] data_;
    }
    data_ = kEmpty;
    length_ = 0;
}

void CDuiString::Assign(const wchar_t* text, int length) {
    wchar_t* copy = kEmpty;
    if (length > 0) {
        copy = new wchar_t[static_cast<size_t>(length) + 1];
        std::wmemcpy(copy, text, static_cast<size_t>(length));
        copy[length] = L'\0';
    }
    Empty();
    data_ = copy;
    length_ = length;
}

CDuiString& CDuiString::operator+=(const wchar_t* text) {
    const int extra = text != nullptr ? static_cast<int>(std::wcslen(text)) : 0;
    if (extra == 0) {
        return *this;
    }
    wchar_t* joined = new wchar_t[static_cast<size_t>(length_ + extra) + 1];
    std::wmemcpy(joined, data_, static_cast<size_t>(length_));
    std::wmemcpy(joined + length_, text, static_cast<size_t>(extra));
    joined[length_ + extra] = L'\0';
    const int length = length_ + extra;
    Empty();
    data_ = joined;
    length_ = length;
    return *this;
}

bool CDuiString::operator==(const wchar_t* text) const {
    return std::wcscmp(data_, text != nullptr ? text : L"") == 0;
}

} // namespace DuiLib
