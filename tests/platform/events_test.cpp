#include <gtest/gtest.h>

#include "platform/events.h"

TEST(EventQueue, KeepsTimeOrderAndArrivalOrderForEqualStamps) {
    ZolmEventQueue q;
    event_queue_clear(&q);
    // (code, seconds, microseconds) in arrival order.
    const int arrivals[][3] = {{1, 5, 100}, {2, 5, 300}, {3, 5, 200}, {4, 4, 999999}, {5, 5, 200}};
    for (const auto &a : arrivals) ASSERT_TRUE(event_queue_push(&q, a[0], true, a[1], a[2]));
    const uint32_t expected[] = {4, 1, 3, 5, 2};
    for (uint32_t want : expected) {
        uint32_t code;
        bool pressed;
        ASSERT_TRUE(event_queue_take(&q, false, 0, 0, &code, &pressed, nullptr, nullptr));
        EXPECT_EQ(want, code);
    }
    EXPECT_EQ(0, q.count);
}

TEST(EventQueue, DropsThe257thAndReportsReleases) {
    ZolmEventQueue q;
    event_queue_clear(&q);
    for (int i = 0; i < ZOLM_EVENT_QUEUE_SIZE; i++) ASSERT_TRUE(event_queue_push(&q, 4096 + i, i % 2 == 0, 1, i));
    EXPECT_FALSE(event_queue_push(&q, 9999, true, 0, 0));
    uint32_t code;
    bool pressed;
    int32_t s, us;
    ASSERT_TRUE(event_queue_take(&q, false, 0, 0, &code, &pressed, &s, &us));
    EXPECT_EQ(4096u, code);
    EXPECT_TRUE(pressed);
    ASSERT_TRUE(event_queue_take(&q, false, 0, 0, &code, &pressed, &s, &us));
    EXPECT_EQ(4097u, code);
    EXPECT_FALSE(pressed);
    EXPECT_EQ(1, us);
    // Room again after taking: a wrapped ring still sorts.
    EXPECT_TRUE(event_queue_push(&q, 7, true, 0, 5));
    ASSERT_TRUE(event_queue_take(&q, false, 0, 0, &code, &pressed, &s, &us));
    EXPECT_EQ(7u, code);
}

TEST(EventQueue, TakeUntilLeavesLaterEventsQueued) {
    ZolmEventQueue q;
    event_queue_clear(&q);
    event_queue_push(&q, 8192, false, 10, 500);
    uint32_t code;
    bool pressed;
    EXPECT_FALSE(event_queue_take(&q, true, 10, 499, &code, &pressed, nullptr, nullptr));
    EXPECT_EQ(1, q.count);
    EXPECT_TRUE(event_queue_take(&q, true, 10, 500, &code, &pressed, nullptr, nullptr));
    EXPECT_EQ(8192u, code);
    EXPECT_FALSE(pressed);
}
