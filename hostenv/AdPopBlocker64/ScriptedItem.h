#pragma once

#include <atomic>
#include <string>

#include "AdPopBlocker64/EngineScript.h"
#include "vendor/AdPopWndTracker.h"

namespace adpop {

// One pop-up of the stand-in's table. Its texts never change after creation,
// so the pointers it hands out stay valid as long as the item lives.
class ScriptedItem final : public PopWndItem {
public:
    // `defaultHandleTypeResult` answers SetHandleType while the item has no answer of its own.
    ScriptedItem(const AdPopScriptItem& script, const std::atomic<int>& defaultHandleTypeResult);

    const wchar_t* ADPOP_CALL GetKey() override { return Text(key_); }
    int ADPOP_CALL GetHideFlag() override { return hideFlag_; }
    const wchar_t* ADPOP_CALL GetExePath() override { return Text(exePath_); }
    const wchar_t* ADPOP_CALL GetTextA() override { return Text(textA_); }
    void ADPOP_CALL Reserved04() override {}
    int ADPOP_CALL GetPopupType() override { return popupType_; }
    const wchar_t* ADPOP_CALL GetTextB() override { return Text(textB_); }
    void ADPOP_CALL Reserved07() override {}
    void ADPOP_CALL Reserved08() override {}
    const wchar_t* ADPOP_CALL GetSoftwareName() override { return Text(softwareName_); }
    void ADPOP_CALL Reserved10() override {}
    void ADPOP_CALL Reserved11() override {}
    void ADPOP_CALL Reserved12() override {}
    unsigned ADPOP_CALL GetBlockCount() override { return blockCount_; }
    SYSTEMTIME ADPOP_CALL GetLastBlockTime() override { return lastBlockTime_; }
    int ADPOP_CALL SetHandleType(int handleType) override;
    int ADPOP_CALL GetHandleType() override { return handleType_.load(); }

    const std::wstring& Key() const { return key_; }
    // Every item's text accessors answer null while set.
    static void SetNullTexts(bool nullTexts) { nullTexts_ = nullTexts; }
    void SetHandleTypeResult(int result) { ownHandleTypeResult_ = result; hasOwnResult_ = true; }

private:
    static const wchar_t* Text(const std::wstring& text) { return nullTexts_ ? nullptr : text.c_str(); }

    static std::atomic<bool> nullTexts_;
    const std::wstring key_;
    const std::wstring textA_;
    const std::wstring textB_;
    const std::wstring exePath_;
    const std::wstring softwareName_;
    const int popupType_;
    const unsigned blockCount_;
    const SYSTEMTIME lastBlockTime_;
    const int hideFlag_;
    std::atomic<int> handleType_;
    const std::atomic<int>& defaultHandleTypeResult_;
    std::atomic<int> ownHandleTypeResult_{1};
    std::atomic<bool> hasOwnResult_{false};
};

} // namespace adpop
