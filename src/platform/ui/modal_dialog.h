#pragma once
// For the dialogs of every subsystem (widgets only; no computation includes
// it): a modal dialog that lasts until it is done, not until it is first
// hidden.
#include <QDialog>
#include <QEventLoop>
#include <QPointer>

namespace quor::platform::ui {

// Shows `dialog` application-modal and returns its result once it is
// accepted, rejected or closed. A dialog may step aside, hidden, while a
// dialog of its own is open and come back after it; QDialog::exec() ends at
// the first hide, and a dialog shown again after that stayed modal without
// an owner, so the main window no longer took the mouse.
inline int runModal(QDialog& dialog) {
    QPointer<QDialog> guard(&dialog);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    const bool wasModal = dialog.testAttribute(Qt::WA_ShowModal);
    dialog.setAttribute(Qt::WA_ShowModal, true);
    dialog.setResult(0);
    dialog.show();
    loop.exec(QEventLoop::DialogExec);
    if (!guard) return QDialog::Rejected;
    // Only a hidden dialog may give up its modality: a visible one would
    // stay in the window system's list of modal windows.
    if (dialog.isVisible()) dialog.hide();
    dialog.setAttribute(Qt::WA_ShowModal, wasModal);
    return dialog.result();
}

}  // namespace quor::platform::ui
