// The screenshot key: the frame as "@screenshot%03d.png" in the home
// directory, numbered one above the highest existing screenshot.
#pragma once

// The highest N of the files in dir whose names begin with "screenshot"
// followed by digits N (0 when there are none).
int screenshot_highest_number(const char *dir);
// Reads back the frame (width x height) and writes the next screenshot;
// shows "Saved \"screenshot%03d.png\"". False when it could not be written.
bool screenshot_save(int width, int height);
