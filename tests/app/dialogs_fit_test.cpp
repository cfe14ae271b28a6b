// Every dialog and window of the program, opened as the program opens it:
// it fits a 1024 x 768 screen, its buttons lie inside it, and Enter presses
// its OK button and no other.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <map>
#include <set>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/run_command.h"
#include "app/small_dialogs.h"
#include "gis/ui/dataset_chooser.h"
#include "model/setting_checks.h"
#include "platform/numbers.h"
#include "platform/settings_store.h"
#include "rei/ui/fm_property.h"
#include "test_support.h"
#include "user_steps.h"
#include "wired_window.h"
#include "wave/ui/batch_dialogs.h"
#include "wave/ui/bottom_velocity_dialog.h"
#include "wave/ui/rwe_settings_dialog.h"
#include "wind/ui/wind_text_dialog.h"
#include "wind/wind_text_choice.h"
#include "wind/ui/winddata_form.h"

using namespace quor;

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
// Room a window manager takes for the title bar and the borders.
constexpr int kFrameWidth = 10;
constexpr int kFrameHeight = 40;

// What Enter presses in a dialog: its visible default button.
QPushButton* enterButton(QDialog& d) {
    for (QPushButton* b : d.findChildren<QPushButton*>())
        if (b->isDefault() && b->isVisible()) return b;
    return nullptr;
}

QString plain(QString text) { return text.remove('&').trimmed(); }

struct Windows : ::testing::Test, test::WiredWindow {
    std::set<QString> seen;  // window titles or object names of the dialogs checked
    // Number boxes and the longest value their range lets the user type.
    std::map<QLineEdit*, QString> longestValues;

    Windows() {
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
        window.Form_Load(env);
    }

    QString nameOf(QWidget& d) const { return d.windowTitle().trimmed().isEmpty() ? d.objectName() : d.windowTitle(); }

    void check(QDialog& d) {
        const QString name = nameOf(d);
        seen.insert(name);
        SCOPED_TRACE(name.toStdString());
        // As the user sees it: shown by the window manager, at the size it
        // gave, laid out for that size.
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
        QCoreApplication::sendPostedEvents();
        EXPECT_LE(d.width(), kScreenWidth - kFrameWidth);
        EXPECT_LE(d.height(), kScreenHeight - kFrameHeight);
        EXPECT_LE(d.minimumSizeHint().width(), kScreenWidth - kFrameWidth);
        EXPECT_LE(d.minimumSizeHint().height(), kScreenHeight - kFrameHeight);
        // Every button lies inside the dialog and inside whatever holds it.
        for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) {
            if (!b->isVisibleTo(&d)) continue;
            for (QWidget* w = b; w != &d; w = w->parentWidget()) {
                const QRect inParent(w->mapTo(w->parentWidget(), QPoint(0, 0)), w->size());
                EXPECT_TRUE(w->parentWidget()->rect().contains(inParent))
                    << plain(b->text()).toStdString() << " cut off by " << w->parentWidget()->objectName().toStdString();
            }
        }
        // The settings whose range reaches the longest values.
        const QString longestFetch = QString::fromStdString(platform::formatNumber(model::kMaxFetch));
        if (auto* rwe = dynamic_cast<wave::ui::RweSettingsDialog*>(&d)) {
            for (int i : {0, 1, 4}) longestValues[rwe->Text4[i]] = longestFetch;  // fetch, segment, interrogation
            longestValues[rwe->Text1[0]] = QString::fromStdString(platform::formatNumber(model::kMinSeaTemperature));
            longestValues[rwe->Text1[1]] = QString::fromStdString(platform::formatNumber(model::kMaxSeaSalinity));
        }
        if (auto* rei = dynamic_cast<rei::ui::FmProperty*>(&d)) longestValues[rei->Text4] = longestFetch;
        if (auto* velocity = dynamic_cast<wave::ui::BottomVelocityDialog*>(&d)) {
            // The sediment's boxes show once both calculations are ticked.
            for (QCheckBox* tick : {velocity->Check1, velocity->Check2})
                if (!tick->isChecked()) tick->click();
            QApplication::processEvents();
        }
        // Every text box shows its whole text, and a number box with a range
        // its longest value as well, on every tab. A path scrolls in its box:
        // no box is as wide as every path.
        auto checkBoxes = [&] {
            for (QLineEdit* box : d.findChildren<QLineEdit*>()) {
                if (!box->isVisibleTo(&d) || box->parentWidget()->inherits("QComboBox")) continue;
                QStringList texts;
                if (!box->text().contains('/')) texts << box->text();
                if (const auto it = longestValues.find(box); it != longestValues.end()) texts << it->second;
                // The room QLineEdit gives its text: inside the frame and the
                // margins, 2 pixels off each side, and the cursor after it.
                QStyleOptionFrame frame;
                frame.initFrom(box);
                frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
                const int room =
                    box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box).marginsRemoved(box->textMargins()).width() - 2 * 2 - 1;
                for (const QString& t : texts)
                    EXPECT_GE(room, box->fontMetrics().horizontalAdvance(t))
                        << '"' << t.toStdString() << "\" in a box of " << box->width() << " px";
            }
        };
        checkBoxes();
        for (QTabWidget* tabs : d.findChildren<QTabWidget*>()) {
            const int shown = tabs->currentIndex();
            for (int i = 0; i < tabs->count(); ++i) {
                if (i == shown) continue;
                tabs->setCurrentIndex(i);
                QApplication::processEvents();
                checkBoxes();
            }
            tabs->setCurrentIndex(shown);
        }
        // Enter in the first text box presses OK; a dialog without OK has no
        // button that Enter presses but its own accepting one.
        if (QLineEdit* box = d.findChild<QLineEdit*>()) box->setFocus();
        QApplication::processEvents();
        QPushButton* ok = nullptr;
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->isVisible() && plain(b->text()) == "OK") ok = b;
        QPushButton* enter = enterButton(d);
        if (ok) {
            EXPECT_EQ(enter, ok) << "Enter presses " << (enter ? plain(enter->text()).toStdString() : "nothing");
        } else if (enter) {
            const QString t = plain(enter->text()).toLower();
            EXPECT_FALSE(t.startsWith("cancel") || t.startsWith("browse") || t.startsWith("for analyzing"))
                << "Enter presses " << t.toStdString();
        }
    }

    // Runs a command and checks every dialog it leaves open beside the window.
    void runAndCheckModeless(const std::string& command) {
        window.commands().run(command, messages);
        QApplication::processEvents();
        QList<QPointer<QDialog>> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) open.append(d);
        for (const QPointer<QDialog>& d : open) {
            if (!d) continue;
            check(*d);
            if (d) d->close();
        }
    }

    // Checks the modal dialog `open` shows, once it is the active window,
    // and closes it as Escape does.
    void checkModal(const std::string& what, const std::function<void()>& open) {
        SCOPED_TRACE(what);
        test::UserSteps steps;
        steps.then(what, [] { return test::activeModal<QDialog>(); }, [this](QWidget& w) {
            QPointer<QDialog> d = static_cast<QDialog*>(&w);
            check(*d);
            if (d) d->reject();
        });
        steps.start();
        open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps.finished(); }, 30000));
        EXPECT_EQ(steps.missed(), "");
    }
};

TEST_F(Windows, EveryDialogFitsTheSmallScreenAndEnterPressesOk) {
    // The welcome of the first activation, answered.
    checkModal("welcome", [&] { window.show(); });
    for (const std::string command :
         {"NewPr_Click", "wv_property", "Orbital_velocity_frm", "Batch_Processing_mode", "Tide_frm", "windanly"})
        checkModal(command, [&] { window.commands().run(command, messages); });
    checkModal("Run", [&] { run.Run_Click(); });
    runAndCheckModeless("About");
    window.QuorMode_Click();
    runAndCheckModeless("none");
    window.progressForm().show();
    check(window.progressForm());
    window.progressForm().hide();

    state.model_mode = model::REI_MODE;
    checkModal("fm_property", [&] { window.commands().run("fm_property", messages); });
    for (const std::string command : {"Windprocess", "Wind_pt"}) runAndCheckModeless(command);

    // Windows that other windows open.
    {
        app::proj_prop d(form, &window);
        d.show();
        check(d);
    }
    {
        app::Form2 d([] {}, &window);
        d.show();
        check(d);
    }
    {
        wave::ui::BatchProcessDialog d(state, messages, home.path(), &window);
        d.show();
        check(d);
    }
    {
        wind::WindTextChoice choice;
        wind::ui::WindTextDialog d(state, choice, messages, &window);
        d.show();
        check(d);
    }
    {
        wind::WindEntryContext ctx{state, form, wind, holder, messages, [](const std::string&) {
                                       return std::optional<std::string>();
                                   }};
        wind::ui::WindDataForm d(ctx, {}, &window);
        d.show();
        check(d);
    }
    for (auto filter : {gis::DatasetFilter::Shapefiles, gis::DatasetFilter::Rasters}) {
        gis::ui::DatasetChooserDialog d(filter, "Choose", &window);
        d.show();
        check(d);
    }
    EXPECT_GE(seen.size(), 19u);
}

TEST_F(Windows, MainWindowFitsAndShowsItsCaptionsWhole) {
    state.welcome_done = true;  // seen in an earlier session
    window.show();
    QApplication::processEvents();
    EXPECT_LE(window.frameGeometry().width(), kScreenWidth);
    EXPECT_LE(window.frameGeometry().height(), kScreenHeight);
    QCheckBox* box = window.Check1;
    EXPECT_LE(box->sizeHint().width(), box->width());
    EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry()))
        << box->x() << "," << box->y() << " " << box->width() << "x" << box->height() << " in " << box->parentWidget()->width() << "x" << box->parentWidget()->height();

    // A long node name can be read whole: the tree scrolls sideways.
    auto* node = new QTreeWidgetItem(window.TreeView1, QStringList("A point dataset with a rather long name 2026"));
    QApplication::processEvents();
    const int textWidth = window.TreeView1->fontMetrics().horizontalAdvance(node->text(0));
    EXPECT_GE(window.TreeView1->columnWidth(0), textWidth);

    // The About box's banner shows whole.
    app::About about(form, &window);
    about.show();
    QApplication::processEvents();
    int banners = 0;
    for (QLabel* l : about.findChildren<QLabel*>()) {
        const QImage banner = l->pixmap(Qt::ReturnByValue).toImage();
        if (banner.isNull()) continue;
        ++banners;
        EXPECT_LE(banner.width(), l->width());
        EXPECT_LE(banner.height(), l->height());
        EXPECT_TRUE(about.rect().contains(l->geometry()));
        // Its lettering stays clear of the left and right edges.
        const QRgb ground = banner.pixel(0, 0);
        for (int y = 0; y < banner.height(); ++y) {
            ASSERT_EQ(banner.pixel(2, y), ground) << l->objectName().toStdString() << " cut at the left, row " << y;
            ASSERT_EQ(banner.pixel(banner.width() - 3, y), ground) << l->objectName().toStdString() << " row " << y;
        }
    }
    EXPECT_EQ(banners, 2);
}

}  // namespace
