#include <gtest/gtest.h>

#include <memory>

#include "model/model_state.h"

using namespace quor::model;

TEST(ModelState, ArraysHaveTheirBoundsAndRaiseOutsideThem) {
    auto s = std::make_unique<ModelState>();
    EXPECT_NO_THROW(s->windarray(60) = 1.0);
    EXPECT_THROW(s->windarray(61), SubscriptError);
    EXPECT_THROW(s->windarray(-1), SubscriptError);
    EXPECT_NO_THROW(s->wvht_second(50000));
    EXPECT_THROW(s->wvht_second(50001), SubscriptError);
    EXPECT_NO_THROW(s->depth_second(2000));
    EXPECT_THROW(s->depth_second(2001), SubscriptError);
    EXPECT_NO_THROW(s->ray_power(32));
    EXPECT_THROW(s->ray_bathy(33), SubscriptError);
    EXPECT_EQ(decltype(s->wvht_first)::size, 11001);
}

TEST(ModelState, EndOfRunClearsFlagsAndPerSiteArraysOnly) {
    auto s = std::make_unique<ModelState>();
    s->err_clip = s->err_nowater = s->err_wind = 1;
    s->deptharray(3) = 2;
    s->wvht_second(40) = 1;
    s->ray_fetch(31) = 5;
    s->windarray(3) = 7;
    s->fetcharray(3) = 8;
    s->clearErrorFlags();
    s->erasePerSiteArrays();
    EXPECT_EQ(s->err_clip + s->err_nowater + s->err_wind, 0);
    EXPECT_EQ(s->deptharray(3), 0);
    EXPECT_EQ(s->wvht_second(40), 0);
    EXPECT_EQ(s->ray_fetch(31), 0);
    EXPECT_EQ(s->windarray(3), 7);
    EXPECT_EQ(s->fetcharray(3), 8);
}
