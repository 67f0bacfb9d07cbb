#include <gtest/gtest.h>

#include "bike/bike.h"
#include "core/controls.h"
#include "core/loop.h"
#include "core/settings.h"

// A bike record without bodies is enough: the setters only clamp and store.
TEST(Controls, ChannelsReachTheBikeThroughItsSetters) {
    g_settings.tick = 1.0 / 128;
    static BikeState bike;
    bike = BikeState{};
    bike.info.gear_ratio[0] = bike.info.gear_ratio[1] = 1;
    ControlApplyState state = {};
    float ch[CHANNEL_COUNT] = {};
    ch[CHANNEL_STEER] = 0.5f, ch[CHANNEL_THROTTLE] = 2, ch[CHANNEL_FRONT_BRAKE] = 0.25f, ch[CHANNEL_LEAN] = -3;
    ch[CHANNEL_SHIFT] = 0.6f;
    controls_apply(&bike, ch, true, false, &state);
    EXPECT_EQ(bike.controls.steer, -0.5f);   // reversed
    EXPECT_EQ(bike.controls.throttle, 1);
    EXPECT_EQ(bike.controls.front_brake, 0.25f);
    EXPECT_EQ(bike.controls.lean, -1);
    EXPECT_EQ(bike_gear(&bike), 1);
    controls_apply(&bike, ch, false, false, &state);   // held: no second shift
    EXPECT_EQ(bike_gear(&bike), 1);
    EXPECT_EQ(bike.controls.steer, 0.5f);

    // The clutch: released lever engages by at most 4 ticks' worth a tick,
    // 8/7 of the lever's travel pulls it fully.
    bike.controls.clutch = 0;
    ch[CHANNEL_CLUTCH] = 0;
    controls_apply(&bike, ch, false, false, &state);
    EXPECT_FLOAT_EQ(bike.controls.clutch, 4.0f / 128);
    for (int i = 0; i < 40; i++) controls_apply(&bike, ch, false, false, &state);
    EXPECT_EQ(bike.controls.clutch, 1);
    ch[CHANNEL_CLUTCH] = 0.875f;
    controls_apply(&bike, ch, false, false, &state);
    EXPECT_EQ(bike.controls.clutch, 0);
    ch[CHANNEL_CLUTCH] = 0.4375f;
    for (int i = 0; i < 40; i++) controls_apply(&bike, ch, false, false, &state);
    EXPECT_FLOAT_EQ(bike.controls.clutch, 0.5f);
}

TEST(Controls, StickyDabTogglesOnEachPress) {
    g_settings.tick = 1.0 / 128;
    static BikeState bike;
    bike = BikeState{};
    ControlApplyState state = {};
    float ch[CHANNEL_COUNT] = {};
    const float presses[] = {0, 1, 1, 0, 0.3f, 1, 0};
    const float sticky[] = {0, 1, 1, 1, 1, 0, 0};
    for (int i = 0; i < 7; i++) {
        ch[CHANNEL_DAB] = presses[i];
        controls_apply(&bike, ch, false, true, &state);
        EXPECT_EQ(bike.controls.dab, sticky[i]) << "step " << i;
    }
    ch[CHANNEL_DAB] = 0.7f;
    controls_apply(&bike, ch, false, false, &state);
    EXPECT_FLOAT_EQ(bike.controls.dab, 0.7f);
}
