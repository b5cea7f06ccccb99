#include "DuiLib/UIControl.h"

#include <cwchar>

#include "DuiLib/UIManager.h"
#include "DuiLib/Attributes.h"

namespace DuiLib {

CControlUI::CControlUI() = default;
CControlUI::~CControlUI() = default;

void CControlUI::SetText(const wchar_t* text) {
    text_ = text;
    Invalidate();
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ != visible) {
        visible_ = visible;
        NeedParentUpdate();
    }
}

void CControlUI::SetPos(RECT pos) {
    pos_ = pos;
    Invalidate();
}

void CControlUI::SetState(unsigned state) {
    if (state_ != state) {
        state_ = state;
        Invalidate();
    }
}

void CControlUI::Invalidate() {
    if (manager_ != nullptr) {
        manager_->Invalidate(pos_);
    }
}

void CControlUI::NeedParentUpdate() {
    if (manager_ != nullptr) {
        manager_->NeedUpdate();
        manager_->Invalidate(pos_);
        if (parent_ != nullptr) {
            manager_->Invalidate(parent_->GetPos());
        }
    }
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    int v[4] = {};
    if (std::wcscmp(name, L"name") == 0) {
        SetName(value);
    } else if (std::wcscmp(name, L"text") == 0) {
        SetText(value);
    } else if (std::wcscmp(name, L"width") == 0) {
        fixedWidth_ = static_cast<int>(std::wcstol(value, nullptr, 10));
        NeedParentUpdate();
    } else if (std::wcscmp(name, L"height") == 0) {
        fixedHeight_ = static_cast<int>(std::wcstol(value, nullptr, 10));
        NeedParentUpdate();
    } else if (std::wcscmp(name, L"visible") == 0) {
        SetVisible(ParseBool(value));
    } else if (std::wcscmp(name, L"float") == 0) {
        float_ = ParseBool(value);
        NeedParentUpdate();
    } else if (std::wcscmp(name, L"pos") == 0) {
        ParseInts(value, v, 4);
        floatPos_ = {v[0], v[1], v[2], v[3]};
        fixedWidth_ = v[2] - v[0];
        fixedHeight_ = v[3] - v[1];
        NeedParentUpdate();
    } else if (std::wcscmp(name, L"bkcolor") == 0) {
        bkColor_ = ParseColor(value);
    } else if (std::wcscmp(name, L"textcolor") == 0) {
        textColor_ = ParseColor(value);
    } else if (std::wcscmp(name, L"bordercolor") == 0) {
        borderColor_ = ParseColor(value);
    } else if (std::wcscmp(name, L"bordersize") == 0) {
        borderSize_ = static_cast<int>(std::wcstol(value, nullptr, 10));
    } else if (std::wcscmp(name, L"font") == 0) {
        fontSize_ = static_cast<int>(std::wcstol(value, nullptr, 10));
    } else if (std::wcscmp(name, L"bold") == 0) {
        bold_ = ParseBool(value);
    } else if (std::wcscmp(name, L"align") == 0) {
        textAlign_ = std::wcscmp(value, L"center") == 0 ? DT_CENTER : std::wcscmp(value, L"right") == 0 ? DT_RIGHT
                                                                                                          : DT_LEFT;
    }
    Invalidate();
}

COLORREF CControlUI::ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

void CControlUI::PaintText(HDC dc, COLORREF color) {
    if (text_.IsEmpty() || manager_ == nullptr) {
        return;
    }
    const HGDIOBJ oldFont = SelectObject(dc, manager_->GetFont(fontSize_, bold_));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    RECT area = pos_;
    const int inset = manager_->Scale(4);
    area.left += inset;
    area.right -= inset;
    DrawTextW(dc, text_.GetData(), text_.GetLength(), &area,
              textAlign_ | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void CControlUI::DoPaint(HDC dc, const RECT&) {
    if ((bkColor_ >> 24) != 0) {
        HBRUSH brush = CreateSolidBrush(ToColorRef(bkColor_));
        FillRect(dc, &pos_, brush);
        DeleteObject(brush);
    }
    if (borderSize_ > 0 && (borderColor_ >> 24) != 0 && manager_ != nullptr) {
        HBRUSH brush = CreateSolidBrush(ToColorRef(borderColor_));
        const int width = manager_->Scale(borderSize_);
        for (int i = 0; i < width; ++i) {
            RECT ring = {pos_.left + i, pos_.top + i, pos_.right - i, pos_.bottom - i};
            FrameRect(dc, &ring, brush);
        }
        DeleteObject(brush);
    }
    PaintText(dc, ToColorRef(textColor_));
}

CControlUI* CControlUI::FindControlAt(POINT point) {
    return visible_ && PtInRect(&pos_, point) ? this : nullptr;
}

CControlUI* CControlUI::FindControlByName(const wchar_t* name) {
    return name_ == name ? this : nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    manager_ = manager;
    parent_ = parent;
}

CButtonUI::CButtonUI() {
    textAlign_ = DT_CENTER;
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (std::wcscmp(name, L"hotbkcolor") == 0) {
        hotBkColor_ = ParseColor(value);
    } else if (std::wcscmp(name, L"pushedbkcolor") == 0) {
        pushedBkColor_ = ParseColor(value);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CButtonUI::DoPaint(HDC dc, const RECT& paint) {
    const DWORD normal = bkColor_;
    if ((state_ & UISTATE_PUSHED) != 0 && pushedBkColor_ != 0) {
        bkColor_ = pushedBkColor_;
    } else if ((state_ & UISTATE_HOT) != 0 && hotBkColor_ != 0) {
        bkColor_ = hotBkColor_;
    }
    CLabelUI::DoPaint(dc, paint);
    bkColor_ = normal;
}

} // namespace DuiLib
