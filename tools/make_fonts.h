// The font atlases of the data set: "font.png" (the printable ASCII
// characters), "numbers.png" and "numbers-condensed.png" (the digits, white
// with a black outline, for the number plates), rendered from the DejaVu
// fonts through FreeType into the marker-grid layout the game's atlas reader
// takes. Deterministic, byte for byte, for one FreeType and font version.
#pragma once

#include <string>
#include <vector>

#include "archive.h"

// Where the Debian package fonts-dejavu-core puts the fonts.
extern const char *const k_font_dir;   // "/usr/share/fonts/truetype/dejavu"

// Renders the three atlases from the fonts in font_dir and adds them as PNG
// members. False, with the reason in *error and members unchanged, when a
// font file is missing or does not render.
bool fonts_build_atlases(const std::string &font_dir, std::vector<ArchiveMember> *members, std::string *error);

// The same from k_font_dir for the data set builder; a missing font ends the
// program with a message naming the file and the package that brings it.
void fonts_add_atlases(std::vector<ArchiveMember> *members);
