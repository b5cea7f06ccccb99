#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "VendorFixture.h"
#include "vendor/PopupDescription.h"

using KelvaneCenter::GetPopupInfo;

namespace vendortest {
namespace {

// The names of types 0 to 5, as GBK bytes.
const std::string kTypeNames[] = {
    "\xCE\xB4\xD6\xAA\xC0\xE0\xD0\xCD",         // unknown type
    "\xD3\xD2\xCF\xC2\xBD\xC7\xB5\xAF\xB4\xB0", // lower-right pop-up
    "\xD6\xD0\xBC\xE4\xB5\xAF\xB4\xB0",         // centre pop-up
    "\xC6\xF8\xC5\xDD\xB5\xAF\xB4\xB0",         // bubble pop-up
    "\xCD\xD0\xC5\xCC\xB9\xE3\xB8\xE6",         // tray ad
    "\xB9\xA4\xBE\xDF\xC0\xB8\xB9\xE3\xB8\xE6", // toolbar ad
};

std::string PopupJson(const std::string& type, const std::string& softwareName, const std::string& location) {
    return "{\"popupType\":\"" + type + "\",\"softwareName\":\"" + softwareName + "\",\"windowLocation\":\"" +
           location + "\"}";
}

class PopupInfo : public VendorTest {
protected:
    void AddItem(const std::wstring& key, int popupType, const std::wstring& softwareName) {
        adpop::EngineItem item;
        item.key = key;
        item.popupType = popupType;
        item.softwareName = softwareName;
        ASSERT_NE(engine.AddItem(item), kAdPopScriptNoIndex);
    }
};

TEST_F(PopupInfo, TypeNameAndSoftwareNameAsJson) {
    struct Case {
        int type;
        std::wstring softwareName;
        std::string json;
    };
    std::vector<Case> cases;
    for (int type = 0; type <= 5; ++type) {
        cases.push_back({type, L"Vendor", PopupJson(std::to_string(type), "Vendor", kTypeNames[type])});
    }
    // Outside the table: type 0's name, the type's own number with its sign.
    for (int type : {6, 9, -1, INT_MIN}) {
        cases.push_back({type, L"Vendor", PopupJson(std::to_string(type), "Vendor", kTypeNames[0])});
    }
    cases.push_back({3, L"Say \"hi\" from C:\\Tools\\",
                     R"({"popupType":"3","softwareName":"Say \"hi\" from C:\\Tools\\","windowLocation":")" +
                         kTypeNames[3] + "\"}"});
    cases.push_back({1, L"", PopupJson("1", "", kTypeNames[1])});
    LoadEngine();
    for (size_t i = 0; i < cases.size(); ++i) {
        AddItem(L"popup-" + std::to_wstring(i), cases[i].type, cases[i].softwareName);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(GetPopupInfo((L"popup-" + std::to_wstring(i)).c_str()), cases[i].json);
    }
}

TEST_F(PopupInfo, NoEngineOrUnknownKeyGivesNothingAndOnlyTheAdapterLogs) {
    AddItem(L"known", 2, L"Vendor"); // known to the engine, which the adapter has not loaded
    {
        adwtest::LogCapture log;
        EXPECT_EQ(GetPopupInfo(L"known"), "");
        EXPECT_EQ(Lines(log), std::vector<Line>{AdapterLine(4, L"vendor instance is nullptr", "GetPopByKey")});
    }
    LoadEngine();
    adwtest::LogCapture log;
    EXPECT_EQ(GetPopupInfo(L"unknown"), "");
    EXPECT_EQ(Lines(log),
              std::vector<Line>{AdapterLine(4, L"get adat pop up window fail. errCode = 0", "GetPopByKey")});
}

} // namespace
} // namespace vendortest
