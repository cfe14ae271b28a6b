#include <QApplication>

#include <clocale>

#include "app/main_form.h"
#include "model/model_state.h"
#include "platform/settings_store.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication takes the user's locale for the C library too; numbers
    // in files, fields and settings are always written with a point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quor"));

    quor::model::ModelState state;
    quor::model::MainFormState form;
    quor::model::SettingsHolder holder;
    quor::platform::IniSettingsStore store;

    quor::app::MainForm window(state, form, holder, store);
    window.show();  // its load runs start-up first
    return QApplication::exec();
}
