// Keys: the PC scan codes that key events carry (4096 + scan code, extended
// keys + 256, so bindings in settings files name the same keys on every
// keyboard layout), their translation from SDL's USB-based scancodes, the
// built-in key table, the system key names and UTF-8 decoding for typed
// characters.
//
// Owns: the system key names, read from SDL once its video subsystem is up
// (the names follow the keyboard layout), kept for the whole process.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/platform_rules.h"
#include "platform/sdl_internal.h"

enum {
    KEY_SCANS = 512,
    KEY_NAME_BYTES = 32,
};

static const ZolmKeyRow k_key_table[] = {
    {"Esc", 1},         {"0", 11},           {"1", 2},           {"2", 3},           {"3", 4},
    {"4", 5},           {"5", 6},            {"6", 7},           {"7", 8},           {"8", 9},
    {"9", 10},          {"A", 30},           {"B", 48},          {"C", 46},          {"D", 32},
    {"E", 18},          {"F", 33},           {"G", 34},          {"H", 35},          {"I", 23},
    {"J", 36},          {"K", 37},           {"L", 38},          {"M", 49},          {"N", 50},
    {"O", 24},          {"P", 25},           {"Q", 16},          {"R", 19},          {"S", 31},
    {"T", 20},          {"U", 22},           {"V", 47},          {"W", 17},          {"X", 45},
    {"Y", 21},          {"Z", 44},           {"-", 12},          {"=", 13},          {"[", 26},
    {"]", 27},          {";", 39},           {"'", 40},          {"`", 41},          {"\\", 43},
    {",", 51},          {".", 52},           {"/", 53},          {"Backspace", 14},  {"Tab", 15},
    {"Enter", 28},      {"Left Ctrl", 29},   {"Left Shift", 42}, {"Right Shift", 54}, {"Space", 57},
    {" ", 57},          {"Caps Lock", 58},   {"Right Ctrl", 285}, {"Insert", 338},   {"Delete", 339},
    {"Home", 327},      {"End", 335},        {"Page Up", 329},   {"Page Down", 337}, {"Up", 328},
    {"Down", 336},      {"Left", 331},       {"Right", 333},     {"F1", 59},         {"F2", 60},
    {"F3", 61},         {"F4", 62},          {"F5", 63},         {"F6", 64},         {"F7", 65},
    {"F8", 66},         {"F9", 67},          {"F10", 68},        {"F11", 87},        {"F12", 88},
    {"Pause", 69},      {"Num Lock", 325},   {"Keypad /", 309},  {"Keypad *", 55},   {"Keypad -", 74},
    {"Keypad 7", 71},   {"Keypad 8", 72},    {"Keypad 9", 73},   {"Keypad +", 78},   {"Keypad 4", 75},
    {"Keypad 5", 76},   {"Keypad 6", 77},    {"Keypad 1", 79},   {"Keypad 2", 80},   {"Keypad 3", 81},
    {"Keypad Enter", 284}, {"Keypad 0", 82}, {"Keypad .", 83},
};
static const int KEY_TABLE_ROWS = (int)(sizeof k_key_table / sizeof k_key_table[0]);

struct SpecialName {
    const char *name;
    int code;
};
static const SpecialName k_special_names[] = {
    {"Close", ZOLM_CODE_CLOSE},
    {"Mouse Left", ZOLM_CODE_MOUSE_LEFT},
    {"Mouse Middle", ZOLM_CODE_MOUSE_MIDDLE},
    {"Mouse Right", ZOLM_CODE_MOUSE_RIGHT},
};

// SDL scancode -> PC scan code (set 1; extended keys + 256). Pause is 69 and
// Num Lock 325, the way the PC keyboard reports them.
struct ScanPair {
    SDL_Scancode sdl;
    int scan;
};
static const ScanPair k_scan_pairs[] = {
    {SDL_SCANCODE_ESCAPE, 1},        {SDL_SCANCODE_1, 2},            {SDL_SCANCODE_2, 3},
    {SDL_SCANCODE_3, 4},             {SDL_SCANCODE_4, 5},            {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},             {SDL_SCANCODE_7, 8},            {SDL_SCANCODE_8, 9},
    {SDL_SCANCODE_9, 10},            {SDL_SCANCODE_0, 11},           {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},       {SDL_SCANCODE_BACKSPACE, 14},   {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16},            {SDL_SCANCODE_W, 17},           {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},            {SDL_SCANCODE_T, 20},           {SDL_SCANCODE_Y, 21},
    {SDL_SCANCODE_U, 22},            {SDL_SCANCODE_I, 23},           {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},            {SDL_SCANCODE_LEFTBRACKET, 26}, {SDL_SCANCODE_RIGHTBRACKET, 27},
    {SDL_SCANCODE_RETURN, 28},       {SDL_SCANCODE_LCTRL, 29},       {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},            {SDL_SCANCODE_D, 32},           {SDL_SCANCODE_F, 33},
    {SDL_SCANCODE_G, 34},            {SDL_SCANCODE_H, 35},           {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},            {SDL_SCANCODE_L, 38},           {SDL_SCANCODE_SEMICOLON, 39},
    {SDL_SCANCODE_APOSTROPHE, 40},   {SDL_SCANCODE_GRAVE, 41},       {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},    {SDL_SCANCODE_Z, 44},           {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46},            {SDL_SCANCODE_V, 47},           {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49},            {SDL_SCANCODE_M, 50},           {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},       {SDL_SCANCODE_SLASH, 53},       {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_KP_MULTIPLY, 55},  {SDL_SCANCODE_LALT, 56},        {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_CAPSLOCK, 58},     {SDL_SCANCODE_F1, 59},          {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61},           {SDL_SCANCODE_F4, 62},          {SDL_SCANCODE_F5, 63},
    {SDL_SCANCODE_F6, 64},           {SDL_SCANCODE_F7, 65},          {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67},           {SDL_SCANCODE_F10, 68},         {SDL_SCANCODE_PAUSE, 69},
    {SDL_SCANCODE_SCROLLLOCK, 70},   {SDL_SCANCODE_KP_7, 71},        {SDL_SCANCODE_KP_8, 72},
    {SDL_SCANCODE_KP_9, 73},         {SDL_SCANCODE_KP_MINUS, 74},    {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76},         {SDL_SCANCODE_KP_6, 77},        {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79},         {SDL_SCANCODE_KP_2, 80},        {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82},         {SDL_SCANCODE_KP_PERIOD, 83},   {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87},          {SDL_SCANCODE_F12, 88},         {SDL_SCANCODE_KP_EQUALS, 89},
    {SDL_SCANCODE_F13, 100},         {SDL_SCANCODE_F14, 101},        {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_F16, 103},         {SDL_SCANCODE_F17, 104},        {SDL_SCANCODE_F18, 105},
    {SDL_SCANCODE_F19, 106},         {SDL_SCANCODE_F20, 107},        {SDL_SCANCODE_F21, 108},
    {SDL_SCANCODE_F22, 109},         {SDL_SCANCODE_F23, 110},        {SDL_SCANCODE_INTERNATIONAL2, 112},
    {SDL_SCANCODE_INTERNATIONAL1, 115}, {SDL_SCANCODE_F24, 118},     {SDL_SCANCODE_INTERNATIONAL4, 121},
    {SDL_SCANCODE_INTERNATIONAL5, 123}, {SDL_SCANCODE_INTERNATIONAL3, 125}, {SDL_SCANCODE_KP_COMMA, 126},
    // Extended keys.
    {SDL_SCANCODE_AUDIOPREV, 272},   {SDL_SCANCODE_AUDIONEXT, 281},  {SDL_SCANCODE_KP_ENTER, 284},
    {SDL_SCANCODE_RCTRL, 285},       {SDL_SCANCODE_AUDIOMUTE, 288},  {SDL_SCANCODE_CALCULATOR, 289},
    {SDL_SCANCODE_AUDIOPLAY, 290},   {SDL_SCANCODE_AUDIOSTOP, 292},  {SDL_SCANCODE_VOLUMEDOWN, 302},
    {SDL_SCANCODE_VOLUMEUP, 304},    {SDL_SCANCODE_AC_HOME, 306},    {SDL_SCANCODE_KP_DIVIDE, 309},
    {SDL_SCANCODE_PRINTSCREEN, 311}, {SDL_SCANCODE_RALT, 312},       {SDL_SCANCODE_NUMLOCKCLEAR, 325},
    {SDL_SCANCODE_HOME, 327},        {SDL_SCANCODE_UP, 328},         {SDL_SCANCODE_PAGEUP, 329},
    {SDL_SCANCODE_LEFT, 331},        {SDL_SCANCODE_RIGHT, 333},      {SDL_SCANCODE_END, 335},
    {SDL_SCANCODE_DOWN, 336},        {SDL_SCANCODE_PAGEDOWN, 337},   {SDL_SCANCODE_INSERT, 338},
    {SDL_SCANCODE_DELETE, 339},      {SDL_SCANCODE_LGUI, 347},       {SDL_SCANCODE_RGUI, 348},
    {SDL_SCANCODE_APPLICATION, 349}, {SDL_SCANCODE_POWER, 350},      {SDL_SCANCODE_SLEEP, 351},
    {SDL_SCANCODE_AC_SEARCH, 357},   {SDL_SCANCODE_AC_BOOKMARKS, 358}, {SDL_SCANCODE_AC_REFRESH, 359},
    {SDL_SCANCODE_AC_STOP, 360},     {SDL_SCANCODE_AC_FORWARD, 361}, {SDL_SCANCODE_AC_BACK, 362},
    {SDL_SCANCODE_COMPUTER, 363},    {SDL_SCANCODE_MAIL, 364},       {SDL_SCANCODE_MEDIASELECT, 365},
};

static char s_system_names[KEY_SCANS][KEY_NAME_BYTES];
static bool s_system_names_read;
static bool s_system_names_off;

const ZolmKeyRow *keys_table(int *count) {
    *count = KEY_TABLE_ROWS;
    return k_key_table;
}

int keys_pc_from_sdl(int sdl_scancode) {
    for (const ScanPair &p : k_scan_pairs)
        if ((int)p.sdl == sdl_scancode) return p.scan;
    return -1;
}

int keys_sdl_from_pc(int scan) {
    for (const ScanPair &p : k_scan_pairs)
        if (p.scan == scan) return (int)p.sdl;
    return (int)SDL_SCANCODE_UNKNOWN;
}

void keys_use_system_names(bool on) { s_system_names_off = !on; }

// The system name of a scan code, "" when there is none. Read on the first
// call after SDL's video subsystem is up: before that SDL knows no layout.
static const char *keys_system_name(int scan) {
    if (s_system_names_off || scan < 0 || scan >= KEY_SCANS) return "";
    if (!s_system_names_read) {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return "";
        for (int i = 0; i < KEY_SCANS; i++) {
            SDL_Scancode sdl = (SDL_Scancode)keys_sdl_from_pc(i);
            const char *name = sdl == SDL_SCANCODE_UNKNOWN ? "" : SDL_GetKeyName(SDL_GetKeyFromScancode(sdl));
            snprintf(s_system_names[i], KEY_NAME_BYTES, "%s", name ? name : "");
        }
        s_system_names_read = true;
    }
    return s_system_names[scan];
}

static char loose_char(char c) {
    if (isspace((unsigned char)c) || c == '_') return ' ';
    return (char)tolower((unsigned char)c);
}

static bool names_match(const char *a, const char *b, bool loose) {
    if (!loose) return strcmp(a, b) == 0;
    for (; *a && *b; a++, b++)
        if (loose_char(*a) != loose_char(*b)) return false;
    return *a == *b;
}

int keys_code_of(const char *name, bool loose) {
    for (const SpecialName &s : k_special_names)
        if (names_match(name, s.name, loose)) return s.code;
    for (int scan = 0; scan < KEY_SCANS; scan++) {
        const char *system = keys_system_name(scan);
        if (system[0] && names_match(name, system, loose)) return ZOLM_CODE_KEY + scan;
    }
    for (const ZolmKeyRow &row : k_key_table)
        if (names_match(name, row.name, loose)) return ZOLM_CODE_KEY + row.scan;
    return -1;
}

bool keys_name_of(int code, char *out, int room) {
    for (const SpecialName &s : k_special_names) {
        if (s.code == code) {
            snprintf(out, (size_t)room, "%s", s.name);
            return true;
        }
    }
    if (code < ZOLM_CODE_KEY || code >= ZOLM_CODE_KEY + KEY_SCANS) return false;
    int scan = code - ZOLM_CODE_KEY;
    const char *system = keys_system_name(scan);
    if (system[0]) {
        snprintf(out, (size_t)room, "%s", system);
        return true;
    }
    for (const ZolmKeyRow &row : k_key_table) {
        if (row.scan == scan) {
            snprintf(out, (size_t)room, "%s", row.name);
            return true;
        }
    }
    snprintf(out, (size_t)room, "0x%x", scan);
    return true;
}

bool keys_utf8_next(const char **text, uint32_t *code_point) {
    const unsigned char *s = (const unsigned char *)*text;
    if (!s[0]) return false;
    int extra;
    uint32_t cp;
    if (s[0] < 0x80) {
        extra = 0;
        cp = s[0];
    } else if ((s[0] & 0xe0) == 0xc0) {
        extra = 1;
        cp = s[0] & 0x1fu;
    } else if ((s[0] & 0xf0) == 0xe0) {
        extra = 2;
        cp = s[0] & 0x0fu;
    } else if ((s[0] & 0xf8) == 0xf0) {
        extra = 3;
        cp = s[0] & 0x07u;
    } else {
        extra = -1;
        cp = 0;
    }
    for (int i = 1; i <= extra; i++) {
        if ((s[i] & 0xc0) != 0x80) {
            extra = -1;
            break;
        }
        cp = (cp << 6) | (s[i] & 0x3fu);
    }
    // Overlong forms and surrogates are malformed too.
    static const uint32_t k_least[4] = {0, 0x80, 0x800, 0x10000};
    if (extra >= 0 && (cp < k_least[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))) extra = -1;
    if (extra < 0) {
        *code_point = 0xfffd;
        *text += 1;
        return true;
    }
    *code_point = cp;
    *text += 1 + extra;
    return true;
}
