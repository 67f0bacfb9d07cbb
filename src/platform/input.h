// Input names and devices: every key, mouse button, joystick button and axis
// has a text name, so bindings in the settings are plain names ("Left Ctrl",
// "Joystick1.key[0]", "Joystick1 axis 2", "joystick-a-x").
//
// Owns: the alias list and the interned names (whole process), the devices
// of each window (from its open to its close).
//
// A null window is allowed where a name needs no device: keys, mouse buttons,
// "Close", "0x" codes and aliases of those resolve and name without a window.
// The system key names (SDL's, following the keyboard layout) join once a
// window has started SDL's video; before that only the built-in table knows
// keys.
#pragma once

#include <cstdint>

struct ZolmWindow;
struct ZolmAxis;   // an open axis: a device and an axis number

// The code a button name stands for (key, mouse button, special name, device
// button; loose matching and "0x" codes), or -1. Marks the device active, so
// its buttons are queued as events from then on.
int zolm_button_code(ZolmWindow *w, const char *name);
// The interned name of a code, or none. The pointer stays valid for the
// whole process.
const char *zolm_button_name(ZolmWindow *w, int code);

// Opens "device.axis[n]", "device axis n" or an alias of one; none when no
// such axis. Reading pumps the window's events first; an absolute axis gives
// its position (-32767 ... 32767 for joysticks, client pixels for "cursor"),
// a relative one the motion since the last read. An unplugged joystick's
// axes read 0 until it is plugged in again.
ZolmAxis *zolm_axis_open(ZolmWindow *w, const char *name);
int32_t zolm_axis_read(ZolmAxis *axis);
void zolm_axis_close(ZolmAxis *axis);

// Adds an alias; the first alias defined for a name wins.
bool zolm_alias(const char *alias, const char *target);
