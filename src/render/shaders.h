// The shader programs: seven GLSL programs in numbered slots, built through
// the ARB shader-object interface, with the slot switch the renderer uses,
// the skinning bones and the environment matrix. Slot 0 is the fixed-function
// pipeline.
//
// Owns: the program and shader objects of slots 1-7 (from shaders_build to
// shaders_delete), the current slot and the count of slot changes.
// Never: leaves part of the programs built. When any of the seven fails to
// compile or link, none is kept, every slot holds program 0 and the renderer
// draws with fixed function.
#pragma once

enum ShaderSlot {
    SHADER_FIXED = 0,
    SHADER_LIT = 1,              // per-pixel lighting; tex 0
    SHADER_ENV = 2,              // environment map; tex 0
    SHADER_NORM_LIT = 3,         // normal-mapped lighting; tex 0, nmap 1
    SHADER_NORM_ENV = 4,         // normal-mapped environment; tex 0, nmap 1
    SHADER_NORM_SPEC_LIT = 5,    // normal and specular maps; tex 0, nmap 1, smap 2
    SHADER_TERRAIN_NORMALS = 6,  // terrain normal composition; tex 0, base 1
    SHADER_TERRAIN = 7,          // terrain lighting; tex 0, nmap 1, smap 2
    SHADER_SLOTS = 8,
    SHADER_PROGRAMS = 7,         // slots 1-7
    SHADER_MAX_BONE = 10,        // the length of the bone uniform arrays
};

// One program's name and its two single-string sources.
struct ShaderSource {
    const char *name;
    const char *vertex;
    const char *fragment;
};

// The sources of slots 1-7, in slot order.
extern const ShaderSource k_shader_sources[SHADER_PROGRAMS];

// Compiles and links slots 1-7 in slot order, logging each non-empty info
// log ("%s for %s:\n%s\n" with "vertex shader status", "fragment shader
// status" or "link status"), then binds the samplers and logs "Built 7
// shader programs\n". On any failure deletes every program, logs "Shader
// programs disabled, using fixed function\n" and returns false. Needs
// gl_detect first; false (silently) when the shader-object entry points are
// missing.
bool shaders_build();
// The same from other sources (SHADER_PROGRAMS of them), for tests.
bool shaders_build_from(const ShaderSource *sources);
// Detaches and deletes every shader and program object; slot 0 is current.
void shaders_delete();

// Selects a slot: slots above 7 (or below 0) and the current slot do nothing;
// otherwise the slot's program (0 for slot 0, and for every slot while no
// programs are built) is made current and one change is counted.
void shader_use(int slot);
int shader_current();
// The program object of slots 1-7, else 0.
unsigned shader_program(int slot);

// Sets "envmat" of slots 2 and 4 from nine floats in row order (element
// (r, c) at 3r + c), sent in column order; ends on slot 0.
void shader_set_envmat(const float rows[9]);
// For the current slot (1-7): "nbones" = count, and with count > 0 the rest
// origins "bone_c" and positions "bone_t" (3 floats a bone) and the rotations
// "bone_r" (9 floats a bone, already in column order). At most
// SHADER_MAX_BONE bones of the arrays are sent.
void shader_set_bones(int count, const float *rest_origins, const float *positions, const float *rotations);

// Slot changes since the last reset (the frame statistics).
int shader_changes();
void shader_changes_reset();
