// Process memory: the working-set adjustment made after a track load and the
// one out-of-memory exit shared by the whole game.
#pragma once

#include <cstddef>
#include <cstdint>

// The working-set range for total physical memory; false below 64 MiB.
bool working_set_range(uint64_t total, uint32_t *minimum, uint32_t *maximum);
// Logs the range for this machine's memory. Linux has no working-set call,
// so it always ends with "Working set update failed\n".
void set_working_set();

// Closes audio and window (when open), says "Out of virtual memory" and ends
// the process with status 1.
[[noreturn]] void out_of_memory();
// Hooks the window and audio layers register so out_of_memory can close them.
void memory_set_shutdown_hook(void (*hook)());

// malloc/calloc/realloc that never return none: out_of_memory instead.
void *mem_alloc(size_t bytes);
void *mem_calloc(size_t count, size_t bytes);
void *mem_realloc(void *p, size_t bytes);
