// Faults of the engine, the registry, the pipe, the host's installation and
// the layout files, one table per group: each row's result code and log line,
// then a normal period (or window) that still works once the fault is gone.

#include <aclapi.h>

#include <filesystem>
#include <fstream>

#include "AssistantProcess.h"
#include "DuiLib/UICulture.h"
#include "ReliabilityFixture.h"
#include "qeevent/QeEventCapture.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;
using Matrix = ReliabilityTest;

// (The engine's file removed or replaced: the engine-file test.) Listing, hat,
// other-ad and block notifications all meet the null texts.
TEST_F(Matrix, Engine) {
    SetSwitch(L"FocusModeStatus", 0);
    const auto init = [this] { return client->Init(); };
    const auto notifyAll = [&] {
        engine.FireAdHat(kKey, AdWindow()), engine.FireOtherAd(kKey, AdWindow()), engine.FireAdBlock(kKey);
        const int listed = static_cast<int>(client->GetBlockingRecords());
        host.WaitFor(HostEvent::Records, 1);
        return listed;
    };
    RunRows({
        {"GetInterface returns null", [&] { engine.SetGetInterfaceReturnsNull(true); }, init, 202, L"is null, err = 202", kError,
         [&] { engine.SetGetInterfaceReturnsNull(false); }, nullptr},
        {"tracker Init refused", [&] { engine.SetInitResult(0); }, init, 204, L"failed, err =  204", kError, [&] { engine.SetInitResult(1); }, nullptr},
        {"every text accessor returns null", [&] { engine.SetNullTexts(true), InitAndSettle(); }, notifyAll, 0, L"exePath is nullptr", kInfo,
         [&] { engine.SetNullTexts(false); }, nullptr},
    });
}

// Denies setting values on the key to everyone (an ACL as an administrator or
// a security product may leave it); the repair puts the inherited ACL back.
bool DenySetValue(bool deny) {
    adw::UniqueRegKey key;
    EXPLICIT_ACCESSW access = {};
    BuildExplicitAccessWithNameW(&access, const_cast<wchar_t*>(L"EVERYONE"), KEY_SET_VALUE, DENY_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, hosttest::kConfigKey, 0, READ_CONTROL | WRITE_DAC, key.put()) != ERROR_SUCCESS ||
        (deny && SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS))
        return false;
    const DWORD protection = deny ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
    const DWORD set =
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | protection, nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    return set == ERROR_SUCCESS;
}

TEST_F(Matrix, Registry) {
    const auto init = [this] {
        const int result = client->Init();
        host.WaitFor(HostEvent::BlockedTimes, 1);
        return result;
    };
    const auto recreate = [this] {
        adwtest::DeleteHkcuTree(hosttest::kConfigKey);
        adwtest::CreateKey(HKEY_CURRENT_USER, hosttest::kConfigKey);
        SetSwitch(L"PopUpBlockingStatus", 1);
    };
    const auto setString = [](HKEY root, const wchar_t* name, const wchar_t* value) {
        return [=] { adwtest::SetString(root, hosttest::kConfigKey, name, value); };
    };
    // The focus lists are the machine's: the fixture removes its key at the end.
    const auto machineList = setString(HKEY_LOCAL_MACHINE, L"FocusSceneProcesses", L"game.exe");
    const auto initAndBlock = [&] { const int result = init(); engine.FireAdBlock(kKey); return result; };
    // A protected access list holding only the deny entry grants nothing
    // else either, so the key reads as absent: the switches take their defaults.
    RunRows({
        {"BlockedTimes is a string", setString(HKEY_CURRENT_USER, L"BlockedTimes", L"12"), init, 0,
         L"Get BlockTimes registry value failed.", kInfo, recreate, nullptr},
        {"writes refused by the key's ACL", [] { ASSERT_TRUE(DenySetValue(true)); }, initAndBlock, 101, L"register key not exist", kInfo,
         [&] { DenySetValue(false), recreate(); }, nullptr},
        {"focus list as REG_SZ", [&] { SetGate(L"FocusModeSupported", 0), machineList(); },
         init, 0, L"not a REG_MULTI_SZ value, read as empty: FocusSceneProcesses", kError,
         [] { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, hosttest::kConfigKey, L"FocusSceneProcesses"); }, nullptr},
    });
}

// Opens the overlay; whether it is up once the UI thread has run the opening.
bool OverlayOpens(KelvaneMsgCenter::IPopUpBlockingClient* client, adwtest::UiThread& ui) {
    if (client->ScreenshotBlocking() != 0) return false;
    // The opening waits for the assistant at most its 1 s time-out on the UI thread.
    const auto opened = adwtest::RunDetached([&ui] { ui.Run([] {}); });
    return adwtest::WaitUntil([&] { return opened->load(); }, std::chrono::seconds(3)) &&
           VisibleWindowOfClass(L"CaptureWindowDialog") != nullptr;
}

TEST_F(Matrix, Pipe) {
    std::unique_ptr<adwtest::AssistantProcess> assistant;
    const auto serve = [&](const wchar_t* options) {
        return [&assistant, options] {
            assistant = std::make_unique<adwtest::AssistantProcess>(options);
            ASSERT_TRUE(assistant->WaitListening());
        };
    };
    const auto open = [this] { return OverlayOpens(client, ui) ? 1 : 0; };
    const auto stop = [&] { assistant.reset(); };
    const auto opensWithAnAnswer = [&] {
        ExpectPeriodWorks();
        serve(L"")();
        adwtest::LogCapture log;
        EXPECT_TRUE(OverlayOpens(client, ui));
        EXPECT_FALSE(HasLine(log, L"SendIPCMessage returns", kError)) << log.Dump();
        assistant.reset();
    };
    const wchar_t* unanswered = L"SendIPCMessage returns 0";
    RunRows({{"assistant absent", [] {}, open, 1, unanswered, kError, [] {}, opensWithAnAnswer},
             {"assistant answers after 2 s", serve(L"--answer-after 2000"), open, 1, unanswered, kError, stop, opensWithAnAnswer},
             {"assistant hangs up mid-message", serve(L"--hang-up"), open, 1, unanswered, kError, stop, opensWithAnAnswer}},
            true);
}

// Without the host program's file the events still go, with an empty version
// (not logged: a host without a version resource is a supported installation).
TEST_F(Matrix, HostProgramAbsent) {
    std::error_code ignored;
    fs::remove(L"C:\\Program Files\\Norvane\\Hubrix\\components\\Kelvane\\KelvaneCenter.exe", ignored);
    QeEventCapture::Begin();
    ExpectPeriodWorks();
    std::vector<std::string> versions;
    EXPECT_TRUE(adwtest::WaitUntil([&] {
        versions.clear();
        for (const auto& event : QeEventCapture::Events())
            for (const auto& pair : event.pairs)
                if (pair.key == "version") versions.push_back(pair.value);
        return !versions.empty();
    }));
    EXPECT_EQ(versions, std::vector<std::string>(versions.size(), ""));
    QeEventCapture::End();
}

// Moves a layout file away, or puts a malformed one in its place, until repaired.
struct LayoutFault {
    fs::path file;
    fs::path kept = file.string() + ".kept";
    void Remove() const { fs::rename(file, kept); }
    void Break() const {
        fs::copy_file(file, kept, fs::copy_options::overwrite_existing);
        std::ofstream(file, std::ios::trunc) << "<Window size=\"300,56\"><HorizontalLayout <<>";
    }
    void Repair() const { fs::rename(kept, file); }
};

TEST_F(Matrix, LayoutAndTexts) {
    const fs::path layouts = adwtest::ExeDir() + L"\\layout\\PopUpBlocking";
    const LayoutFault hat{layouts / L"BlockingPopup.xml"};
    const LayoutFault overlay{layouts / L"CaptureWindowDialog.xml"};
    const HWND ad = AdWindow();
    const auto hatOpens = [&] {
        ExpectPeriodWorks();
        NotifyHat(ad);
        EXPECT_NE(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
    };
    const auto overlayOpens = [&] {
        ExpectPeriodWorks();
        EXPECT_TRUE(OverlayOpens(client, ui));
    };
    const auto noHat = [&] {
        const int fired = NotifyHat(ad);
        return VisibleWindowOfClass(L"BlockingPopup") == nullptr ? fired : -1;
    };
    const auto noOverlay = [&] {
        const int result = static_cast<int>(client->ScreenshotBlocking());
        ui.Run([] {});
        return VisibleWindowOfClass(L"CaptureWindowDialog") == nullptr ? result : -1;
    };
    DuiLib::UICulture* culture = DuiLib::UICulture::GetInstance();
    const std::wstring tip = culture->GetString(L"IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW").GetData();
    const wchar_t* noHatLine = L"hat window not created, layout missing or malformed";
    const wchar_t* noOverlayLine = L"capture window not created, layout missing or malformed";
    const auto setTip = [&](const std::wstring& text) {
        return [&, text] { culture->SetString(L"IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW", text.c_str()); };
    };
    RunRows({{"hat layout missing", [&] { hat.Remove(); }, noHat, 1, noHatLine, kError, [&] { hat.Repair(); }, hatOpens},
             {"hat layout malformed", [&] { hat.Break(); }, noHat, 1, noHatLine, kError, [&] { hat.Repair(); }, hatOpens},
             {"overlay layout missing", [&] { overlay.Remove(); }, noOverlay, 0, noOverlayLine, kError, [&] { overlay.Repair(); }, overlayOpens},
             {"overlay layout malformed", [&] { overlay.Break(); }, noOverlay, 0, noOverlayLine, kError, [&] { overlay.Repair(); }, overlayOpens},
             {"UICulture text missing", setTip(L""), noOverlay, 0,
              L"text missing, capture window not opened: IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW", kError, setTip(tip), overlayOpens}},
            true);
}

} // namespace
} // namespace reliability
