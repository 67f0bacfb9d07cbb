// A headless window for the window and input tests: SDL's offscreen video
// driver (unless the environment names another), the log in a scratch file
// so the tests can read what was logged, and helpers that push SDL events and
// drain the window's queue.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/window.h"
#include "test_util.h"

struct QueuedEvent {
    uint32_t code;
    bool pressed;
    int64_t at_us;
};

class WindowFixture : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        unsetenv("ZOLM_LOGFILE_FLAGS");
        unsetenv("ZOLM_OPTIONS");
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
    }
    void TearDown() override {
        if (window) zolm_close_gl_window(window);
        window = nullptr;
        unsetenv("ZOLM_LOGFILE");
        unsetenv("ZOLM_OPTIONS");
        zolm_log_reset();
    }
    ZolmWindow *open(int width = 64, int height = 48, int flags = 16) {
        window = zolm_open_gl_window("Quorvin", width, height, flags, 0, 16, 0, 0);
        return window;
    }
    std::string log_text() {
        std::string text;
        read_file(dir / "log.txt", &text);
        return text;
    }
    // Every event the window has queued, oldest first.
    std::vector<QueuedEvent> drain() {
        std::vector<QueuedEvent> events;
        uint32_t code;
        bool pressed;
        int32_t s, us;
        while (zolm_next_event(window, &code, &pressed, &s, &us)) events.push_back({code, pressed, s * 1000000LL + us});
        return events;
    }
    static void push(SDL_Event e) { ASSERT_EQ(1, SDL_PushEvent(&e)); }
    static void push_key(SDL_Scancode scancode, bool down, int repeat = 0, Uint16 mod = 0,
                         SDL_Keycode sym = SDLK_UNKNOWN) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = (Uint8)repeat;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        push(e);
    }
    static void push_button(Uint8 button, bool down) {
        SDL_Event e = {};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        push(e);
    }
    ScratchDir dir;
    ZolmWindow *window = nullptr;
};
