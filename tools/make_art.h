// The default pictures of the data set, drawn by code: the title picture,
// the HUD's tachometer, gear indicator and pit board, the roost puff and the
// plain white texture. Deterministic, byte for byte.
#pragma once

#include <vector>

#include "archive.h"

// Adds "title.png", "tach.png", "shifter.png", "pitboard.png", "roost.png"
// and "colors/white.png" as PNG members.
void art_add_pictures(std::vector<ArchiveMember> *members);
