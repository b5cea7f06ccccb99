#pragma once

#include <gtest/gtest.h>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "VendorTestSupport.h"

namespace vendortest {

// The adapter is a process-wide singleton: every test starts and ends with it
// unloaded and the engine stand-in back at its defaults.
class VendorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Ok()) << "no scriptable engine at " << testing::PrintToString(engine.EnginePath());
        vendor.UnInit();
        engine.Reset();
    }

    void TearDown() override {
        vendor.UnInit();
        engine.Reset();
    }

    void LoadEngine() {
        ASSERT_EQ(vendor.Init(), 0u);
        ASSERT_NE(g_pAdPopWndTracker, nullptr);
    }

    adpop::EngineScriptClient engine;
    KelvaneCenter::PopUpBlockingVendor& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
};

} // namespace vendortest
