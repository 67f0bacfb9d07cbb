// The shader program slots: build, fallback, slot switching and uniforms.
#include "render/shaders.h"

#include <cstdlib>
#include <cstring>

#include "platform/log.h"
#include "render/gl_ext.h"

// One slot's objects and its uniform locations (looked up once, on the
// first call that needs them).
struct ShaderProgram {
    GLhandleARB program, vertex, fragment;
    bool located;
    GLint nbones, bone_c, bone_t, bone_r, envmat;
};

// Whole process; filled by shaders_build, emptied by shaders_delete.
static ShaderProgram s_slots[SHADER_SLOTS];
static int s_current;    // the slot shader_use selected last
static int s_changes;    // slot changes since shader_changes_reset

// The entry points the build and the slot switch need.
static bool shaders_supported() {
    return g_glf.CreateShaderObjectARB && g_glf.ShaderSourceARB && g_glf.CompileShaderARB &&
           g_glf.GetObjectParameterivARB && g_glf.GetInfoLogARB && g_glf.CreateProgramObjectARB &&
           g_glf.AttachObjectARB && g_glf.LinkProgramARB && g_glf.UseProgramObjectARB &&
           g_glf.GetUniformLocationARB && g_glf.Uniform1iARB && g_glf.Uniform3fvARB &&
           g_glf.UniformMatrix3fvARB && g_glf.DetachObjectARB && g_glf.DeleteObjectARB;
}

// Logs the object's info log when it holds at least one byte.
static void shader_log_info(GLhandleARB object, const char *what, const char *name) {
    GLint length = 0;
    g_glf.GetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length < 1) return;
    char *text = (char *)malloc((size_t)length + 1);
    if (!text) return;
    GLsizei written = 0;
    g_glf.GetInfoLogARB(object, length, &written, text);
    if (written < 0) written = 0;
    if (written > length) written = length;
    text[written] = '\0';
    zolm_log("%s for %s:\n%s\n", what, name, text);
    free(text);
}

static bool shader_compile(GLhandleARB shader, const char *source, const char *what, const char *name) {
    g_glf.ShaderSourceARB(shader, 1, &source, nullptr);
    g_glf.CompileShaderARB(shader);
    shader_log_info(shader, what, name);
    GLint compiled = 0;
    g_glf.GetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    return compiled != 0;
}

// Builds one program into its slot. The objects are kept in the slot as
// they are made, so a failure leaves them for the cleanup to delete.
static bool shader_build_program(ShaderProgram *slot, const ShaderSource *source) {
    slot->vertex = g_glf.CreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    slot->fragment = g_glf.CreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    if (!slot->vertex || !slot->fragment) return false;
    if (!shader_compile(slot->vertex, source->vertex, "vertex shader status", source->name)) return false;
    if (!shader_compile(slot->fragment, source->fragment, "fragment shader status", source->name)) return false;

    slot->program = g_glf.CreateProgramObjectARB();
    if (!slot->program) return false;
    g_glf.AttachObjectARB(slot->program, slot->vertex);
    g_glf.AttachObjectARB(slot->program, slot->fragment);
    g_glf.LinkProgramARB(slot->program);
    shader_log_info(slot->program, "link status", source->name);
    GLint linked = 0;
    g_glf.GetObjectParameterivARB(slot->program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    return linked != 0;
}

static void shader_set_sampler(int slot, const char *sampler, int unit) {
    g_glf.UseProgramObjectARB(s_slots[slot].program);
    g_glf.Uniform1iARB(g_glf.GetUniformLocationARB(s_slots[slot].program, sampler), unit);
}

bool shaders_build() { return shaders_build_from(k_shader_sources); }

bool shaders_build_from(const ShaderSource *sources) {
    shaders_delete();
    if (!shaders_supported() || !sources) return false;
    for (int i = 0; i < SHADER_PROGRAMS; i++) {
        if (!shader_build_program(&s_slots[i + 1], &sources[i])) {
            shaders_delete();
            zolm_log("Shader programs disabled, using fixed function\n");
            return false;
        }
    }

    // Samplers: "tex" keeps unit 0 everywhere.
    shader_set_sampler(SHADER_NORM_LIT, "nmap", 1);
    shader_set_sampler(SHADER_NORM_ENV, "nmap", 1);
    shader_set_sampler(SHADER_NORM_SPEC_LIT, "nmap", 1);
    shader_set_sampler(SHADER_NORM_SPEC_LIT, "smap", 2);
    shader_set_sampler(SHADER_TERRAIN_NORMALS, "base", 1);
    shader_set_sampler(SHADER_TERRAIN, "nmap", 1);
    shader_set_sampler(SHADER_TERRAIN, "smap", 2);
    g_glf.UseProgramObjectARB(0);
    s_current = SHADER_FIXED;
    zolm_log("Built %d shader programs\n", SHADER_PROGRAMS);
    return true;
}

void shaders_delete() {
    if (s_current != SHADER_FIXED && g_glf.UseProgramObjectARB) g_glf.UseProgramObjectARB(0);
    s_current = SHADER_FIXED;
    for (int i = 1; i < SHADER_SLOTS; i++) {
        ShaderProgram *slot = &s_slots[i];
        if (g_glf.DeleteObjectARB) {
            if (slot->program && g_glf.DetachObjectARB) {
                if (slot->vertex) g_glf.DetachObjectARB(slot->program, slot->vertex);
                if (slot->fragment) g_glf.DetachObjectARB(slot->program, slot->fragment);
            }
            if (slot->vertex) g_glf.DeleteObjectARB(slot->vertex);
            if (slot->fragment) g_glf.DeleteObjectARB(slot->fragment);
            if (slot->program) g_glf.DeleteObjectARB(slot->program);
        }
        memset(slot, 0, sizeof *slot);
    }
}

void shader_use(int slot) {
    if (slot < 0 || slot >= SHADER_SLOTS || slot == s_current) return;
    if (g_glf.UseProgramObjectARB) g_glf.UseProgramObjectARB(s_slots[slot].program);
    s_current = slot;
    s_changes++;
}

int shader_current() { return s_current; }

unsigned shader_program(int slot) {
    if (slot < 1 || slot >= SHADER_SLOTS) return 0;
    return s_slots[slot].program;
}

// The slot's uniform locations, looked up on first use.
static ShaderProgram *shader_located(int slot) {
    ShaderProgram *p = &s_slots[slot];
    if (!p->program) return nullptr;
    if (!p->located) {
        p->nbones = g_glf.GetUniformLocationARB(p->program, "nbones");
        p->bone_c = g_glf.GetUniformLocationARB(p->program, "bone_c");
        p->bone_t = g_glf.GetUniformLocationARB(p->program, "bone_t");
        p->bone_r = g_glf.GetUniformLocationARB(p->program, "bone_r");
        p->envmat = g_glf.GetUniformLocationARB(p->program, "envmat");
        p->located = true;
    }
    return p;
}

void shader_set_envmat(const float rows[9]) {
    float columns[9];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) columns[3 * c + r] = rows[3 * r + c];
    static const int k_env_slots[2] = {SHADER_ENV, SHADER_NORM_ENV};
    for (int slot : k_env_slots) {
        ShaderProgram *p = shader_located(slot);
        if (!p) continue;
        shader_use(slot);
        if (p->envmat >= 0) g_glf.UniformMatrix3fvARB(p->envmat, 1, GL_FALSE, columns);
    }
    shader_use(SHADER_FIXED);
}

void shader_set_bones(int count, const float *rest_origins, const float *positions, const float *rotations) {
    if (s_current < 1 || s_current >= SHADER_SLOTS) return;
    ShaderProgram *p = shader_located(s_current);
    if (!p) return;
    if (p->nbones >= 0) g_glf.Uniform1iARB(p->nbones, count);
    if (count <= 0) return;
    int sent = count < SHADER_MAX_BONE ? count : SHADER_MAX_BONE;
    if (p->bone_c >= 0 && rest_origins) g_glf.Uniform3fvARB(p->bone_c, sent, rest_origins);
    if (p->bone_t >= 0 && positions) g_glf.Uniform3fvARB(p->bone_t, sent, positions);
    if (p->bone_r >= 0 && rotations) g_glf.UniformMatrix3fvARB(p->bone_r, sent, GL_FALSE, rotations);
}

int shader_changes() { return s_changes; }
void shader_changes_reset() { s_changes = 0; }
