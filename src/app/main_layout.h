#pragma once
// Places of the main window's elements in twips (1/1440 inch), and the
// two passes that move them: the size-change pass and the splitter drag.
// Kept apart from the widgets so the arithmetic can be checked directly;
// the window converts twips to pixels when it applies them.
namespace quor::app {

struct TwipRect {
    float Left = 0, Top = 0, Width = 0, Height = 0;
};

// Every element's place, relative to the inner area of its container.
struct MainLayout {
    TwipRect TreeView1{240, 600, 2055, 1935};
    TwipRect Toolbar1{0, 0, 10305, 360};
    TwipRect Toolbar2{4560, 0, 2655, 330};
    TwipRect Frame1{110, 360, 2305, 6780};
    TwipRect List1{120, 2280, 1799, 3960};
    TwipRect Frame3{120, 6240, 2075, 495};
    TwipRect Check1{120, 120, 1575, 315};
    TwipRect Frame2{2490, 360, 7725, 6775};
    TwipRect canceladdpt{240, 360, 855, 615};
    TwipRect refresher{6480, 360, 855, 615};
    TwipRect MapControl2{120, 240, 7575, 6375};
    TwipRect Frame4{120, 7080, 10095, 495};
    TwipRect StatusBar1{2400, 120, 7455, 315};
    TwipRect Label1{120, 120, 3135, 195};
    TwipRect Label2{120, 2060, 2295, 100};
    TwipRect lblHorDrag{2400, 480, 80, 6615};
};

// The window's inner area as designed.
inline constexpr float kDesignInnerWidth = 10275;
inline constexpr float kDesignInnerHeight = 7665;
// What the frame, title bar and menu bar add to the inner area; the pass
// works on the outer size.
inline constexpr float kFrameExtraWidth = 120;
inline constexpr float kFrameExtraHeight = 645;
// Below either of these the window snaps back to the snap size.
inline constexpr float kMinOuterWidth = 7575;
inline constexpr float kMinOuterHeight = 5880;
inline constexpr float kSnapOuterWidth = 7575;
inline constexpr float kSnapOuterHeight = 7000;
// Status bar panel widths, left to right.
inline constexpr float kPanelWidths[4] = {2840, 1640, 1401, 1601};

struct ResizeResult {
    bool ran = false;      // false while minimized
    bool snapped = false;  // the window must take the outer size below
    float outerWidth = 0, outerHeight = 0;
};

// The size-change pass. The inner width follows the outer width by the
// frame's width, also after a snap.
ResizeResult formResize(MainLayout& l, bool minimized, float outerWidth, float outerHeight);

// Moves the splitter d twips to the right without the drag's arithmetic:
// the project window and everything in it widen by d, the display window
// narrows by d, and both keep their designed margins.
void widenProjectPane(MainLayout& l, float d);
// Places both panes after the splitter has moved.
void resizepanes(MainLayout& l, float innerWidth);

// A move over the splitter with the given buttons held (1 = the left one
// only); x in the splitter's own twips. True when anything moved.
bool splitterDrag(MainLayout& l, int button, float x, float innerWidth);

}  // namespace quor::app
