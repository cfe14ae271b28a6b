#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <QTimer>

#include "buoy_fixtures.h"
#include "local_http_server.h"
#include "wind/ui/threaded_fetcher.h"
#include "platform/settings_store.h"
#include "test_support.h"
#include "wind/ui/windanly.h"

using namespace quor::wind;

namespace {

class MapStore final : public quor::platform::SettingsStore {
public:
    std::map<std::string, std::string> values;
    std::string read(const std::string&, const std::string& s, const std::string& k) const override {
        auto it = values.find(s + "/" + k);
        return it == values.end() ? std::string() : it->second;
    }
    void write(const std::string&, const std::string& s, const std::string& k, const std::string& v) override {
        values[s + "/" + k] = v;
    }
    bool contains(const std::string&, const std::string& s, const std::string& k) const override {
        return values.count(s + "/" + k) > 0;
    }
};

// Answers every year with a canned record, counting the requests.
class CannedFetcher final : public YearFetcher {
public:
    int requests = 0;
    bool networkDown = false;
    quor::platform::HttpResult fetch(const std::string& url) override {
        ++requests;
        quor::platform::HttpResult r;
        if (networkDown) return r;  // a network error
        r.status = quor::platform::HttpResult::Status::Ok;
        r.httpCode = 200;
        const int year = std::stoi(url.substr(url.find(".txt.gz") - 4, 4));
        r.body = quor::test::hourlyYear(year, 24 * 40);
        return r;
    }
};

class NoChooser final : public SavePathChooser {
public:
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

struct DialogRig {
    quor::model::ModelState state;
    quor::model::WindSummary holder;
    quor::model::MainFormState form;
    MapStore store;
    quor::test::RecordingMessages messages;
    std::shared_ptr<CannedFetcher> fetcher = std::make_shared<CannedFetcher>();
    quor::test::TempDir dir;

    std::unique_ptr<windanly> open(uint8_t mode) {
        state.model_mode = mode;
        state.wind_source = "clkn7, Cape Lookout NC";
        state.app_folder = dir.path();
        form.projfile = dir.path();
        store.values["Settings/buoy_server"] = "http://127.0.0.1:9";
        WindanlyEnv env{state, holder, form, store, messages, fetcher, std::make_shared<NoChooser>(), {}, {}, {}, {}, {}};
        return std::make_unique<windanly>(std::move(env));
    }
};

}  // namespace

TEST(WindanlyDialog, ChecksInputsInOrderAndStaysUsable) {
    DialogRig rig;
    auto dlg = rig.open(quor::model::REI_MODE);
    EXPECT_TRUE(dlg->Command3->isHidden());
    EXPECT_EQ(dlg->Label5->text(), "5 %");
    EXPECT_EQ(dlg->Combo1->currentText(), "clkn7, Cape Lookout NC");
    EXPECT_TRUE(rig.state.wind_webflag);

    dlg->Combo3[0]->setCurrentText("2003");  // eight years plus one
    dlg->Command1_Click();
    dlg->Combo3[0]->setCurrentText("2002");
    dlg->Combo3[1]->setCurrentText("4");  // 4/31 does not exist
    dlg->Command1_Click();
    dlg->Combo3[1]->setCurrentText("12");
    dlg->Slider1->setValue(0);
    dlg->Command1_Click();
    dlg->Slider1->setValue(5);
    dlg->Combo1->setCurrentText("");
    dlg->Command1_Click();
    dlg->Combo1->setCurrentText("tplm2, Thomas Point MD");
    dlg->Combo2[0]->setCurrentText("2002");
    dlg->Combo2[1]->setCurrentText("12");
    dlg->Combo2[2]->setCurrentText("31");
    dlg->Combo2[3]->setCurrentText("23");
    dlg->Command1_Click();  // start equals end
    EXPECT_EQ(rig.messages.texts(),
              (std::vector<std::string>{"You can't select more than 7 years for analysis",
                                        "Please use valid station name and valid year",
                                        "No wind data will be selected, please choose percentage higher than 0.",
                                        "Please select a station for Wind Analysis", "Select valid date"}));
    EXPECT_EQ(rig.state.wind_source, "tplm2");
    EXPECT_EQ(rig.fetcher->requests, 0);
    EXPECT_TRUE(dlg->Combo1->isEnabled());
    EXPECT_TRUE(dlg->Command1->isEnabled());
    EXPECT_EQ(dlg->windowTitle(), "Wind Analysis");
}

TEST(WindanlyDialog, ANetworkFailureInTheReiDownloadShowsTheDialogsFailureMessage) {
    DialogRig rig;
    auto dlg = rig.open(quor::model::REI_MODE);
    rig.fetcher->networkDown = true;
    dlg->Command1_Click();
    EXPECT_EQ(rig.fetcher->requests, 1);
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{"Please use valid station name and valid year"});
    EXPECT_TRUE(dlg->Command1->isEnabled());
}

TEST(WindanlyDialog, MissingServerSettingIsNamedAndCompletedReiAnalysisClosesAfterTheHandler) {
    DialogRig rig;
    auto dlg = rig.open(quor::model::REI_MODE);
    rig.store.values.erase("Settings/buoy_server");
    dlg->show();
    dlg->Command1_Click();
    ASSERT_EQ(rig.messages.entries.size(), 1u);
    EXPECT_NE(rig.messages.entries[0].text.find("\"buoy_server\""), std::string::npos);
    EXPECT_EQ(rig.fetcher->requests, 0);

    rig.messages.entries.clear();
    rig.store.values["Settings/buoy_server"] = "http://127.0.0.1:9";
    dlg->Combo3[0]->setCurrentText("1996");
    dlg->Combo3[1]->setCurrentText("1");
    dlg->Combo3[2]->setCurrentText("30");
    dlg->Command1_Click();
    EXPECT_EQ(rig.fetcher->requests, 2);
    ASSERT_FALSE(rig.messages.entries.empty());
    EXPECT_EQ(rig.messages.entries.back().text, "Wind Analysis Done");
    EXPECT_EQ(rig.holder.wind_file, "temporary");  // the save was cancelled
    EXPECT_TRUE(dlg->Animation1->isHidden());
    // Not closed inside the handler; closed once the event loop runs.
    EXPECT_EQ(dlg->result(), 0);
    QApplication::processEvents();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST(WindanlyDialog, RweModeRunsTheTextAnalysisOnDownloadedOrLocalRecords) {
    DialogRig rig;
    std::vector<WindTextCall> calls;
    rig.state.model_mode = quor::model::RWE_MODE;
    rig.state.app_folder = rig.dir.path();
    rig.store.values["Settings/buoy_server"] = "http://127.0.0.1:9";
    WindTextCall local;
    local.wind_textfile = "/data/station.txt";
    local.delimiter = ",";
    local.windspdno = 7;
    WindanlyEnv env{rig.state, rig.holder, rig.form, rig.store, rig.messages, rig.fetcher,
                    std::make_shared<NoChooser>(), [&](const WindTextCall& c) { calls.push_back(c); },
                    [&] { return std::optional<WindTextCall>(local); }, {}, {}, {}};
    windanly dlg(std::move(env));
    EXPECT_FALSE(dlg.Command3->isHidden());
    EXPECT_TRUE(dlg.Command3->isEnabled());

    dlg.Combo3[0]->setCurrentText("2006");  // any span in RWE mode
    dlg.Command1_Click();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(rig.fetcher->requests, 12);
    EXPECT_EQ(calls[0].wind_textfile, rig.dir.path() + "/1995.txt");
    EXPECT_EQ(calls[0].station_nam, "clkn7, Cape Lookout NC");
    EXPECT_EQ(calls[0].endyr, 2006);

    // Local file: the chooser's columns, the typed station name, the dialog's window.
    rig.state.wind_webflag = false;
    dlg.setLocalFileLayout(true);
    dlg.Text1->setText("My station");
    dlg.Command1_Click();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(rig.fetcher->requests, 12);
    EXPECT_EQ(calls[1].wind_textfile, "/data/station.txt");
    EXPECT_EQ(calls[1].delimiter, ",");
    EXPECT_EQ(calls[1].windspdno, 7);
    EXPECT_EQ(calls[1].station_nam, "My station");
    EXPECT_EQ(calls[1].percent_wind, 5);
    EXPECT_TRUE(rig.messages.entries.empty());
}

TEST(WindanlyDialog, TransfersRunBesideAnEventLoopThatKeepsTurning) {
    quor::test::LocalHttpServer server;
    server.serve("/slow", {200, "x", "text/plain", quor::test::LocalHttpServer::Reply::Mode::Stall});
    quor::platform::HttpOptions quick;
    quick.totalTimeoutMs = 500;
    quick.stallTimeoutMs = 0;
    ThreadedYearFetcher fetcher(std::make_shared<HttpYearFetcher>(quick));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    auto result = fetcher.fetch(server.address() + "/slow");
    EXPECT_EQ(result.status, quor::platform::HttpResult::Status::Timeout);
    EXPECT_GE(ticks, 5);  // the window kept repainting while the server stalled
}
