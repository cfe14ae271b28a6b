#include <qgsapplication.h>

#include <clocale>
#include <memory>

#include "app/main_form.h"
#include "app/qgis_runtime.h"
#include "app/run_command.h"
#include "model/model_state.h"
#include "platform/settings_store.h"
#include "platform/ui/without_opengl.h"

int main(int argc, char** argv) {
    quor::platform::ui::drawWithoutOpenGl();
    quor::app::keepToolkitSettingsInDataFolder();
    QgsApplication app(argc, argv, true, quor::app::qgisProfileFolder(), QStringLiteral("desktop"));
    // QApplication takes the user's locale for the C library too; numbers
    // in files, fields and settings are always written with a point.
    std::setlocale(LC_NUMERIC, "C");
    quor::app::startQgis();

    int rc = 0;
    {
        const auto shared = std::make_unique<quor::model::ApplicationState>();
        quor::platform::IniSettingsStore store;

        quor::app::MainForm window(shared->state, shared->form, shared->holder, store);
        // The runs read the same wind summary that the wind commands fill.
        quor::app::RunCommand run(window, window.winddata());
        window.show();  // its load runs start-up first
        rc = QgsApplication::exec();
    }
    QgsApplication::exitQgis();
    return rc;
}
