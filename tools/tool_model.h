// "quorvin-tool model": loads a model the way the game does, headless.
#pragma once

// argv: FILE [--pov OUT]. Prints the pieces (kind, material, vertex and
// triangle counts), the bones, the LOD levels and every warning the load
// logs; with --pov writes each piece of the full model as a POV-Ray
// "mesh2". 0 on success, 1 on failure or when the load warned.
int tool_model(int argc, char **argv);
