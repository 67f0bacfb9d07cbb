// "quorvin-tool model": loads a ".vx" model as the game would, without a
// window, and tells what it holds, so people who make bikes and riders see
// warnings before the game does.
#include "tool_model.h"

#include <cstdio>
#include <cstring>

#include "files/model.h"
#include "files/vfs.h"

static int s_model_warnings;

static void tool_model_warning(const char *line) {
    s_model_warnings++;
    printf("%s", line);
    size_t n = strlen(line);
    if (n == 0 || line[n - 1] != '\n') printf("\n");
}

static int tool_model_fail(const char *what, const char *name) {
    fprintf(stderr, "quorvin-tool: %s %s\n", what, name);
    return 1;
}

static const char *tool_model_kind(int kind) {
    switch (kind) {
    case MODEL_REFLECTION: return "reflection";
    case MODEL_SELF_LIT: return "self-lit";
    default: return "lit";
    }
}

static void tool_model_level(const Model *level) {
    int pieces = 0, vertices = 0, triangles = 0;
    for (const Model *p = level; p; p = p->next) pieces++, vertices += p->vertex_count, triangles += p->triangle_count;
    if (level->lod_distance > 0.0f) printf("level at distance %g: %s\n", level->lod_distance, level->name);
    printf("%d pieces, %d vertices, %d triangles, %d bones\n", pieces, vertices, triangles, level->bone_count);
    int i = 0;
    for (const Model *p = level; p; p = p->next, i++) {
        printf("  piece %d: %s, colour %g %g %g %g, shininess %g, %d vertices, %d triangles\n", i,
               tool_model_kind(p->kind), p->color[0], p->color[1], p->color[2], p->color[3], p->shininess,
               p->vertex_count, p->triangle_count);
    }
}

int tool_model(int argc, char **argv) {
    const char *file = nullptr, *pov = nullptr;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--pov") == 0) {
            if (i + 1 >= argc) return tool_model_fail("--pov needs", "a file name");
            pov = argv[++i];
        } else if (!file) {
            file = argv[i];
        } else {
            return tool_model_fail("unexpected argument", argv[i]);
        }
    }
    if (!file) return tool_model_fail("no model", "named");

    s_model_warnings = 0;
    model_set_warning_hook(tool_model_warning);
    Model *model = model_load(file);
    model_set_warning_hook(nullptr);
    if (!model) return tool_model_fail("can't load model", file);

    int levels = 0;
    for (const Model *l = model->next_lod; l; l = l->next_lod) levels++;
    printf("model %s: %d LOD levels%s\n", model->name, levels, model->has_reflection ? ", reflective" : "");
    for (const Model *l = model; l; l = l->next_lod) tool_model_level(l);

    int status = s_model_warnings > 0 ? 1 : 0;
    if (s_model_warnings > 0) printf("%d warnings\n", s_model_warnings);
    if (pov) {
        VfsFile *out = vfs_open(pov, "wb");
        if (!out) {
            status = tool_model_fail("can't write", pov);
        } else {
            for (const Model *p = model; p; p = p->next) model_export_pov(p, out);
            vfs_close(out);
        }
    }
    models_free();
    return status;
}
