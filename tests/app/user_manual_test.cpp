// The user manual against the program: the menu items, buttons, fields,
// status codes, ranges and texts it names are the ones the program has.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QToolBar>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "model/settings_loader.h"
#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/numbers.h"
#include "platform/settings_store.h"
#include "project/project_file.h"
#include "project/run_hold.h"
#include "rei/rei_index.h"
#include "wave/rwe_results.h"
#include "wave/rwe_settings.h"
#include "wave/wave_main.h"
#include "quor_run_support.h"
#include "test_support.h"

using namespace quor;

namespace {

QString manualText() {
    QFile f(QStringLiteral(QUOR_MANUAL_SOURCE));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    return QString::fromUtf8(f.readAll());
}

// Every "Menu > Item" path of the menu bar, captions trimmed as the user reads them.
std::set<QString> menuPaths(QMenuBar* bar) {
    std::set<QString> out;
    for (QAction* top : bar->actions()) {
        if (!top->menu()) continue;
        const QString title = top->menu()->title().trimmed();
        for (QAction* item : top->menu()->actions())
            if (!item->isSeparator()) out.insert(title + " > " + item->text().trimmed());
    }
    return out;
}

std::set<QString> toolbarCaptions(const app::MainForm& window) {
    std::set<QString> out;
    for (QToolBar* bar : {window.Toolbar1, window.Toolbar2})
        for (QAction* a : bar->actions())
            if (!a->toolTip().isEmpty()) out.insert(a->toolTip());
    return out;
}

struct Manual : ::testing::Test {
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};
    QString text = manualText();

    void SetUp() override { ASSERT_FALSE(text.isEmpty()) << "cannot read " << QUOR_MANUAL_SOURCE; }

    // Line breaks of the source read as spaces.
    bool names(const std::string& s) const { return text.simplified().contains(QString::fromStdString(s)); }
};

TEST_F(Manual, MenuPathsAndButtonsAreTheWindowsOwn) {
    const auto paths = menuPaths(window.menuBar());
    const QRegularExpression bold(QStringLiteral(R"(\*\*([^*]+ > [^*]+)\*\*)"));
    int checked = 0;
    for (auto it = bold.globalMatch(text); it.hasNext(); ++checked) {
        const QString path = it.next().captured(1).simplified();
        EXPECT_TRUE(paths.count(path)) << "the manual names a menu item the window lacks: " << path.toStdString();
    }
    EXPECT_GE(checked, 10);

    const auto captions = toolbarCaptions(window);
    const QRegularExpression button(QStringLiteral(R"(\*([^*]+)\* button)"));
    checked = 0;
    for (auto it = button.globalMatch(text); it.hasNext(); ++checked) {
        const QString caption = it.next().captured(1);
        EXPECT_TRUE(captions.count(caption)) << "the manual names a button the toolbars lack: " << caption.toStdString();
    }
    EXPECT_GE(checked, 3);
}

TEST_F(Manual, NamesEveryResultFieldStatusCodeAndQuotedTextAsTheRunsHaveThem) {
    std::vector<std::string> fields(wave::kRweResultFields.begin(), wave::kRweResultFields.end());
    fields.insert(fields.end(), rei::kDirectionalFields.begin(), rei::kDirectionalFields.end());
    for (const char* f : {"Index", "IIndex", "Ray1", "Ray32"}) fields.emplace_back(f);
    for (const auto& f : fields) EXPECT_TRUE(names("`" + f + "`")) << f;

    for (const double code : {model::pt_status::no_data, model::pt_status::rays_failed, model::pt_status::clip_failed,
                              model::pt_status::fetch_failed, model::pt_status::fast_failed,
                              model::pt_status::wave_failed, model::pt_status::first_stage_failed,
                              model::pt_status::both_stages_failed})
        EXPECT_TRUE(names("| " + platform::formatNumber(code) + " |")) << "status code " << code;

    for (const char* quoted :
         {project::kProjectRunElsewhere, wave::kCancelQuestion, wave::kReplaceRweQuestion, wave::kProcessingDone})
        EXPECT_TRUE(names("\"" + std::string(quoted) + "\"")) << quoted;

    // The example comes with the checkout; nothing beside it is the user's.
    EXPECT_FALSE(names("../shared")) << "the manual sends the user to a folder beside the checkout";
}

// The worked example is the one that comes with the checkout: the manual
// names its folder, and every file of it the manual names is there.
TEST_F(Manual, WorkedExampleIsTheOneInTheCheckout) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    EXPECT_TRUE(names("`examples/portphillip`"));
    const QRegularExpression file(QStringLiteral(R"(`((?:water|bathy|sites)_portphillip[^`]*|sample[^`]*\.Wind_RE[IW])`)"));
    int checked = 0;
    for (auto it = file.globalMatch(text); it.hasNext(); ++checked) {
        const std::string name = it.next().captured(1).toStdString();
        EXPECT_TRUE(std::filesystem::exists(bay + "/" + name)) << "the manual names " << name << ", not in " << bay;
    }
    EXPECT_GE(checked, 6);
}

TEST_F(Manual, SettingRangesAreTheOnesTheDialogsCheck) {
    auto range = [](double lo, double hi, const std::string& unit) {
        return platform::formatNumber(lo) + " to " + platform::formatNumber(hi) + " " + unit;
    };
    for (const std::string& r : {range(model::kMinFetch, model::kMaxFetch, "m"),
                                 range(model::kMinBathyDistance, model::kMaxBathyDistance, "m"),
                                 range(model::kMinSegmentDistance, model::kMaxFetch, "m"),
                                 range(model::kMinSeaTemperature, model::kMaxSeaTemperature, "°C"),
                                 range(0, model::kMaxSeaSalinity, "g/kg")})
        EXPECT_TRUE(names(r)) << "the manual does not give the range " << r;
}

}  // namespace

// The coefficient has two defaults: the one a fresh start reads and the one
// "Set default settings" puts into the box.
TEST_F(Manual, GivesBothDefaultsOfGodasCoefficient) {
    test::TempDir fresh;
    platform::IniSettingsStore empty(fresh.path() + "/config");
    model::ModelState started;
    model::MainFormState startedForm;
    model::loadSettingsParameters(empty, started, startedForm);
    wave::wv_property settings(started, startedForm, holder, empty, messages);
    settings.Form_Load();
    settings.Check1_Click(true);
    const QRegularExpression row(QStringLiteral(R"(\| Goda's breaking coefficient[^\n]*)"));
    const QString line = row.match(text).captured(0);
    ASSERT_FALSE(line.isEmpty());
    EXPECT_TRUE(line.contains(QString::fromStdString(platform::formatNumber(started.A_goda)))) << line.toStdString();
    EXPECT_TRUE(line.contains(QString::fromStdString(settings.form.aGoda))) << line.toStdString();
}

// A fresh start runs with one interrogation distance while the settings
// window shows, and its OK applies, the one the start stored.
TEST_F(Manual, GivesBothDefaultsOfTheSegmentInterrogationDistance) {
    test::TempDir fresh;
    platform::IniSettingsStore empty(fresh.path() + "/config");
    model::ModelState started;
    model::MainFormState startedForm;
    model::loadSettingsParameters(empty, started, startedForm);
    wave::wv_property settings(started, startedForm, holder, empty, messages);
    settings.Form_Load();
    const QRegularExpression row(QStringLiteral(R"(\| fetch segment interrogation distance[^\n]*)"));
    const QString line = row.match(text).captured(0);
    ASSERT_FALSE(line.isEmpty());
    for (const std::string& value : {platform::formatNumber(started.Depth_intg_first), settings.form.depthIntgFirst})
        EXPECT_TRUE(line.contains(QString::fromStdString(value))) << line.toStdString() << " lacks " << value;
}

// The chapter on quor-run names every option the program has, each with
// the ranges and the default the program's help gives it.
TEST_F(Manual, NamesEveryOptionOfTheCommandLineWithItsRangeAndDefault) {
    const test::Ran help = test::runProgram(QUOR_RUN_PROGRAM, {"--help"}, home.path());
    ASSERT_EQ(help.exit, 0) << help.err;
    const QRegularExpression option(QStringLiteral(R"(^  (--[a-z-]+).*$)"), QRegularExpression::MultilineOption);
    const QRegularExpression range(QStringLiteral(R"(-?[0-9.]+ to -?[0-9.]+)"));
    const QRegularExpression fallback(QStringLiteral(R"(\(default (.+)\)$)"));
    int checked = 0;
    for (auto it = option.globalMatch(QString::fromStdString(help.out)); it.hasNext(); ++checked) {
        const auto match = it.next();
        const QString name = match.captured(1), line = match.captured(0);
        EXPECT_TRUE(names("`" + name.toStdString())) << "the manual does not name " << name.toStdString();
        // The manual's row of the option: "| `--name ...".
        const QRegularExpression rowOf("^\\| `" + QRegularExpression::escape(name) + "[ `].*$",
                                       QRegularExpression::MultilineOption);
        const QString row = rowOf.match(text).captured(0);
        std::vector<QString> told;
        for (auto r = range.globalMatch(line); r.hasNext();) told.push_back(r.next().captured(0));
        if (const auto d = fallback.match(line); d.hasMatch()) told.push_back(d.captured(1));
        for (const QString& words : told)
            EXPECT_TRUE(row.contains(words)) << name.toStdString() << ": the manual's row lacks \""
                                             << words.toStdString() << "\": " << row.toStdString();
    }
    EXPECT_GE(checked, 40);
}
