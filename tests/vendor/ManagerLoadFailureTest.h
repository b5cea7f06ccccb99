#pragma once

// The manager's side of a broken engine installation: the code is returned,
// logged and reported to the host, and nothing else is started.

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "manager/AdWarden.h"

namespace vendortest {

class ErrorRecorder : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<KelvaneMsgCenter::BlockingRecordModel>&) override { ++others; }
    void OnBlockingRecord(const KelvaneMsgCenter::BlockingRecordModel&) override { ++others; }
    void OnBlockedTimes(int) override { ++others; }
    void OnError(int code) override { errors.push_back(code); }
    void OnStateChanged(int) override { ++others; }

    std::vector<int> errors;
    int others = 0;
};

// Init fails with `code`, writes the manager's line and tells the host once.
inline void ExpectManagerInitFails(int code) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    ErrorRecorder host;
    manager.RegisterCallback(&host);
    adwtest::LogCapture log;
    EXPECT_EQ(manager.Init(), code);
    EXPECT_EQ(log.Count(L"failed, err =  " + std::to_wstring(code) + L"(KelvaneCenter::AdWarden::Init)", 4), 1)
        << log.Dump();
    EXPECT_EQ(host.errors, std::vector<int>{code});
    EXPECT_EQ(host.others, 0);
    EXPECT_EQ(manager.Queue(), nullptr);
    manager.UnRegisterCallback();
}

} // namespace vendortest
