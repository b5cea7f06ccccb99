#pragma once

// Short JSON texts that usage events carry to say what was acted on: an engine
// pop-up (GetPopupInfo) or the process behind a window
// (PopUpBlockingVendor::GetWindowInfo). The pairs are built by pure functions
// so that their order and contents can be checked without an engine or window.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace KelvaneCenter {

// Ordered (key, value) pairs of narrow strings, serialised in this order.
using DescriptionPairs = std::vector<std::pair<std::string, std::string>>;

// Pop-up type to its name as code page 936 (GBK) bytes, types 0 to 5; filled
// at load and never changed.
extern const std::map<int, std::string> g_popupTypeNames;

// The name of the type, or type 0's name for a type the table does not hold.
const std::string& PopupTypeName(int popupType);

// ("popupType", signed decimal), ("softwareName", ANSI), ("windowLocation", GBK name).
DescriptionPairs PopupInfoPairs(int popupType, const std::wstring& softwareName);

// ("processName", ANSI file name), ("processSign", ANSI signer or "").
DescriptionPairs WindowInfoPairs(const std::wstring& processName, const std::wstring& signer);

// The pairs as the file-utility library's JSON text.
std::string DescriptionJson(const DescriptionPairs& pairs);

// Description of the engine's pop-up with that key; "" when the engine has no
// such pop-up (or none is loaded).
std::string GetPopupInfo(const wchar_t* const& key);

} // namespace KelvaneCenter
