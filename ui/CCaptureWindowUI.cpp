#include <objidl.h>
#include <gdiplus.h>

#include "ui/CaptureGeometry.h"
#include "ui/CaptureWindowDialog.h"

namespace KelvaneCenter {

namespace gdip = Gdiplus::DllExports;

namespace {

// GDI+ objects of one paint, each deleted by its own flat function.
struct PaintObjects {
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdiplus::GpSolidFill* background = nullptr;
    Gdiplus::GpSolidFill* mask = nullptr;
    Gdiplus::GpPen* pen = nullptr;
    ~PaintObjects() {
        if (pen != nullptr) gdip::GdipDeletePen(pen);
        if (mask != nullptr) gdip::GdipDeleteBrush(mask);
        if (background != nullptr) gdip::GdipDeleteBrush(background);
        if (graphics != nullptr) gdip::GdipDeleteGraphics(graphics);
    }
};

} // namespace

CCaptureWindowUI::~CCaptureWindowUI() = default;

// GDI+ is started by the host; without it nothing is drawn but the control itself.
void CCaptureWindowUI::DoPaint(HDC dc, const RECT& paint) {
    PaintObjects p;
    if (gdip::GdipCreateFromHDC(dc, &p.graphics) == Gdiplus::Ok &&
        gdip::GdipCreateSolidFill(backgroundColor, &p.background) == Gdiplus::Ok &&
        gdip::GdipCreateSolidFill(maskColor, &p.mask) == Gdiplus::Ok &&
        gdip::GdipCreatePen1(borderColor, borderWidth, Gdiplus::UnitWorld, &p.pen) == Gdiplus::Ok) {
        const RECT target = Normalised(targetRect);
        const RECT& item = GetPos();
        const int itemWidth = item.right - item.left;
        const int itemHeight = item.bottom - item.top;
        if (target.left == 0 && target.top == 0 && target.right == 0 && target.bottom == 0) {
            gdip::GdipFillRectangleI(p.graphics, p.mask, item.left, item.top, itemWidth, itemHeight);
        } else {
            const int x = target.left - origin.x;
            const int y = target.top - origin.y;
            const int width = target.right - target.left;
            const int height = target.bottom - target.top;
            gdip::GdipFillRectangleI(p.graphics, p.background, item.left, item.top, itemWidth, itemHeight);
            gdip::GdipDrawRectangleI(p.graphics, p.pen, x, y, width, height);
            gdip::GdipFillRectangleI(p.graphics, p.mask, x, y, width, height);
        }
    }
    CControlUI::DoPaint(dc, paint);
}

} // namespace KelvaneCenter
