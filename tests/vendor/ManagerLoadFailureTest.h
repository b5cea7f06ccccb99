#pragma once

// The manager's side of a broken engine installation: the code is returned,
// logged and reported to the host, and nothing else is started.

#include <gtest/gtest.h>

#include <vector>

#include "HostRecorder.h"
#include "TestSupport.h"
#include "manager/AdWarden.h"

namespace vendortest {

// Init fails with `code`, writes the manager's line and tells the host once.
inline void ExpectManagerInitFails(int code) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    adwtest::HostRecorder host;
    manager.RegisterCallback(&host);
    adwtest::LogCapture log;
    EXPECT_EQ(manager.Init(), code);
    EXPECT_EQ(log.Count(L"failed, err =  " + std::to_wstring(code) + L"(KelvaneCenter::AdWarden::Init)", 4), 1)
        << log.Dump();
    EXPECT_EQ(host.Values(adwtest::HostEvent::Error), std::vector<int>{code});
    EXPECT_EQ(host.Events().size(), 1u);
    EXPECT_EQ(manager.Queue(), nullptr);
    manager.UnRegisterCallback();
}

} // namespace vendortest
