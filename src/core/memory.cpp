// Process memory: the working-set range logged after a track load, and the
// single fatal path of the game, running out of memory.
#include "core/memory.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/log.h"

static const uint64_t MEMORY_SMALLEST = 67108864;          // 64 MiB
static const uint64_t MEMORY_RANGE_CAP = 2147483648u;      // 2 GiB
static const uint64_t MEMORY_LEFT_FREE = 33554432;         // 32 MiB
static const uint64_t MEMORY_MINIMUM_CAP = 1073741824;     // 1 GiB

static void (*s_shutdown_hook)();
static bool s_out_of_memory;   // set once out_of_memory has begun

bool working_set_range(uint64_t total, uint32_t *minimum, uint32_t *maximum) {
    if (total < MEMORY_SMALLEST) return false;
    uint64_t high = (total < MEMORY_RANGE_CAP ? total : MEMORY_RANGE_CAP) - MEMORY_LEFT_FREE;
    uint64_t low = high < MEMORY_MINIMUM_CAP ? high : MEMORY_MINIMUM_CAP;
    *minimum = (uint32_t)low;
    *maximum = (uint32_t)high;
    return true;
}

void set_working_set() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGESIZE);
    uint64_t total = pages > 0 && page_size > 0 ? (uint64_t)pages * (uint64_t)page_size : 0;
    uint32_t minimum, maximum;
    if (!working_set_range(total, &minimum, &maximum)) {
        zolm_log("Working set left alone - less than 64 MB physical memory\n");
        return;
    }
    zolm_log("Setting working set range to %u - %u\n", minimum, maximum);
    // Linux keeps no per-process working-set bounds to set.
    zolm_log("Working set update failed\n");
}

void memory_set_shutdown_hook(void (*hook)()) {
    s_shutdown_hook = hook;
}

void out_of_memory() {
    // A hook that itself runs out of memory comes back here: go straight on
    // to the exit rather than running it again.
    if (!s_out_of_memory) {
        s_out_of_memory = true;
        if (s_shutdown_hook) s_shutdown_hook();
    }
    // The window layer has no message box yet; the message goes to standard
    // error with the box's title, and to the log.
    fputs("Error: Out of virtual memory\n", stderr);
    zolm_error("Out of virtual memory");
    exit(1);
}

void *mem_alloc(size_t bytes) {
    void *p = malloc(bytes ? bytes : 1);
    if (!p) out_of_memory();
    return p;
}

void *mem_calloc(size_t count, size_t bytes) {
    if (count == 0 || bytes == 0) count = bytes = 1;
    void *p = calloc(count, bytes);
    if (!p) out_of_memory();
    return p;
}

void *mem_realloc(void *p, size_t bytes) {
    void *q = realloc(p, bytes ? bytes : 1);
    if (!q) out_of_memory();
    return q;
}
