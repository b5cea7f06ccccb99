#pragma once

#include "DuiLib/DuiLibApi.h"

namespace DuiLib {

// The library's wide string. Its storage is allocated and freed inside the library.
class DUILIB_API CDuiString {
public:
    CDuiString();
    CDuiString(const wchar_t* text); // NOLINT: converts like the library's own string
    CDuiString(const CDuiString& other);
    CDuiString& operator=(const CDuiString& other);
    CDuiString& operator=(const wchar_t* text);
    ~CDuiString();

    const wchar_t* GetData() const { return data_; }
    operator const wchar_t*() const { return data_; } // NOLINT
    int GetLength() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }
    void Empty();
    CDuiString& operator+=(const wchar_t* text);
    bool operator==(const wchar_t* text) const;
    bool operator!=(const wchar_t* text) const { return !(*this == text); }

private:
    void Assign(const wchar_t* text, int length);

    wchar_t* data_;
    int length_;
};

} // namespace DuiLib
