#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "VendorFixture.h"
#include "vendor/PopupDescription.h"

using KelvaneCenter::DescriptionPairs;
using KelvaneCenter::GetPopupInfo;
using KelvaneCenter::PopupTypeName;

namespace {

// The six names as the table must hold them: GBK bytes, and the text they stand for.
struct TypeName {
    int type;
    std::string gbk;
    std::wstring text;
};

const std::vector<TypeName>& ExpectedNames() {
    static const std::vector<TypeName> names = {
        {0, "\xCE\xB4\xD6\xAA\xC0\xE0\xD0\xCD", L"\u672A\u77E5\u7C7B\u578B"},
        {1, "\xD3\xD2\xCF\xC2\xBD\xC7\xB5\xAF\xB4\xB0", L"\u53F3\u4E0B\u89D2\u5F39\u7A97"},
        {2, "\xD6\xD0\xBC\xE4\xB5\xAF\xB4\xB0", L"\u4E2D\u95F4\u5F39\u7A97"},
        {3, "\xC6\xF8\xC5\xDD\xB5\xAF\xB4\xB0", L"\u6C14\u6CE1\u5F39\u7A97"},
        {4, "\xCD\xD0\xC5\xCC\xB9\xE3\xB8\xE6", L"\u6258\u76D8\u5E7F\u544A"},
        {5, "\xB9\xA4\xBE\xDF\xC0\xB8\xB9\xE3\xB8\xE6", L"\u5DE5\u5177\u680F\u5E7F\u544A"},
    };
    return names;
}

const std::string kUnknownTypeName = "\xCE\xB4\xD6\xAA\xC0\xE0\xD0\xCD";

std::wstring FromGbk(const std::string& bytes) {
    const int length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (length > 0) {
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &text[0], length);
    }
    return text;
}

std::string PopupJson(const std::string& type, const std::string& softwareName, const std::string& location) {
    return "{\"popupType\":\"" + type + "\",\"softwareName\":\"" + softwareName + "\",\"windowLocation\":\"" +
           location + "\"}";
}

} // namespace

TEST(PopupTypeNames, HoldExactlyTheSixGbkNames) {
    ASSERT_EQ(KelvaneCenter::g_popupTypeNames.size(), ExpectedNames().size());
    for (const TypeName& expected : ExpectedNames()) {
        SCOPED_TRACE(expected.type);
        EXPECT_EQ(PopupTypeName(expected.type), expected.gbk);
        // Decoded as code page 936 the bytes read as the intended names.
        EXPECT_EQ(FromGbk(PopupTypeName(expected.type)), expected.text);
    }
}

TEST(PopupTypeNames, TypesOutsideTheTableTakeTheUnclassifiedName) {
    for (int type : {6, 9, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(PopupTypeName(type), kUnknownTypeName) << type;
    }
}

TEST(PopupInfoPairs, KeysInOrderWithSignedTypeAndAnsiName) {
    const DescriptionPairs expected = {
        {"popupType", "-2147483648"}, {"softwareName", "Ad Tool 7"}, {"windowLocation", kUnknownTypeName}};
    EXPECT_EQ(KelvaneCenter::PopupInfoPairs(INT_MIN, L"Ad Tool 7"), expected);
}

TEST(WindowInfoPairs, KeysInOrderAndAnEmptySignStaysEmpty) {
    const DescriptionPairs signedPairs = {{"processName", "app.exe"}, {"processSign", "Someone Ltd."}};
    EXPECT_EQ(KelvaneCenter::WindowInfoPairs(L"app.exe", L"Someone Ltd."), signedPairs);
    const DescriptionPairs unsignedPairs = {{"processName", "app.exe"}, {"processSign", ""}};
    EXPECT_EQ(KelvaneCenter::WindowInfoPairs(L"app.exe", L""), unsignedPairs);
}

namespace vendortest {
namespace {

class PopupInfo : public VendorTest {
protected:
    void AddItem(const wchar_t* key, int popupType, const std::wstring& softwareName) {
        adpop::EngineItem item;
        item.key = key;
        item.popupType = popupType;
        item.softwareName = softwareName;
        ASSERT_NE(engine.AddItem(item), kAdPopScriptNoIndex);
    }
};

TEST_F(PopupInfo, EachTypeIsNamedWithItsGbkBytes) {
    LoadEngine();
    for (const TypeName& expected : ExpectedNames()) {
        const std::wstring key = L"popup-" + std::to_wstring(expected.type);
        AddItem(key.c_str(), expected.type, L"Vendor");
    }
    for (const TypeName& expected : ExpectedNames()) {
        SCOPED_TRACE(expected.type);
        const std::wstring key = L"popup-" + std::to_wstring(expected.type);
        EXPECT_EQ(GetPopupInfo(key.c_str()), PopupJson(std::to_string(expected.type), "Vendor", expected.gbk));
    }
}

TEST_F(PopupInfo, TypesOutsideTheTableAreUnclassifiedAndKeepTheirSign) {
    LoadEngine();
    AddItem(L"nine", 9, L"Vendor");
    AddItem(L"minus-one", -1, L"Vendor");
    EXPECT_EQ(GetPopupInfo(L"nine"), PopupJson("9", "Vendor", kUnknownTypeName));
    EXPECT_EQ(GetPopupInfo(L"minus-one"), PopupJson("-1", "Vendor", kUnknownTypeName));
}

TEST_F(PopupInfo, SoftwareNameIsEscapedIntoValidJson) {
    LoadEngine();
    AddItem(L"quoted", 3, L"Say \"hi\" from C:\\Tools\\");
    AddItem(L"nameless", 1, L"");
    EXPECT_EQ(GetPopupInfo(L"quoted"),
              std::string(R"({"popupType":"3","softwareName":"Say \"hi\" from C:\\Tools\\","windowLocation":")") +
                  "\xC6\xF8\xC5\xDD\xB5\xAF\xB4\xB0\"}");
    EXPECT_EQ(GetPopupInfo(L"nameless"), PopupJson("1", "", "\xD3\xD2\xCF\xC2\xBD\xC7\xB5\xAF\xB4\xB0"));
}

TEST_F(PopupInfo, UnknownKeyGivesNothingAndOnlyTheAdapterLogs) {
    LoadEngine();
    AddItem(L"known", 2, L"Vendor");
    adwtest::LogCapture log;
    EXPECT_EQ(GetPopupInfo(L"unknown"), "");
    EXPECT_EQ(Lines(log),
              std::vector<Line>{AdapterLine(4, L"get adat pop up window fail. errCode = 0", "GetPopByKey")});
}

TEST_F(PopupInfo, NoEngineGivesNothing) {
    AddItem(L"known", 2, L"Vendor"); // known to the engine, which the adapter has not loaded
    ASSERT_EQ(g_pAdPopWndTracker, nullptr);
    adwtest::LogCapture log;
    EXPECT_EQ(GetPopupInfo(L"known"), "");
    EXPECT_EQ(Lines(log), std::vector<Line>{AdapterLine(4, L"vendor instance is nullptr", "GetPopByKey")});
}

} // namespace
} // namespace vendortest
