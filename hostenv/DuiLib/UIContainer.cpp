#include <algorithm>
#include <cwchar>

#include "DuiLib/Attributes.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
    for (CControlUI* item : items_) {
        delete item;
    }
}

bool CContainerUI::Add(CControlUI* control) {
    if (control == nullptr) {
        return false;
    }
    items_.push_back(control);
    control->SetManager(manager_, this);
    NeedParentUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const auto found = std::find(items_.begin(), items_.end(), control);
    if (found == items_.end()) {
        return false;
    }
    items_.erase(found);
    delete control;
    NeedParentUpdate();
    return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    int v[4] = {};
    if (std::wcscmp(name, L"inset") == 0) {
        ParseInts(value, v, 4);
        inset_ = {v[0], v[1], v[2], v[3]};
        NeedParentUpdate();
    } else if (std::wcscmp(name, L"childpadding") == 0) {
        childPadding_ = static_cast<int>(std::wcstol(value, nullptr, 10));
        NeedParentUpdate();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

// Rows and columns give fixed-size children their size and share what is left
// among the others; floating children sit at their "pos" from the top-left.
void CContainerUI::SetPos(RECT pos) {
    CControlUI::SetPos(pos);
    if (manager_ == nullptr) {
        return;
    }
    const CPaintManagerUI& m = *manager_;
    RECT inner = {pos.left + m.Scale(inset_.left), pos.top + m.Scale(inset_.top), pos.right - m.Scale(inset_.right),
                  pos.bottom - m.Scale(inset_.bottom)};
    const bool row = flow_ == Flow::Row;
    int fixedTotal = 0;
    int flexible = 0;
    int flowing = 0;
    for (CControlUI* item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        ++flowing;
        const int fixed = row ? item->GetFixedWidth() : item->GetFixedHeight();
        if (fixed > 0) {
            fixedTotal += m.Scale(fixed);
        } else {
            ++flexible;
        }
    }
    const int span = row ? inner.right - inner.left : inner.bottom - inner.top;
    const int padding = flowing > 1 ? m.Scale(childPadding_) * (flowing - 1) : 0;
    const int share = flexible > 0 ? std::max(0, span - fixedTotal - padding) / flexible : 0;
    int cursor = row ? inner.left : inner.top;
    for (CControlUI* item : items_) {
        if (!item->IsVisible()) {
            continue;
        }
        if (item->IsFloat()) {
            const RECT& f = item->GetFloatPos();
            item->SetPos({pos.left + m.Scale(f.left), pos.top + m.Scale(f.top), pos.left + m.Scale(f.right),
                          pos.top + m.Scale(f.bottom)});
            continue;
        }
        if (flow_ == Flow::Stack) {
            item->SetPos(inner);
            continue;
        }
        const int fixed = row ? item->GetFixedWidth() : item->GetFixedHeight();
        const int length = fixed > 0 ? m.Scale(fixed) : share;
        const int across = row ? item->GetFixedHeight() : item->GetFixedWidth();
        RECT place = inner;
        if (row) {
            place.left = cursor;
            place.right = cursor + length;
            if (across > 0) { // centred across the row
                const int h = m.Scale(across);
                place.top = inner.top + (inner.bottom - inner.top - h) / 2;
                place.bottom = place.top + h;
            }
        } else {
            place.top = cursor;
            place.bottom = cursor + length;
            if (across > 0) {
                place.right = place.left + m.Scale(across);
            }
        }
        item->SetPos(place);
        cursor += length + m.Scale(childPadding_);
    }
}

void CContainerUI::DoPaint(HDC dc, const RECT& paint) {
    CControlUI::DoPaint(dc, paint);
    for (CControlUI* item : items_) {
        RECT overlap;
        if (item->IsVisible() && IntersectRect(&overlap, &item->GetPos(), &paint)) {
            item->DoPaint(dc, paint);
        }
    }
}

CControlUI* CContainerUI::FindControlAt(POINT point) {
    if (!IsVisible() || !PtInRect(&pos_, point)) {
        return nullptr;
    }
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) { // the last painted is on top
        if (CControlUI* found = (*it)->FindControlAt(point)) {
            return found;
        }
    }
    return this;
}

CControlUI* CContainerUI::FindControlByName(const wchar_t* name) {
    if (name_ == name) {
        return this;
    }
    for (CControlUI* item : items_) {
        if (CControlUI* found = item->FindControlByName(name)) {
            return found;
        }
    }
    return nullptr;
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (CControlUI* item : items_) {
        item->SetManager(manager, this);
    }
}

} // namespace DuiLib
