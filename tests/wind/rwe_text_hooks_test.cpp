#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "platform/settings_store.h"
#include "wind/ui/rwe_text_hooks.h"
#include "wind_fixture.h"

using namespace quor;
using namespace quor::wind;
using namespace quor::wind::testing;

namespace {

// A local wind record of two readings and the dialog's surroundings, with
// its analysis saved as "local".
struct LocalRecord {
    test::TempDir dir;
    model::ModelState state;
    model::WindSummary holder;
    model::MainFormState form;
    platform::IniSettingsStore store{dir.path()};
    test::RecordingMessages messages;
    std::shared_ptr<ScriptedSaveDialog> saver = std::make_shared<ScriptedSaveDialog>();
    WindanlyEnv env{state, holder, form, store, messages, nullptr, saver, {}, {}, {}, {}, {}};
    std::shared_ptr<WindTextChoice> choice = std::make_shared<WindTextChoice>();
    LocalRecord() {
        writeBytes(dir.file("w.txt"), windText({{2010, 1, 15, 17, 0, "5", "90"}, {2010, 1, 15, 17, 10, "7", "180"}}));
        saver->answers = {dir.file("local")};
    }
};

}  // namespace

TEST(RweTextHooks, ChosenFileIsAnalysedIntoAWindFileWithTheDialogsStatus) {
    LocalRecord r;
    auto& [dir, state, holder, form, store, messages, saver, env, choice] = r;
    windanly* open = nullptr;
    ui::connectRweTextHooks(env, choice, [&] { return open; });
    windanly dlg(env);
    open = &dlg;

    EXPECT_FALSE(env.localFileCall());  // nothing chosen yet
    *choice = makeWindTextChoice(dir.file("w.txt"), 1, " ", {"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"},
                                 {"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"});
    auto call = env.localFileCall();
    ASSERT_TRUE(call);
    EXPECT_EQ(call->winddirno, 6);
    call->station_nam = "Bay";
    call->startyr = call->endyr = 2010;
    call->startm = call->endm = 1;
    call->startd = call->endd = 15;
    call->starth = call->endh = 17;
    call->percent_wind = 100;
    state.wind_webflag = false;
    env.rweAnalysis(*call);

    const auto lines = splitCrLf(readBytes(dir.file("local.Wind_RWE")));
    ASSERT_EQ(lines.size(), 121u);
    EXPECT_EQ(lines[3], "Bay");
    EXPECT_EQ(lines[9 + 56 + 14], "50");
    EXPECT_EQ(dlg.Label4->text(), "Analyzing Wind Data.....");
    EXPECT_EQ(messages.texts().back(), "Wind Analysis Done");
}

// The station named for a local file is a label, not a buoy: the download
// dialog goes on offering the buoy station it offered before.
TEST(RweTextHooks, AStationTypedForALocalFileIsNeverOfferedForDownload) {
    LocalRecord r;
    auto& [dir, state, holder, form, store, messages, saver, env, choice] = r;
    ui::connectRweTextHooks(env, choice, {});
    const std::string offered = windanly(env).Combo1->currentText().toStdString();

    *choice = makeWindTextChoice(dir.file("w.txt"), 1, " ", {"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"},
                                 {"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"});
    auto call = env.localFileCall();
    ASSERT_TRUE(call);
    call->station_nam = "My own anemometer";
    call->startyr = call->endyr = 2010;
    call->startm = call->endm = 1;
    call->startd = call->endd = 15;
    call->starth = call->endh = 17;
    call->percent_wind = 100;
    state.wind_webflag = false;
    env.rweAnalysis(*call);
    ASSERT_EQ(splitCrLf(readBytes(dir.file("local.Wind_RWE")))[3], "My own anemometer");

    state.model_mode = model::REI_MODE;
    EXPECT_EQ(windanly(env).Combo1->currentText().toStdString(), offered);
}
