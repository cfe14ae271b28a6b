#pragma once
// For the dialogs of every subsystem (widgets only; no computation includes
// it): Enter presses the dialog's OK button and never another one, whichever
// box has the focus.
#include <QDialog>
#include <QPushButton>

namespace quor::platform::ui {

// Call once all of the dialog's buttons exist. Without `ok` Enter presses nothing.
inline void setOkButton(QDialog& dialog, QPushButton* ok) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    if (ok) ok->setDefault(true);
}

}  // namespace quor::platform::ui
