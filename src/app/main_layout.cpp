#include "app/main_layout.h"

#include <cmath>
#include <initializer_list>

namespace quor::app {

namespace {
// Whole twips, a half going to the even number.
float roundEven(float v) { return std::nearbyint(v); }
}  // namespace

ResizeResult formResize(MainLayout& l, bool minimized, float outerWidth, float outerHeight) {
    ResizeResult r;
    if (minimized) return r;
    r.ran = true;
    if (outerHeight < kMinOuterHeight || outerWidth < kMinOuterWidth) {
        outerHeight = kSnapOuterHeight;
        outerWidth = kSnapOuterWidth;
        r.snapped = true;
    }
    r.outerWidth = outerWidth;
    r.outerHeight = outerHeight;
    const float innerWidth = outerWidth - kFrameExtraWidth;

    l.Frame2.Width = innerWidth - l.Frame2.Left - 40;
    l.Frame2.Height = outerHeight - 1535;
    l.lblHorDrag.Height = outerHeight - 1535;
    l.MapControl2.Width = l.Frame2.Width - 240;
    l.MapControl2.Height = l.Frame2.Height - 400;
    l.Toolbar1.Width = outerWidth;
    l.Frame4.Top = outerHeight - 1230;
    l.Frame4.Width = outerWidth - 300;
    l.Frame1.Height = l.Frame2.Height;
    l.Label2.Top = l.Frame1.Top + l.Frame1.Height - 10;
    l.TreeView1.Height = 1935;
    l.List1.Top = l.TreeView1.Top + l.TreeView1.Height - 255;
    l.List1.Height = l.Frame1.Height - 2845;
    l.Frame3.Top = l.List1.Top + l.List1.Height + 50;
    l.refresher.Left = l.MapControl2.Width - 1155;
    l.StatusBar1.Left = l.Frame4.Width - 7395;
    return r;
}

void resizepanes(MainLayout& l, float innerWidth) {
    float w = roundEven(l.lblHorDrag.Left);
    if (w < 600) w = 600;
    l.Frame1.Left = 120;
    l.Frame1.Width = w + 240;
    l.TreeView1.Left = 240;
    l.TreeView1.Width = w;
    l.List1.Width = w;
    l.Frame3.Width = w;
    l.Label2.Width = w + 240;
    l.Frame2.Left = l.lblHorDrag.Left + l.lblHorDrag.Width;
    l.MapControl2.Left = 120;
    float w2 = roundEven(innerWidth - l.Frame2.Left - 40);
    if (w2 < 600) w2 = 600;
    l.Frame2.Width = w2;
    l.MapControl2.Width = w2 - 240;
}

void widenProjectPane(MainLayout& l, float d) {
    for (TwipRect* r : {&l.Frame1, &l.TreeView1, &l.List1, &l.Frame3, &l.Label2}) r->Width += d;
    l.lblHorDrag.Left += d;
    l.Frame2.Left += d;
    l.Frame2.Width -= d;
    l.MapControl2.Width -= d;
    l.refresher.Left -= d;
}

bool splitterDrag(MainLayout& l, int button, float x, float innerWidth) {
    if (button != 1) return false;
    const float p = roundEven(l.lblHorDrag.Left + x + 120);
    if (p < 1200 || p > innerWidth - 5800) return false;
    const float d = roundEven(p - l.lblHorDrag.Left);
    if (d >= -6 && d <= 6) return false;
    l.lblHorDrag.Left = p;
    resizepanes(l, innerWidth);
    l.refresher.Left = l.refresher.Left - d;
    return true;
}

}  // namespace quor::app
