#pragma once

#include <vector>

#include "DuiLib/UIString.h"

namespace DuiLib {

class CPaintManagerUI;

enum ControlState : unsigned {
    UISTATE_HOT = 0x01,
    UISTATE_PUSHED = 0x02,
};

// A rectangle of the window that paints itself. Sizes given by attributes are
// layout units; the paint manager scales them by the window's DPI.
class DUILIB_API CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual const wchar_t* GetClass() const { return L"Control"; }
    virtual CDuiString GetName() const { return name_; }
    virtual void SetName(const wchar_t* name) { name_ = name; }
    virtual CDuiString GetText() const { return text_; }
    virtual void SetText(const wchar_t* text);
    virtual bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    // Clickable controls are the ones the paint manager sends "click" for.
    virtual bool IsClickable() const { return false; }

    // Position in client pixels, set by the parent's layout.
    const RECT& GetPos() const { return pos_; }
    virtual void SetPos(RECT pos);
    // Attributes of the layout file, e.g. "name", "text", "width", "height",
    // "float", "pos" (l,t,r,b in layout units, from the parent's top-left),
    // "bkcolor", "textcolor", "bordercolor", "bordersize", "font" (size), "align".
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    void Invalidate();
    void NeedParentUpdate();

    virtual void DoPaint(HDC dc, const RECT& paint);
    // The topmost visible control at a client point, or null.
    virtual CControlUI* FindControlAt(POINT point);
    virtual CControlUI* FindControlByName(const wchar_t* name);
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
    CPaintManagerUI* GetManager() const { return manager_; }
    CControlUI* GetParent() const { return parent_; }

    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    bool IsFloat() const { return float_; }
    const RECT& GetFloatPos() const { return floatPos_; }
    unsigned GetState() const { return state_; }
    void SetState(unsigned state);

protected:
    void PaintText(HDC dc, COLORREF color);
    static COLORREF ToColorRef(DWORD argb);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    CDuiString name_;
    CDuiString text_;
    RECT pos_ = {};
    RECT floatPos_ = {};
    bool visible_ = true;
    bool float_ = false;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    DWORD bkColor_ = 0;
    DWORD textColor_ = 0xFF000000;
    DWORD borderColor_ = 0;
    int borderSize_ = 0;
    int fontSize_ = 12;
    bool bold_ = false;
    UINT textAlign_ = DT_LEFT;
    unsigned state_ = 0;
};

class DUILIB_API CLabelUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"Label"; }
};

// A label that is clicked; hot and pushed states paint their own colours.
class DUILIB_API CButtonUI : public CLabelUI {
public:
    CButtonUI();
    const wchar_t* GetClass() const override { return L"Button"; }
    bool IsClickable() const override { return true; }
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void DoPaint(HDC dc, const RECT& paint) override;

private:
    DWORD hotBkColor_ = 0;
    DWORD pushedBkColor_ = 0;
};

// Owns its controls and lays them out: in a row, in a column, or stacked.
class DUILIB_API CContainerUI : public CControlUI {
public:
    enum class Flow { Stack, Row, Column };
    explicit CContainerUI(Flow flow = Flow::Stack) : flow_(flow) {}
    ~CContainerUI() override;

    const wchar_t* GetClass() const override { return L"Container"; }
    // Takes ownership; false (and nothing owned) for a null control.
    virtual bool Add(CControlUI* control);
    virtual bool Remove(CControlUI* control); // deletes it
    int GetCount() const { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const;

    void SetPos(RECT pos) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void DoPaint(HDC dc, const RECT& paint) override;
    CControlUI* FindControlAt(POINT point) override;
    CControlUI* FindControlByName(const wchar_t* name) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

private:
    Flow flow_;
    std::vector<CControlUI*> items_;
    RECT inset_ = {};
    int childPadding_ = 0;
};

class DUILIB_API CHorizontalLayoutUI : public CContainerUI {
public:
    CHorizontalLayoutUI() : CContainerUI(Flow::Row) {}
    const wchar_t* GetClass() const override { return L"HorizontalLayout"; }
};

class DUILIB_API CVerticalLayoutUI : public CContainerUI {
public:
    CVerticalLayoutUI() : CContainerUI(Flow::Column) {}
    const wchar_t* GetClass() const override { return L"VerticalLayout"; }
};

} // namespace DuiLib
