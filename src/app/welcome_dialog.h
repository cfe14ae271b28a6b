#pragma once
// The welcome dialog of a new session: create a new project or open one.
#include <QDialog>

#include <functional>

#include "model/model_state.h"
#include "platform/feedback.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quor::app {

class mainDialog final : public QDialog {
public:
    struct Commands {
        std::function<void()> NewPr_Click;
        std::function<void()> OpenPr_Click;
    };
    mainDialog(model::ModelState& state, const model::SettingsHolder& holder, const model::MainFormState& form,
               platform::Messages& messages, Commands commands, QWidget* parent = nullptr);

    void OKButton_Click();
    void CancelButton_Click();

    QGroupBox* Frame1;
    QRadioButton* Option1;
    QGroupBox* Frame2;
    QRadioButton* Option2;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* Image3;
    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void reject() override;

private:
    void setwelcomedone() { state_.welcome_done = true; }
    model::ModelState& state_;
    const model::SettingsHolder& holder_;
    platform::Messages& messages_;
    Commands commands_;
};

}  // namespace quor::app
