#include <climits>

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

using PopupInfo = VendorTest;

TEST_F(PopupInfo, TypeNameAndSoftwareNameAsJson) {
    // nameIndex outside the table: type 0's name, with the type's own number
    struct Case { int type; std::wstring softwareName; std::string escapedName; int nameIndex; };
    std::vector<Case> cases = {{6, L"Vendor", "Vendor", 0}, {9, L"Vendor", "Vendor", 0}, {-1, L"Vendor", "Vendor", 0},
                               {INT_MIN, L"Vendor", "Vendor", 0}, {1, L"", "", 1},
                               {3, L"Say \"hi\" from C:\\Tools\\", R"(Say \"hi\" from C:\\Tools\\)", 3}};
    for (int type = 0; type <= 5; ++type) cases.push_back({type, L"Vendor", "Vendor", type});
    LoadEngine();
    for (size_t i = 0; i < cases.size(); ++i) {
        adpop::EngineItem item;
        item.key = L"popup-" + std::to_wstring(i);
        item.popupType = cases[i].type;
        item.softwareName = cases[i].softwareName;
        ASSERT_NE(engine.AddItem(item), kAdPopScriptNoIndex);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(GetPopupInfo((L"popup-" + std::to_wstring(i)).c_str()),
                  "{\"popupType\":\"" + std::to_string(c.type) + "\",\"softwareName\":\"" + c.escapedName +
                      "\",\"windowLocation\":\"" + kTypeNames[c.nameIndex] + "\"}");
    }
}

TEST_F(PopupInfo, UnknownKeyGivesNothingAndOnlyTheAdapterLogs) {
    LoadEngine();
    adwtest::LogCapture log;
    EXPECT_EQ(GetPopupInfo(L"unknown"), "");
    EXPECT_EQ(Lines(log),
              std::vector<Line>{AdapterLine(4, L"get adat pop up window fail. errCode = 0", "GetPopByKey")});
}

} // namespace
} // namespace vendortest
