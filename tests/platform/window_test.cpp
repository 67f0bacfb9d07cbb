#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/message_box.h"
#include "platform/platform_rules.h"
#include "platform/window.h"
#include "window_fixture.h"

class Window : public WindowFixture {};

static int64_t clock_us() {
    int32_t s, us;
    zolm_time(&s, &us);
    return s * 1000000LL + us;
}

// Lines of text that must appear in this order (others may lie between).
static void expect_in_order(const std::string &text, const std::vector<std::string> &lines) {
    size_t at = 0;
    for (const std::string &line : lines) {
        size_t found = text.find(line, at);
        EXPECT_NE(std::string::npos, found) << "missing or out of order: " << line << "\nlog:\n" << text;
        if (found == std::string::npos) return;
        at = found + line.size();
    }
}

typedef void (*ClearColorFn)(float, float, float, float);
typedef void (*ClearFn)(unsigned);
typedef void (*ReadPixelsFn)(int, int, int, int, unsigned, unsigned, void *);
static const unsigned GL_COLOR_BUFFER_BIT_ = 0x4000, GL_RGBA_ = 0x1908, GL_UNSIGNED_BYTE_ = 0x1401;

TEST_F(Window, OpensWithAGlContextThatClearsAndReadsBack) {
    // 32 colour bits ask for 24.
    ASSERT_NE(nullptr, open(64, 48, 32));
    int red = 0;
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
    EXPECT_EQ(8, red);

    ZolmViewport vp = {-1, -1, -1, -1};
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(0, vp.x);
    EXPECT_EQ(0, vp.y);
    EXPECT_EQ(64, vp.width);
    EXPECT_EQ(48, vp.height);

    ClearColorFn clear_color = (ClearColorFn)zolm_gl_proc("glClearColor");
    ClearFn clear = (ClearFn)zolm_gl_proc("glClear");
    ReadPixelsFn read_pixels = (ReadPixelsFn)zolm_gl_proc("glReadPixels");
    ASSERT_TRUE(clear_color && clear && read_pixels);
    clear_color(0.196078f, 0.6f, 0.8f, 0.0f);
    clear(GL_COLOR_BUFFER_BIT_);
    unsigned char px[4] = {};
    read_pixels(10, 10, 1, 1, GL_RGBA_, GL_UNSIGNED_BYTE_, px);
    EXPECT_NEAR(50, px[0], 1);
    EXPECT_NEAR(153, px[1], 1);
    EXPECT_NEAR(204, px[2], 1);
    EXPECT_TRUE(zolm_swap(window));

    zolm_close_gl_window(window);
    window = nullptr;
    expect_in_order(log_text(), {"Choosing pixel format\n", "Creating window\n",
                                 "End of DirectInput roll call\n", "Creating OpenGL context\n",
                                 "Deleting OpenGL context\n", "Closing input devices\n", "Killing cursor\n",
                                 "Destroying window\n", "Window shutdown complete\n"});
}

TEST_F(Window, BeginFrameRefusesWhileHiddenAndFollowsModeRequests) {
    ASSERT_NE(nullptr, open());
    SDL_Window *sdl = SDL_GL_GetCurrentWindow();
    ASSERT_NE(nullptr, sdl);
    ZolmViewport vp;
    SDL_HideWindow(sdl);
    EXPECT_FALSE(zolm_begin_frame(window, &vp));
    SDL_ShowWindow(sdl);
    EXPECT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_TRUE(zolm_swap(window));

    // A mode request is carried out by the next pump, like a posted message.
    zolm_set_display_mode(window, 320, 200, 16);
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(64, vp.width);
    drain();
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(320, vp.width);
    EXPECT_EQ(200, vp.height);
    EXPECT_NE(std::string::npos, log_text().find("WM_SIZE message 320x200\n"));
}

TEST_F(Window, PushedEventsComeOutAsCodesInTimeOrder) {
    ASSERT_NE(nullptr, open());
    drain();
    int64_t before = clock_us();
    push_key(SDL_SCANCODE_A, true);
    push_key(SDL_SCANCODE_A, true, 1);   // SDL's repeat: no second press
    push_key(SDL_SCANCODE_A, false);
    push_key(SDL_SCANCODE_RCTRL, true);
    push_key(SDL_SCANCODE_RALT, true);
    push_key(SDL_SCANCODE_LALT, false);
    push_key(SDL_SCANCODE_KP_DIVIDE, true);
    push_key(SDL_SCANCODE_KP_ENTER, true);             // also types 13
    push_key(SDL_SCANCODE_C, true, 0, KMOD_LCTRL, SDLK_c);   // also types Ctrl+C: 3
    push_key(SDL_SCANCODE_DELETE, false);
    SDL_Delay(3);
    SDL_Event text = {};
    text.type = SDL_TEXTINPUT;
    snprintf(text.text.text, sizeof text.text.text, "%s", "a\xc3\xa9\xe2\x82\xac");   // a, e acute, euro sign
    push(text);
    push_button(SDL_BUTTON_LEFT, true);
    push_button(SDL_BUTTON_MIDDLE, true);
    push_button(SDL_BUTTON_RIGHT, false);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    push(quit);
    SDL_Event close = {};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    push(close);

    std::vector<QueuedEvent> got = drain();
    int64_t after = clock_us();
    const struct {
        uint32_t code;
        bool pressed;
    } want[] = {
        {4096 + 30, true},  {4096 + 30, false}, {4096 + 285, true}, {4096 + 312, true}, {4096 + 56, false},
        {4096 + 309, true}, {4096 + 284, true}, {13, true},         {4096 + 46, true},  {3, true},
        {4096 + 339, false}, {97, true},        {233, true},        {8192, true},       {8193, true},
        {8194, false},      {57005, true},      {57005, true},
    };
    ASSERT_EQ(sizeof want / sizeof want[0], got.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(want[i].code, got[i].code) << "event " << i;
        EXPECT_EQ(want[i].pressed, got[i].pressed) << "event " << i;
        EXPECT_GE(got[i].at_us, before - 1000) << "event " << i;
        EXPECT_LE(got[i].at_us, after) << "event " << i;
        if (i > 0) {
            EXPECT_GE(got[i].at_us, got[i - 1].at_us) << "event " << i;
        }
    }
    // The text came 3 ms after the keys.
    EXPECT_GE(got[11].at_us - got[0].at_us, 1000);
    // The window stays open after a close request.
    ZolmViewport vp;
    EXPECT_TRUE(zolm_begin_frame(window, &vp));
}

TEST_F(Window, NextEventUntilLeavesLaterEventsAndTheQueueHolds256) {
    ASSERT_NE(nullptr, open());
    drain();
    push_button(SDL_BUTTON_LEFT, true);
    uint32_t code;
    bool pressed;
    int32_t s, us;
    EXPECT_FALSE(zolm_next_event_until(window, 0, 0, &code, &pressed, &s, &us));
    int32_t now_s, now_us;
    zolm_time(&now_s, &now_us);
    ASSERT_TRUE(zolm_next_event_until(window, now_s, now_us, &code, &pressed, &s, &us));
    EXPECT_EQ(8192u, code);

    for (int i = 0; i < ZOLM_EVENT_QUEUE_SIZE + 1; i++) push_button(SDL_BUTTON_RIGHT, i % 2 == 0);
    std::vector<QueuedEvent> got = drain();
    ASSERT_EQ((size_t)ZOLM_EVENT_QUEUE_SIZE, got.size());
    EXPECT_TRUE(got[0].pressed);
    EXPECT_FALSE(got[255].pressed);
}

TEST(WindowRules, FullscreenChoiceTakesTheSmallestModeLargeEnough) {
    const ZolmDisplayMode modes[] = {{640, 480, 32}, {800, 600, 32}, {1000, 700, 16}, {1024, 768, 32},
                                     {900, 800, 32}, {0, 0, 0}};
    const struct {
        int32_t w, h, want_w, want_h;
    } rows[] = {
        {800, 600, 800, 600},       {640, 480, 640, 480}, {1000, 700, 1000, 700}, {1001, 700, 1024, 768},
        {850, 601, 1000, 700},      // 1700 wide+high ties with 900 x 800: the first wins
        {2000, 2000, 1920, 1080},   // none large enough: the desktop
        {0, 600, 1920, 1080},       {800, 0, 1920, 1080},
    };
    for (const auto &r : rows) {
        int32_t w = -1, h = -1;
        window_choose_fullscreen(modes, 1920, 1080, r.w, r.h, &w, &h);
        EXPECT_EQ(r.want_w, w) << r.w << "x" << r.h;
        EXPECT_EQ(r.want_h, h) << r.w << "x" << r.h;
    }
    // The three-mode list of the window's documentation.
    const ZolmDisplayMode three[] = {{640, 480, 32}, {800, 600, 32}, {1024, 768, 32}, {0, 0, 0}};
    int32_t w, h;
    window_choose_fullscreen(three, 1280, 1024, 1000, 700, &w, &h);
    EXPECT_EQ(1024, w);
    EXPECT_EQ(768, h);
}

TEST_F(Window, ModeListPutsTheDesktopFirstAndCollapsesRefreshRates) {
    const ZolmModeInfo desktop = {1024, 768, 32, 60};
    const ZolmModeInfo modes[] = {{1280, 1024, 32, 60}, {1024, 768, 32, 75}, {800, 600, 32, 60},
                                  {800, 600, 32, 85},   {800, 600, 16, 60},  {640, 480, 4, 60}};
    ZolmDisplayMode out[8];
    int n = window_build_mode_list(&desktop, modes, 6, out, 8);
    const ZolmDisplayMode want[] = {{1024, 768, 32}, {1280, 1024, 32}, {800, 600, 32}, {800, 600, 16}, {0, 0, 0}};
    ASSERT_EQ(4, n);
    for (int i = 0; i <= n; i++) {
        EXPECT_EQ(want[i].width, out[i].width) << i;
        EXPECT_EQ(want[i].height, out[i].height) << i;
        EXPECT_EQ(want[i].bits, out[i].bits) << i;
    }
    std::string log = log_text();
    expect_in_order(log, {"Registry mode is 1024x768x32@60hz\n", "Found mode 1280x1024x32@60hz\n",
                          "Found mode 800x600x32@60hz\n", "Found mode 800x600x16@60hz\n",
                          "Found mode 640x480x4@60hz (ignored)\n"});
    EXPECT_EQ(std::string::npos, log.find("@75hz")) << "a refresh-rate variant was listed";

    // A desktop of an unusable depth is not listed first; a full list stops.
    const ZolmModeInfo odd = {1024, 768, 4, 60};
    n = window_build_mode_list(&odd, modes, 6, out, 3);
    ASSERT_EQ(2, n);
    EXPECT_EQ(1280, out[0].width);
    EXPECT_EQ(1024, out[1].width);
    EXPECT_EQ(0, out[2].width);
    EXPECT_NE(std::string::npos, log_text().find("Registry mode is 1024x768x4@60hz (ignored)\n"));
}

TEST(WindowRules, EventStampsAreAgedOntoTheClockAndNeverRunBackwards) {
    const struct {
        uint32_t event_ms, sdl_now_ms;
        int64_t zolm_now_us, floor_us, want;
    } rows[] = {
        {1000, 1010, 5000000, 0, 4990000},             // 10 ms old
        {1010, 1010, 5000000, 0, 5000000},             // just now
        {1020, 1010, 5000000, 0, 5000000},             // stamped after the reading: now
        {1000, 1010, 5000000, 4995000, 4995000},       // not before the previous stamp
        {0xfffffff0u, 0x10u, 9000000, 0, 8968000},     // across the counter's wrap: 32 ms old
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.want, window_event_stamp(r.event_ms, r.sdl_now_ms, r.zolm_now_us, r.floor_us)) << r.event_ms;
}

TEST_F(Window, MessageBoxWithoutADisplayWritesToStandardError) {
    const char *driver = getenv("SDL_VIDEODRIVER");
    std::string was = driver ? driver : "";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    zolm_message_box("Error", "Out of %s", "virtual memory");
    std::string err = testing::internal::GetCapturedStderr();
    if (driver) setenv("SDL_VIDEODRIVER", was.c_str(), 1);
    else unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ("Error: Out of virtual memory\n", err);
    EXPECT_NE(std::string::npos, log_text().find("Error: Out of virtual memory\n"));
}

TEST_F(Window, DisplayModesListTheDesktopFirst) {
    const ZolmDisplayMode *modes = zolm_display_modes();
    ASSERT_NE(nullptr, modes);
    ASSERT_GT(modes[0].width, 0);
    EXPECT_EQ(modes, zolm_display_modes());   // enumerated once
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_DisplayMode desktop;
    ASSERT_EQ(0, SDL_GetDesktopDisplayMode(0, &desktop));
    EXPECT_EQ(desktop.w, modes[0].width);
    EXPECT_EQ(desktop.h, modes[0].height);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(Window, FullScreenTakesTheChosenModeAndGoesBackToAWindow) {
    // The offscreen display has one mode, its desktop: every request gets it.
    const ZolmDisplayMode *modes = zolm_display_modes();
    ASSERT_NE(nullptr, open(800, 600, 16 | ZOLM_FULLSCREEN));
    ZolmViewport vp;
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(modes[0].width, vp.width);
    EXPECT_EQ(modes[0].height, vp.height);
    EXPECT_TRUE(zolm_swap(window));
    zolm_set_display_mode(window, 320, 200, 16);
    drain();
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(320, vp.width);
    EXPECT_EQ(200, vp.height);
    zolm_set_display_mode(window, 0, 0, 16 | ZOLM_FULLSCREEN);
    drain();
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_EQ(modes[0].width, vp.width);
    EXPECT_EQ(modes[0].height, vp.height);
}

TEST_F(Window, ThreadedOptionIsLoggedAndRunsUnthreaded) {
    const struct {
        const char *options, *logged;
        bool note;
    } rows[] = {{"", " threaded: [off]\n", false}, {"[threaded:on]", " threaded: [on]\n", true}};
    for (const auto &r : rows) {
        setenv("ZOLM_OPTIONS", r.options, 1);
        zolm_log_reset();
        window_log_options();
        std::string log = log_text();
        expect_in_order(log, {"Options:\n", r.logged});
        EXPECT_EQ(r.note, log.find("Message processing thread not available") != std::string::npos) << r.options;
    }
}
