#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "rei/rei_index.h"
#include "test_support.h"

using namespace quor;
using namespace quor::rei;

namespace {

// A feature with named fields; values are visible only after store().
class FakeFields final : public SiteFields {
public:
    explicit FakeFields(std::vector<std::string> names) : names_(std::move(names)) {}
    int findField(const std::string& name) const override {
        for (size_t i = 0; i < names_.size(); ++i)
            if (upper(names_[i]) == upper(name)) return static_cast<int>(i);
        return -1;
    }
    void putValue(int pos, double v) override { pending_[names_.at(static_cast<size_t>(pos))] = v; }
    void store() override {
        ++stores;
        for (auto& [k, v] : pending_) stored[k] = v;
    }
    std::map<std::string, double> stored;
    int stores = 0;

private:
    static std::string upper(std::string s) {
        for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    std::vector<std::string> names_;
    std::map<std::string, double> pending_;
};

std::vector<std::string> fastFields(bool withIndex, bool withRays) {
    std::vector<std::string> v(kDirectionalFields.begin(), kDirectionalFields.end());
    if (withIndex) v.push_back("Index");
    if (withRays)
        for (int i = 1; i <= 32; ++i) v.push_back("Ray" + std::to_string(i));
    return v;
}

struct IndexFixture {
    model::ModelState state;
    model::MainFormState mainform;
    model::WindSummary wind;
    test::RecordingProgress progress;
    ReiIndexContext ctx{state, mainform, wind, progress};
    IndexFixture() {
        mainform.Fetch = 10000;
        mainform.dist_bathy = 100;
        wind.windspd_ee = wind.windspd_se = wind.windspd_ss = wind.windspd_sw = wind.windspd_ww = wind.windspd_nw =
            wind.windspd_nn = 5;
        wind.windspd_ne = 5;
        wind.winddur_ee = wind.winddur_se = wind.winddur_ss = wind.winddur_sw = wind.winddur_ww = wind.winddur_nw =
            wind.winddur_nn = 12.5;
        wind.winddur_ne = 12.5;
    }
};

}  // namespace

TEST(ReiIndex, ClassValuesAreCosineWeightedMeansOfNineRays) {
    model::ModelState st;
    for (int k = 0; k < 32; ++k) st.ray_bathy(k) = 1;
    for (double b : classValues(st)) EXPECT_NEAR(b, 1, 1e-15);

    for (int k = 0; k < 32; ++k) st.ray_bathy(k) = 0;
    st.ray_bathy(2) = 7.886;
    auto B = classValues(st);  // by class E, SE, S, SW, W, NW, N, NE
    EXPECT_NEAR(B[0], 0.924, 1e-12);
    EXPECT_NEAR(B[7], 0.924, 1e-12);
    for (int c = 1; c < 7; ++c) EXPECT_EQ(B[c], 0) << c;

    // Across the wrap: ray 30 is two steps clockwise of east and two
    // anticlockwise of south-east.
    st.ray_bathy(2) = 0;
    st.ray_bathy(30) = 7.886;
    B = classValues(st);
    EXPECT_NEAR(B[0], 0.924, 1e-12);
    EXPECT_NEAR(B[1], 0.924, 1e-12);
    EXPECT_EQ(B[2] + B[3] + B[4] + B[5] + B[6] + B[7], 0);
}

TEST(ReiIndex, IndexOfTheWorkedExample) {
    IndexFixture f;
    std::array<double, 8> ones;
    ones.fill(1);
    EXPECT_DOUBLE_EQ(reiIndexValue(ones, f.wind, 100, 10000), 0.00625);
    // Each class weighs by its own speed and share of time.
    std::array<double, 8> onlyNorth{};
    onlyNorth[6] = 2;
    f.wind.windspd_nn = 10;
    f.wind.winddur_nn = 40;
    EXPECT_DOUBLE_EQ(reiIndexValue(onlyNorth, f.wind, 100, 10000), 2.0 * 10 * 40 * 100 / 8e6);
    EXPECT_THROW(reiIndexValue(ones, f.wind, 100, 0), ReiIndexError);
}

TEST(ReiIndex, FastModeWritesDirectionalValuesIndexAndRayLengths) {
    IndexFixture f;
    for (int k = 0; k < 32; ++k) {
        f.state.ray_bathy(k) = 1;
        f.state.ray_fetch(k) = 100.0 * (k + 1);
    }
    f.state.ray_bathy(8) = 1 + 7.886;  // north ray
    f.mainform.fetchlength = 1;
    FakeFields feature(fastFields(true, true));
    REIindex_dir(feature, f.ctx);
    EXPECT_EQ(feature.stores, 1);
    EXPECT_NEAR(feature.stored["Indexnn"], 2, 1e-12);
    EXPECT_NEAR(feature.stored["Indexne"], 1 + 0.707, 1e-12);
    EXPECT_NEAR(feature.stored["Indexnw"], 1 + 0.707, 1e-12);
    EXPECT_NEAR(feature.stored["Indexee"], 1, 1e-12);
    EXPECT_NEAR(feature.stored["Indexss"], 1, 1e-12);
    const double sum = (8 + 1 + 2 * 0.707) * 5 * 12.5;
    EXPECT_NEAR(feature.stored["Index"], sum * 100 / 8e6, 1e-15);
    EXPECT_EQ(feature.stored["Ray1"], 100);  // east ray
    EXPECT_EQ(feature.stored["Ray9"], 900);  // north ray
    EXPECT_EQ(f.progress.value1, 100);
    for (int k = 0; k < 32; ++k) EXPECT_EQ(f.state.ray_bathy(k) + f.state.ray_fetch(k), 0) << k;

    // The directional values carry no wind: another climate changes only Index.
    f.wind.windspd_ee = 50;
    for (int k = 0; k < 32; ++k) f.state.ray_bathy(k) = 1;
    f.state.ray_bathy(8) = 1 + 7.886;
    FakeFields windier(fastFields(true, false));
    f.mainform.fetchlength = 0;
    REIindex_dir(windier, f.ctx);
    EXPECT_EQ(windier.stored["Indexnn"], feature.stored["Indexnn"]);
    EXPECT_GT(windier.stored["Index"], feature.stored["Index"]);
    EXPECT_EQ(windier.stored.count("Ray1"), 0u);
}

TEST(ReiIndex, FastModeWithoutIndexFieldAndMissingFields) {
    IndexFixture f;
    for (int k = 0; k < 32; ++k) f.state.ray_bathy(k) = 2;
    FakeFields noIndex(fastFields(false, false));
    REIindex_dir(noIndex, f.ctx);
    EXPECT_EQ(noIndex.stored.count("Index"), 0u);
    EXPECT_NEAR(noIndex.stored["Indexww"], 2, 1e-12);

    // A directional field missing: nothing is stored, and the site's ray
    // terms are cleared all the same so the next site starts clean.
    f.state.ray_bathy(5) = 3;
    auto names = fastFields(true, false);
    names.erase(names.begin() + 3);
    FakeFields broken(names);
    EXPECT_THROW(REIindex_dir(broken, f.ctx), ReiIndexError);
    EXPECT_EQ(broken.stores, 0);
    EXPECT_EQ(f.state.ray_bathy(5), 0);

    f.mainform.fetchlength = 1;
    FakeFields noRays(fastFields(true, false));
    EXPECT_THROW(REIindex_dir(noRays, f.ctx), ReiIndexError);
}

TEST(ReiIndex, ClipModeWritesIndexOnlyAndNeedsIt) {
    IndexFixture f;
    for (int k = 0; k < 32; ++k) f.state.ray_bathy(k) = 1;
    FakeFields feature({"Index"});
    REIindex(feature, f.ctx);
    EXPECT_DOUBLE_EQ(feature.stored["Index"], 0.00625);
    EXPECT_EQ(feature.stored.size(), 1u);

    // A ray profiled at one site and not at the next reads 0 there.
    f.state.ray_bathy(17) = 4;
    f.state.ray_fetch(17) = 50;
    FakeFields first({"index"});
    REIindex(first, f.ctx);
    FakeFields second({"INDEX"});
    REIindex(second, f.ctx);
    EXPECT_EQ(second.stored["INDEX"], 0);

    FakeFields none({"Other"});
    EXPECT_THROW(REIindex(none, f.ctx), ReiIndexError);
}
