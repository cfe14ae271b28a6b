#include "app/welcome_dialog.h"
#include "platform/ui/dialog_buttons.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quor::app {

mainDialog::mainDialog(model::ModelState& state, const model::SettingsHolder& holder,
                       const model::MainFormState& form, platform::Messages& messages, Commands commands,
                       QWidget* parent)
    : QDialog(parent), state_(state), holder_(holder), messages_(messages), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("mainDialog"));
    setWindowTitle(QStringLiteral(" Welcome"));
    setModal(true);

    auto picture = [this](QStyle::StandardPixmap which, const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setPixmap(style()->standardIcon(which).pixmap(16, 16));
        l->setFixedSize(16, 16);
        return l;
    };
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Image1 = picture(QStyle::SP_FileIcon, "Image1");
    Option1 = new QRadioButton(QStringLiteral("Create a new project"), Frame1);
    Option1->setObjectName(QStringLiteral("Option1"));
    auto* row1 = new QHBoxLayout(Frame1);
    Image1->setParent(Frame1);
    row1->addWidget(Image1);
    row1->addWidget(Option1, 1);

    Frame2 = new QGroupBox(QStringLiteral("or "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Image3 = picture(QStyle::SP_DialogOpenButton, "Image3");
    Option2 = new QRadioButton(QStringLiteral("Open an existing project"), Frame2);
    Option2->setObjectName(QStringLiteral("Option2"));
    auto* row2 = new QHBoxLayout(Frame2);
    Image3->setParent(Frame2);
    row2->addWidget(Image3);
    row2->addWidget(Option2, 1);

    // The two options live in different frames but form one group.
    Option1->setAutoExclusive(false);
    Option2->setAutoExclusive(false);
    QObject::connect(Option1, &QRadioButton::toggled, this, [this](bool on) { Option2->setChecked(!on); });
    QObject::connect(Option2, &QRadioButton::toggled, this, [this](bool on) { Option1->setChecked(!on); });
    Option1->setChecked(true);

    Image2 = picture(QStyle::SP_MessageBoxInformation, "Image2");
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Image2);
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);

    platform::ui::setOkButton(*this, OKButton);
    QObject::connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    QObject::connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });

    adjustSize();
    if (form.xscreen > 0 && form.yscreen > 0)
        move(form.xscreen / 2 - width() / 2, form.yscreen / 2 - height() / 2);
}

void mainDialog::OKButton_Click() {
    if (Option1->isChecked()) {
        done(QDialog::Accepted);
        setwelcomedone();
        if (holder_.indexcheck == 1)
            messages_.message("Make sure to select bathymetry clipped with the shoreline for this algorithm to work "
                              "properly",
                              platform::MessageIcon::Information);
        if (commands_.NewPr_Click) commands_.NewPr_Click();
    } else if (Option2->isChecked()) {
        done(QDialog::Accepted);
        setwelcomedone();
        if (holder_.indexcheck == 1)
            messages_.message("Make sure to select project that has bathymetry clipped with the shoreline for this "
                              "algorithm to work properly",
                              platform::MessageIcon::Information);
        if (commands_.OpenPr_Click) commands_.OpenPr_Click();
    }
    setwelcomedone();
}

void mainDialog::CancelButton_Click() {
    QDialog::reject();
    setwelcomedone();
}

// The close box and Escape answer like Cancel, so the dialog never comes back.
void mainDialog::reject() { CancelButton_Click(); }

}  // namespace quor::app
