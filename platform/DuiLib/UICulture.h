#pragma once

#include <map>
#include <mutex>
#include <string>

#include "DuiLib/UIString.h"

namespace DuiLib {

// The host's localised texts by id; it starts with the product's default table.
class DUILIB_API UICulture {
public:
    static UICulture* GetInstance();
    // The text of `id`, or an empty string when the table has none.
    CDuiString GetString(const wchar_t* id) const;
    void SetString(const wchar_t* id, const wchar_t* text);

private:
    UICulture();
    mutable std::mutex lock_;
    std::map<std::wstring, std::wstring> texts_;
};

} // namespace DuiLib
