// Runs in <case dir>\cwd, with an engine that imports AdPopEngineHelper.dll:
// the DLL lies beside the engine (ADW_HELPER_BESIDE_ENGINE) or only in the
// current directory, where the engine cannot load, as when its file is missing.

#include "VendorFixture.h"

namespace vendortest {
namespace {

#if ADW_HELPER_BESIDE_ENGINE
#define ADW_IMPORT_CASE ComeFromTheEnginesFolder
#else
#define ADW_IMPORT_CASE NeverComeFromTheCurrentDirectory
#endif

TEST(VendorEngineImports, ADW_IMPORT_CASE) {
    wchar_t cwd[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, cwd), 0u);
    const auto exists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
    ASSERT_EQ(exists(adwtest::ExeDir() + L"\\vendor\\360SafeOptSDK\\AdPopEngineHelper.dll"), ADW_HELPER_BESIDE_ENGINE == 1);
    ASSERT_EQ(exists(std::wstring(cwd) + L"\\AdPopEngineHelper.dll"), ADW_HELPER_BESIDE_ENGINE == 0);
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    adwtest::LogCapture log;
    // Nothing is held after a failed load, so each Init tries again; a loaded engine is not loaded twice.
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(vendor.Init(), ADW_HELPER_BESIDE_ENGINE ? 0u : 203u);
        EXPECT_EQ(g_pAdPopWndTracker != nullptr, ADW_HELPER_BESIDE_ENGINE == 1);
    }
    const Line failed = AdapterLine(4, L"popUpBlockingModule is null, err = 203", "Init");
    const std::vector<Line> expected = ADW_HELPER_BESIDE_ENGINE ? std::vector<Line>{AdapterLine(3, L"Init true.", "Init")}
                                                                : std::vector<Line>{failed, failed};
    EXPECT_EQ(Lines(log), expected);
    vendor.UnInit();
}

} // namespace
} // namespace vendortest
