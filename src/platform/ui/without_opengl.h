#pragma once
// For the program's and the window tests' start, before the application
// object is made.
#include <QtGlobal>

namespace quor::platform::ui {

// Quor draws nothing with OpenGL: QGIS paints the map into images and Qt's
// raster engine the windows. On an X display Qt would still load its GLX
// integration, and with it the system's GL driver, at every start: time and
// memory for nothing, and Mesa's driver, unloaded as the program ends,
// leaves behind a block that LeakSanitizer then finds unreachable. A user's
// own choice of integration stands.
inline void drawWithoutOpenGl() {
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
}

}  // namespace quor::platform::ui
