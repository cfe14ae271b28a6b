#pragma once
// The colours the map view draws with. Tests read the rendered image back
// against these.
#include <QColor>

#include <array>

namespace quor::app {

// Depth ramp from the deepest water to the shallowest.
inline const std::array<QColor, 5>& depthRampColours() {
    static const std::array<QColor, 5> c = {QColor(8, 48, 107), QColor(33, 113, 181), QColor(107, 174, 214),
                                            QColor(198, 219, 239), QColor(239, 247, 255)};
    return c;
}
inline const QColor kShoreColour(110, 60, 20);
inline const QColor kLineColour(220, 30, 30);
inline const QColor kPointColour(255, 140, 0);
inline const QColor kCanvasColour(Qt::white);
// Result sites that hold no value (they could not be computed).
inline const QColor kNoValueColour(150, 150, 150);
// The entered-point cross: the marker symbol's default colour.
inline const QColor kMarkerColour(Qt::black);

}  // namespace quor::app
