#include "vendor/PopupDescription.h"

#include "KrFileUtil/JsonSdk.h"
#include "common/LogLine.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {

// The names go into the JSON as these exact bytes, whatever the system's code page.
const std::map<int, std::string> g_popupTypeNames = {
    {0, "\xCE\xB4\xD6\xAA\xC0\xE0\xD0\xCD"},         // unclassified
    {1, "\xD3\xD2\xCF\xC2\xBD\xC7\xB5\xAF\xB4\xB0"}, // bottom-right corner
    {2, "\xD6\xD0\xBC\xE4\xB5\xAF\xB4\xB0"},         // middle of the screen
    {3, "\xC6\xF8\xC5\xDD\xB5\xAF\xB4\xB0"},         // bubble
    {4, "\xCD\xD0\xC5\xCC\xB9\xE3\xB8\xE6"},         // tray advertisement
    {5, "\xB9\xA4\xBE\xDF\xC0\xB8\xB9\xE3\xB8\xE6"}, // toolbar advertisement
};

const std::string& PopupTypeName(int popupType) {
    const auto found = g_popupTypeNames.find(popupType);
    if (found == g_popupTypeNames.end()) {
        adw::LogLine(adw::kLogInfo, "KelvaneCenter::PopupTypeName", "unknown pop-up type, described as unclassified: ",
                     popupType);
        return g_popupTypeNames.at(0);
    }
    return found->second;
}

DescriptionPairs PopupInfoPairs(int popupType, const std::wstring& softwareName) {
    return {
        {"popupType", std::to_string(popupType)},
        {"softwareName", WideToAnsi(softwareName)},
        {"windowLocation", PopupTypeName(popupType)},
    };
}

DescriptionPairs WindowInfoPairs(const std::wstring& processName, const std::wstring& signer) {
    return {
        {"processName", WideToAnsi(processName)},
        {"processSign", WideToAnsi(signer)},
    };
}

std::string DescriptionJson(const DescriptionPairs& pairs) {
    JsonSdk json;
    return json.VectorToJson(pairs);
}

std::string GetPopupInfo(const wchar_t* const& key) {
    // Engine notifications may carry no key; the engine is never asked about one.
    if (key == nullptr) {
        return std::string();
    }
    std::string json; // stays empty without an item: the adapter has logged why
    PopUpBlockingVendor::GetInstance().UsePopByKey(key, [&](PopWndItem& item) {
        const wchar_t* softwareName = item.GetSoftwareName();
        json = DescriptionJson(PopupInfoPairs(item.GetPopupType(), softwareName != nullptr ? softwareName : L""));
    });
    return json;
}

} // namespace KelvaneCenter
