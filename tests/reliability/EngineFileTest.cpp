// The engine file removed or replaced between two periods. Runs in a folder of
// its own (the engine's path is fixed beside the executable) and holds the
// engine only while a period runs, so that each UnInit really unloads it.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "HostRecorder.h"
#include "manager/AdWarden.h"

namespace {

namespace fs = std::filesystem;
using adwtest::HostEvent;

TEST(EngineFile, RemovedOrReplacedBetweenPeriods) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    adwtest::HostRecorder host;
    manager.RegisterCallback(&host);
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Norvane\\Hubrix\\Kelvane"));
    const fs::path engineFile = adpop::EngineScriptClient::EnginePath();
    const fs::path kept = engineFile.string() + ".kept";
    // The stand-in built without its GetInterface export, in its own case folder.
    const fs::path noExport =
        fs::path(adwtest::ExeDir()) / L".." / L"no_export" / L"vendor" / L"360SafeOptSDK" / L"AdPopBlocker64.dll";
    ASSERT_TRUE(fs::exists(noExport));

    // A period with the real engine: Init, a block counted and sent, UnInit unloads it.
    const auto periodWorks = [&] {
        host.Clear();
        ASSERT_EQ(manager.Init(), 0);
        {
            adpop::EngineScriptClient engine;
            ASSERT_TRUE(engine.Ok());
            adpop::EngineItem item;
            item.key = L"engine-file-ad";
            item.handleType = kAdPopHandleBlocked;
            engine.AddItem(item);
            ASSERT_EQ(engine.FireAdBlock(L"engine-file-ad"), 1);
            EXPECT_TRUE(adwtest::WaitUntil([&] { return host.CountOf(HostEvent::Record) >= 2; }));
        }
        manager.UnInit();
        EXPECT_EQ(GetModuleHandleW(engineFile.c_str()), nullptr) << "the engine stayed loaded after UnInit";
    };
    // (Each failure's line: the no-engine and missing-export tests.)
    struct Row { const char* name; std::function<void()> cause; int result; } rows[] = {
        {"engine file removed", [&] { fs::rename(engineFile, kept); }, 203},
        {"engine file replaced by one without GetInterface",
         [&] { fs::rename(engineFile, kept); fs::copy_file(noExport, engineFile); }, 202},
    };
    periodWorks();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.cause();
        EXPECT_EQ(manager.Init(), row.result);
        EXPECT_EQ(host.Values(HostEvent::Error).back(), row.result);
        manager.UnInit();
        std::error_code ignored;
        fs::remove(engineFile, ignored);
        fs::rename(kept, engineFile);
        periodWorks();
    }
    manager.UnRegisterCallback();
}

} // namespace
