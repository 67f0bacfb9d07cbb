#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/memory.h"

static const uint64_t MIB = 1048576;

TEST(Memory, WorkingSetRange) {
    struct Row { uint64_t total; bool set; uint32_t minimum, maximum; };
    const Row rows[] = {
        {63 * MIB, false, 0, 0},
        {64 * MIB, true, 32 * MIB, 32 * MIB},
        {512 * MIB, true, 480 * MIB, 480 * MIB},
        {4096 * MIB, true, 1024 * MIB, 2016 * MIB},
        {65536 * MIB, true, 1024 * MIB, 2016 * MIB},
    };
    for (const Row &row : rows) {
        uint32_t minimum = 0, maximum = 0;
        EXPECT_EQ(working_set_range(row.total, &minimum, &maximum), row.set) << row.total;
        EXPECT_EQ(minimum, row.minimum) << row.total;
        EXPECT_EQ(maximum, row.maximum) << row.total;
    }
}

static void memory_test_hook() {
    fputs("hook ran\n", stderr);
}

TEST(Memory, OutOfMemoryRunsTheHookAndExitsWithStatus1) {
    memory_set_shutdown_hook(memory_test_hook);
    EXPECT_EXIT(out_of_memory(), testing::ExitedWithCode(1),
                "hook ran\nError: Out of virtual memory\n");
    memory_set_shutdown_hook(nullptr);
}

TEST(Memory, ZeroBytesStillAllocate) {
    void *p = mem_alloc(0);
    void *q = mem_calloc(0, 8);
    void *r = mem_realloc(nullptr, 0);
    EXPECT_NE(p, nullptr);
    EXPECT_NE(q, nullptr);
    EXPECT_NE(r, nullptr);
    free(p);
    free(q);
    free(r);
}
