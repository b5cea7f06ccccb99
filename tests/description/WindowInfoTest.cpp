#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "HelperProcess.h"
#include "TestSupport.h"
#include "vendor/PopUpBlockingVendor.h"

namespace descriptiontest {
namespace {

std::string WindowInfo(HWND window) {
    return KelvaneCenter::PopUpBlockingVendor::GetInstance().GetWindowInfo(window);
}

std::string WindowJson(const std::string& processName, const std::string& processSign) {
    return "{\"processName\":\"" + processName + "\",\"processSign\":\"" + processSign + "\"}";
}

TEST(WindowInfo, UnsignedProcessIsNamedWithAnEmptySign) {
    HelperProcess helper(HelperDir() + L"\\description_window_helper.exe");
    ASSERT_TRUE(helper.Started());
    const HWND window = helper.WaitForWindow();
    ASSERT_NE(window, nullptr);

    adwtest::LogCapture log;
    EXPECT_EQ(WindowInfo(window), WindowJson("description_window_helper.exe", ""));
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST(WindowInfo, SignedProcessIsNamedWithItsSigner) {
    HelperProcess helper(HelperDir() + L"\\description_window_helper_signed.exe");
    ASSERT_TRUE(helper.Started());
    const HWND window = helper.WaitForWindow();
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(WindowInfo(window), WindowJson("description_window_helper_signed.exe", "Norvane Technologies Co., Ltd."));
}

TEST(WindowInfo, NoWindowGivesNothingAndNoLogLine) {
    // A window that existed and is gone, and handles that never were windows.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));

    adwtest::LogCapture log;
    EXPECT_EQ(WindowInfo(gone), "");
    EXPECT_EQ(WindowInfo(nullptr), "");
    EXPECT_EQ(WindowInfo(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFFFFF0))), "");
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST(WindowInfo, ProcessThatRefusesToBeOpenedGivesNothing) {
    // An empty access list lets nobody open the process for querying.
    SECURITY_DESCRIPTOR descriptor = {};
    alignas(DWORD) unsigned char aclBuffer[sizeof(ACL)] = {};
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};

    HelperProcess helper(HelperDir() + L"\\description_window_helper.exe", &attributes);
    ASSERT_TRUE(helper.Started());
    const HWND window = helper.WaitForWindow();
    ASSERT_NE(window, nullptr);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    adw::UniqueHandle probe(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    ASSERT_FALSE(probe) << "the process can be opened after all";

    adwtest::LogCapture log;
    EXPECT_EQ(WindowInfo(window), "");
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

} // namespace
} // namespace descriptiontest
