#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/platform_rules.h"
#include "window_fixture.h"

class Input : public WindowFixture {};

TEST(Keys, EveryTableKeyTranslatesToAndFromAnSdlScancode) {
    int rows = 0;
    const ZolmKeyRow *table = keys_table(&rows);
    ASSERT_EQ(98, rows);
    EXPECT_STREQ("Esc", table[0].name);
    EXPECT_STREQ("Keypad .", table[97].name);
    for (int i = 0; i < rows; i++) {
        int sdl = keys_sdl_from_pc(table[i].scan);
        EXPECT_NE(0, sdl) << table[i].name;
        EXPECT_EQ(table[i].scan, keys_pc_from_sdl(sdl)) << table[i].name;
    }
    // The translation is one to one wherever it is defined.
    for (int sdl = 0; sdl < SDL_NUM_SCANCODES; sdl++) {
        int scan = keys_pc_from_sdl(sdl);
        if (scan >= 0) {
            EXPECT_EQ(sdl, keys_sdl_from_pc(scan)) << "scancode " << sdl;
        }
    }
    const struct {
        SDL_Scancode sdl;
        int scan;
    } extended[] = {{SDL_SCANCODE_RCTRL, 285}, {SDL_SCANCODE_RALT, 312}, {SDL_SCANCODE_LALT, 56},
                    {SDL_SCANCODE_KP_ENTER, 284}, {SDL_SCANCODE_KP_DIVIDE, 309}, {SDL_SCANCODE_PAUSE, 69},
                    {SDL_SCANCODE_NUMLOCKCLEAR, 325}, {SDL_SCANCODE_INSERT, 338}, {SDL_SCANCODE_PAGEDOWN, 337}};
    for (const auto &e : extended) EXPECT_EQ(e.scan, keys_pc_from_sdl(e.sdl)) << e.scan;
    EXPECT_EQ(-1, keys_pc_from_sdl(SDL_SCANCODE_UNKNOWN));
}

TEST(Keys, NamesResolveWithoutAWindow) {
    const struct {
        const char *name;
        int code;
    } rows[] = {
        {"Space", 4153},       {" ", 4153},        {"left_ctrl", 4125},   {"LEFT CTRL", 4125},
        {"Left\tCtrl", 4125},  {"Left Ctrl", 4125}, {"keypad enter", 4380}, {"page up", 4425},
        {"esc", 4097},         {"0x1ff", 4607},    {"0x0", 4096},         {"0x01F", 4127},
        {"0x200", -1},         {"0x", -1},         {"0xg", -1},           {"Mouse Left", 8192},
        {"mouse_right", 8194}, {"Close", 57005},   {"Left  Ctrl", -1},    {"", -1},
        {"nonsense", -1},      {"Joystick1.key[0]", -1}, {"Joystick1 button 0", -1},
    };
    for (const auto &r : rows) EXPECT_EQ(r.code, zolm_button_code(nullptr, r.name)) << "'" << r.name << "'";
    EXPECT_EQ(-1, zolm_button_code(nullptr, nullptr));
    EXPECT_EQ(nullptr, zolm_axis_open(nullptr, "cursor-x"));
}

TEST(Keys, CodesNameFromTheTablesAndAreInterned) {
    keys_use_system_names(false);
    const struct {
        int code;
        const char *name;
    } rows[] = {
        {4096 + 255, "0xff"}, {4096 + 29, "Left Ctrl"}, {4153, "Space"},  {4096 + 284, "Keypad Enter"},
        {4096 + 28, "Enter"}, {4096 + 1, "Esc"},        {8194, "Mouse Right"}, {57005, "Close"},
    };
    for (const auto &r : rows) {
        const char *name = zolm_button_name(nullptr, r.code);
        ASSERT_NE(nullptr, name) << r.code;
        EXPECT_STREQ(r.name, name) << r.code;
        EXPECT_EQ(name, zolm_button_name(nullptr, r.code)) << "not interned: " << r.code;
    }
    EXPECT_EQ(nullptr, zolm_button_name(nullptr, 65));
    EXPECT_EQ(nullptr, zolm_button_name(nullptr, 4096 + 512));
    EXPECT_EQ(nullptr, zolm_button_name(nullptr, 997916672));
    keys_use_system_names(true);
}

TEST(Keys, Utf8DecodesCodePoints) {
    const char *text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xff" "b\xc0\xaf";
    std::vector<uint32_t> got;
    uint32_t cp;
    while (keys_utf8_next(&text, &cp)) got.push_back(cp);
    std::vector<uint32_t> want = {'a', 0xe9, 0x20ac, 0x1f600, 0xfffd, 'b', 0xfffd, 0xfffd};
    EXPECT_EQ(want, got);
}

TEST(InputRules, DeviceIdsHashTheName) {
    const struct {
        const char *name;
        int32_t id;
    } rows[] = {
        {"cursor", 1531183104}, {"Mouse", 1663500288}, {"TestPad", 997916672}, {"TestPad#2", 1588396032},
        {"QaZ", 1638596608},    {"ZaQ", 1638596608},   {"", 0},
        {"\xc3\xa9t\xc3\xa9", 1809842176},   // bytes above 127 count as negative
    };
    for (const auto &r : rows) EXPECT_EQ(r.id, input_name_hash(r.name)) << r.name;
}

TEST(InputRules, DeviceTimesInTheFutureSetTheAdjustment) {
    int32_t adjustment = 0;
    EXPECT_EQ(900u, input_adjust_stamp(&adjustment, 900, 1000));
    EXPECT_EQ(0, adjustment);
    // 50 ms ahead: stamped now, and later times from the device shift by 50.
    EXPECT_EQ(1000u, input_adjust_stamp(&adjustment, 1050, 1000));
    EXPECT_EQ(50, adjustment);
    EXPECT_EQ(1050u, input_adjust_stamp(&adjustment, 1100, 1080));
    EXPECT_EQ(50, adjustment);
    // Still ahead after the shift: the adjustment becomes the new lead.
    EXPECT_EQ(1100u, input_adjust_stamp(&adjustment, 1200, 1100));
    EXPECT_EQ(100, adjustment);
    // Across the millisecond counter's wrap.
    adjustment = 0;
    EXPECT_EQ(5u, input_adjust_stamp(&adjustment, 20, 5));
    EXPECT_EQ(15, adjustment);
    adjustment = 0;
    EXPECT_EQ(0xfffffff0u, input_adjust_stamp(&adjustment, 0xfffffff0u, 0x10u));
    EXPECT_EQ(0, adjustment);
}

TEST_F(Input, AliasesKeepTheFirstTarget) {
    // Aliases last for the process: a fresh name for each run of the test.
    static int run;
    std::string alias = "test-fire-" + std::to_string(++run);
    EXPECT_TRUE(zolm_alias(alias.c_str(), "Left Ctrl"));
    EXPECT_FALSE(zolm_alias(alias.c_str(), "Right Ctrl"));
    EXPECT_EQ(4125, zolm_button_code(nullptr, alias.c_str()));
    EXPECT_NE(std::string::npos, log_text().find("Second alias for '" + alias + "' ('Right Ctrl') ignored\n"));
}

TEST_F(Input, SystemNamesAndTheCursorFollowSdl) {
    ASSERT_NE(nullptr, open());
    // SDL names the Enter key "Return"; both names resolve.
    EXPECT_STREQ("Return", zolm_button_name(window, 4096 + 28));
    EXPECT_EQ(4096 + 28, zolm_button_code(window, "Return"));
    EXPECT_EQ(4096 + 28, zolm_button_code(window, "Enter"));
    EXPECT_STREQ("0xff", zolm_button_name(window, 4096 + 255));
    EXPECT_EQ(8192, zolm_button_code(window, "cursor-left"));

    ZolmAxis *x = zolm_axis_open(window, "cursor-x");
    ZolmAxis *y = zolm_axis_open(window, "cursor axis 1");
    ASSERT_TRUE(x && y);
    EXPECT_EQ(nullptr, zolm_axis_open(window, "cursor.axis[2]"));
    SDL_WarpMouseInWindow(SDL_GL_GetCurrentWindow(), 10, 20);
    EXPECT_EQ(10, zolm_axis_read(x));
    EXPECT_EQ(20, zolm_axis_read(y));
    zolm_axis_close(x);
    zolm_axis_close(y);
    // The cursor has no absolute axes of a joystick: the device names are empty.
    EXPECT_EQ(nullptr, zolm_device_names(window)[0]);
}

TEST_F(Input, MouseDeviceReadsRelativeMotionOnce) {
    setenv("ZOLM_OPTIONS", "[dinputsticksonly:off]", 1);
    zolm_log_reset();
    ASSERT_NE(nullptr, open());
    ZolmAxis *mx = zolm_axis_open(window, "mouse-x");
    ZolmAxis *my = zolm_axis_open(window, "Mouse axis 1");
    ASSERT_TRUE(mx && my);
    for (int i = 0; i < 2; i++) {
        SDL_Event e = {};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = 5;
        e.motion.yrel = -3;
        push(e);
    }
    EXPECT_EQ(10, zolm_axis_read(mx));
    EXPECT_EQ(0, zolm_axis_read(mx));
    EXPECT_EQ(-6, zolm_axis_read(my));
    EXPECT_EQ(0, zolm_axis_read(my));
    zolm_axis_close(mx);
    zolm_axis_close(my);

    // Device buttons count left, right, middle; events only once bound.
    drain();
    push_button(SDL_BUTTON_RIGHT, true);
    push_button(SDL_BUTTON_RIGHT, false);
    EXPECT_EQ(2u, drain().size());
    int right = zolm_button_code(window, "mouse-right");
    EXPECT_EQ(1663500288 + 1, right);
    EXPECT_EQ(-1, zolm_button_code(window, "Mouse.key[3]"));
    push_button(SDL_BUTTON_RIGHT, true);
    std::vector<QueuedEvent> got = drain();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(8194u, got[0].code);
    EXPECT_EQ((uint32_t)right, got[1].code);
    EXPECT_TRUE(got[1].pressed);
    EXPECT_STREQ("Mouse button 1", zolm_button_name(window, right));
    std::string log = log_text();
    EXPECT_NE(std::string::npos, log.find("axis 0 is relative\n"));
}

// Virtual joysticks stand in for real ones; SDL is told to deliver their
// events although the offscreen window never has the keyboard focus.
class InputJoysticks : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_JOYSTICK));
    }
    void TearDown() override {
        WindowFixture::TearDown();
        for (SDL_Joystick *j : held) SDL_JoystickClose(j);
        while (SDL_NumJoysticks() > 0 && SDL_JoystickIsVirtual(0)) SDL_JoystickDetachVirtual(0);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    // Attaches a virtual joystick and keeps a handle to drive it.
    SDL_Joystick *attach(const char *name, int axes, int buttons) {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = (Uint16)axes;
        desc.nbuttons = (Uint16)buttons;
        desc.name = name;
        int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick *j = SDL_JoystickOpen(index);
        EXPECT_NE(nullptr, j);
        held.push_back(j);
        return j;
    }
    void detach(SDL_Joystick *j) {
        SDL_JoystickID id = SDL_JoystickInstanceID(j);
        held.erase(std::find(held.begin(), held.end(), j));
        SDL_JoystickClose(j);
        for (int i = 0; i < SDL_NumJoysticks(); i++)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    std::vector<std::string> device_names() {
        std::vector<std::string> names;
        for (const char *const *n = zolm_device_names(window); *n; n++) names.push_back(*n);
        return names;
    }
    std::vector<SDL_Joystick *> held;
};

TEST_F(InputJoysticks, RollCallNamesIdsButtonsAndAxes) {
    SDL_Joystick *pad = attach("Test Pad", 2, 3);
    SDL_Joystick *pad2 = attach("Test.Pad", 1, 3);
    attach("QaZ", 0, 1);
    attach("ZaQ", 0, 1);
    ASSERT_NE(nullptr, open());

    EXPECT_EQ((std::vector<std::string>{"TestPad axis 0", "TestPad axis 1", "TestPad#2 axis 0"}), device_names());
    // Same name, second device: "#2"; ".key[3]" of three buttons fails, " button 2" works.
    EXPECT_EQ(-1, zolm_button_code(window, "TestPad.key[3]"));
    int pad_button = zolm_button_code(window, "TestPad button 2");
    EXPECT_EQ(997916672 + 2, pad_button);
    EXPECT_STREQ("TestPad button 2", zolm_button_name(window, pad_button));
    std::string log = log_text();
    EXPECT_NE(std::string::npos, log.find("DirectInput roll call...\n"));
    EXPECT_NE(std::string::npos, log.find("Test Pad ("));
    EXPECT_NE(std::string::npos, log.find("2 axes, 3 keys\n"));
    EXPECT_NE(std::string::npos, log.find("Adding axis \"TestPad#2 axis 0\"\n"));

    // Buttons of a bound device arrive as events; an unbound device's do not.
    drain();
    SDL_JoystickSetVirtualButton(pad, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(pad2, 1, SDL_PRESSED);
    std::vector<QueuedEvent> got = drain();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ((uint32_t)pad_button, got[0].code);
    EXPECT_TRUE(got[0].pressed);
    SDL_JoystickSetVirtualButton(pad, 2, SDL_RELEASED);
    got = drain();
    ASSERT_EQ(1u, got.size());
    EXPECT_FALSE(got[0].pressed);

    EXPECT_EQ(1588396032, zolm_button_code(window, "TestPad#2.key[0]"));
    // Equal hashes: the later device takes the next id.
    EXPECT_EQ(1638596608, zolm_button_code(window, "QaZ.key[0]"));
    EXPECT_EQ(1638596608 + 65536, zolm_button_code(window, "ZaQ.key[0]"));

    // Axes range -32767 ... 32767.
    ZolmAxis *a0 = zolm_axis_open(window, "TestPad.axis[0]");
    ZolmAxis *a1 = zolm_axis_open(window, "TestPad axis 1");
    ASSERT_TRUE(a0 && a1);
    EXPECT_EQ(nullptr, zolm_axis_open(window, "TestPad.axis[2]"));
    SDL_JoystickSetVirtualAxis(pad, 0, -32768);
    SDL_JoystickSetVirtualAxis(pad, 1, 12345);
    EXPECT_EQ(-32767, zolm_axis_read(a0));
    EXPECT_EQ(12345, zolm_axis_read(a1));
    EXPECT_EQ(12345, zolm_axis_read(a1));   // absolute: the position, every time
    zolm_axis_close(a0);
    zolm_axis_close(a1);

    // The joystick aliases follow the first two joysticks of the roll call
    // (aliases live for the process: only when this window defined them).
    if (log.find("Second alias for 'joystick-a-1'") == std::string::npos) {
        EXPECT_EQ(997916672, zolm_button_code(window, "joystick-a-1"));
        EXPECT_EQ(1588396032 + 1, zolm_button_code(window, "joystick-b-2"));
    }
}

TEST_F(InputJoysticks, PluggingAndUnpluggingWhileRunning) {
    ASSERT_NE(nullptr, open());
    EXPECT_EQ(nullptr, zolm_device_names(window)[0]);
    SDL_Joystick *late = attach("Late Stick", 1, 2);
    drain();
    EXPECT_EQ((std::vector<std::string>{"LateStick axis 0"}), device_names());
    int button = zolm_button_code(window, "LateStick.key[1]");
    ASSERT_EQ(518455296 + 1, button);
    ZolmAxis *axis = zolm_axis_open(window, "LateStick.axis[0]");
    ASSERT_NE(nullptr, axis);
    SDL_JoystickSetVirtualAxis(late, 0, 20000);
    SDL_JoystickSetVirtualButton(late, 1, SDL_PRESSED);
    EXPECT_EQ(20000, zolm_axis_read(axis));
    std::vector<QueuedEvent> got = drain();
    ASSERT_EQ(1u, got.size());
    EXPECT_TRUE(got[0].pressed);

    // Unplugged with the button held: released, and the axis reads 0.
    detach(late);
    got = drain();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ((uint32_t)button, got[0].code);
    EXPECT_FALSE(got[0].pressed);
    EXPECT_EQ(0, zolm_axis_read(axis));
    EXPECT_EQ(button, zolm_button_code(window, "LateStick.key[1]"));

    // Plugged in again: the same device, the same open axis.
    SDL_Joystick *again = attach("Late Stick", 1, 2);
    drain();
    SDL_JoystickSetVirtualAxis(again, 0, -1000);
    EXPECT_EQ(-1000, zolm_axis_read(axis));
    EXPECT_EQ((std::vector<std::string>{"LateStick axis 0"}), device_names());
    zolm_axis_close(axis);
    zolm_close_gl_window(window);
    window = nullptr;
    std::string log = log_text();
    EXPECT_NE(std::string::npos, log.find("\"LateStick\" removed\n"));
    EXPECT_NE(std::string::npos, log.find("\"LateStick\" is back\n"));
    EXPECT_NE(std::string::npos, log.find("Killing LateStick\n"));
}
