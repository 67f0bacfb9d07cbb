// The GL probe: strings, version, extension flags and entry points.
#include "render/gl_ext.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/log.h"
#include "platform/window.h"

GlCaps g_gl;
GlFunctions g_glf;

// One entry point: its GL name and where its pointer goes.
struct GlEntryPoint {
    const char *name;
    size_t offset;   // into GlFunctions
};

static const GlEntryPoint k_entry_points[] = {
#define GL_EXT_ROW(type, name) {"gl" #name, offsetof(GlFunctions, name)},
    GL_EXT_ENTRY_POINTS(GL_EXT_ROW)
#undef GL_EXT_ROW
};

static_assert(sizeof(PFNGLACTIVETEXTUREARBPROC) == sizeof(void *), "entry points are stored as data pointers");

enum { GL_ENTRY_POINT_COUNT = (int)(sizeof k_entry_points / sizeof k_entry_points[0]) };

int gl_entry_point_count() { return GL_ENTRY_POINT_COUNT; }

const char *gl_entry_point_name(int i) {
    if (i < 0 || i >= GL_ENTRY_POINT_COUNT) return nullptr;
    return k_entry_points[i].name;
}

bool gl_extension_listed(const char *extensions, const char *name) {
    if (!extensions || !name) return false;
    size_t length = strlen(name);
    if (length == 0) return false;
    for (const char *at = strstr(extensions, name); at; at = strstr(at + 1, name)) {
        bool starts = at == extensions || at[-1] == ' ';
        bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

static const char *gl_string(GLenum which) {
    const char *text = (const char *)glGetString(which);
    return text ? text : "NULL";
}

void gl_detect() {
    memset(&g_gl, 0, sizeof g_gl);
    g_gl.vendor = gl_string(GL_VENDOR);
    g_gl.renderer = gl_string(GL_RENDERER);
    g_gl.version = gl_string(GL_VERSION);
    g_gl.extensions = gl_string(GL_EXTENSIONS);
    // A version that does not parse leaves 0.0, the oldest GL.
    if (sscanf(g_gl.version, "%d.%d", &g_gl.major, &g_gl.minor) != 2) g_gl.minor = 0;

    const char *ext = g_gl.extensions;
    g_gl.generate_mipmap = gl_extension_listed(ext, "GL_SGIS_generate_mipmap");
    g_gl.framebuffer_object = gl_extension_listed(ext, "GL_EXT_framebuffer_object");
    g_gl.multitexture = gl_extension_listed(ext, "GL_ARB_multitexture");
    g_gl.fragment_shader = gl_extension_listed(ext, "GL_ARB_fragment_shader");
    g_gl.vertex_shader = gl_extension_listed(ext, "GL_ARB_vertex_shader");

    // Fixed-function GL always has its one unit.
    g_gl.texture_units = 1;
    if (g_gl.multitexture) {
        GLint units = 0;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        g_gl.texture_units = units;
        zolm_log("%d texture units\n", g_gl.texture_units);
    }

    // The pointers are stored through memcpy: the table's fields have
    // function-pointer types and the platform hands out a data pointer.
    memset(&g_glf, 0, sizeof g_glf);
    for (int i = 0; i < GL_ENTRY_POINT_COUNT; i++) {
        void *proc = zolm_gl_proc(k_entry_points[i].name);
        memcpy((char *)&g_glf + k_entry_points[i].offset, &proc, sizeof proc);
    }
}
