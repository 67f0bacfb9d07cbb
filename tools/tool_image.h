// "quorvin-tool image": decodes a picture the way the game reads it.
#pragma once

// argv: FILE [--out OUT.png]. Prints the size, channels and info text; with
// --out writes the base level as PNG (an "ANIM1" sequence: frame k of the
// sequence as OUT-k.png). 0 on success, 1 with a message on standard error.
int tool_image(int argc, char **argv);
