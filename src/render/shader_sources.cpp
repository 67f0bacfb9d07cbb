// The GLSL text of the seven programs. Written in GLSL 1.10 against the
// fixed pipeline's built-in state (lights, material, fog, matrices), so the
// same text compiles on old drivers and on Mesa. Light 0 is a directional
// light and all lighting is done in eye space.
//
// Each source is one string that begins with the bone-array size; a few
// further defines then pick the parts of a shared body a program needs:
//   LIGHTING    the vertex stage hands over light, diffuse and ambient
//   COLOR       the vertex colour is passed on
//   TEXCOORD    texture coordinate 0 is passed on
//   TANGENT     a tangent (texture coordinate 1) goes along with the normal
//   NORMAL_MAP  the fragment normal is perturbed by "nmap"
//   SPECULAR_MAP  "smap" gives the specular colour and exponent
#include "render/shaders.h"

#define HEADER "#define MAX_BONE 10\n"

// The lit and env transforms: fixed-pipeline positions without bones,
// weighted bones from texture coordinates 2 (weights) and 3 (indices).
#define VERTEX_BODY                                                               \
    "uniform int nbones;\n"                                                       \
    "uniform vec3 bone_c[MAX_BONE];\n"                                            \
    "uniform vec3 bone_t[MAX_BONE];\n"                                            \
    "uniform mat3 bone_r[MAX_BONE];\n"                                            \
    "varying vec3 normal;\n"                                                      \
    "varying vec3 viewer;\n"                                                      \
    "#ifdef LIGHTING\n"                                                           \
    "varying vec3 light;\n"                                                       \
    "varying vec4 diffuse;\n"                                                     \
    "varying vec4 ambient;\n"                                                     \
    "#endif\n"                                                                    \
    "#ifdef COLOR\n"                                                              \
    "varying vec4 color;\n"                                                       \
    "#endif\n"                                                                    \
    "#ifdef TANGENT\n"                                                            \
    "varying vec3 tangent;\n"                                                     \
    "#endif\n"                                                                    \
    "vec3 skin_v;\n"                                                              \
    "vec3 skin_n;\n"                                                              \
    "vec3 skin_t;\n"                                                              \
    "void skin(float w, float index) {\n"                                         \
    "    int b = int(clamp(index, 0.0, float(MAX_BONE - 1)));\n"                  \
    "    mat3 r = bone_r[b];\n"                                                   \
    "    skin_v += w * (r * (gl_Vertex.xyz - bone_c[b]) + bone_t[b]);\n"          \
    "    skin_n += w * (r * gl_Normal);\n"                                        \
    "#ifdef TANGENT\n"                                                            \
    "    skin_t += w * (r * gl_MultiTexCoord1.xyz);\n"                            \
    "#endif\n"                                                                    \
    "}\n"                                                                         \
    "void main() {\n"                                                             \
    "#ifdef LIGHTING\n"                                                           \
    "    light = normalize(gl_LightSource[0].position.xyz);\n"                    \
    "    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;\n"       \
    "    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient\n"        \
    "            + gl_LightModel.ambient * gl_FrontMaterial.ambient;\n"           \
    "    ambient.a = min(ambient.a, 1.0);\n"                                      \
    "#endif\n"                                                                    \
    "#ifdef COLOR\n"                                                              \
    "    color = gl_Color;\n"                                                     \
    "#endif\n"                                                                    \
    "#ifdef TEXCOORD\n"                                                           \
    "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"                                   \
    "#endif\n"                                                                    \
    "    if (nbones > 0) {\n"                                                     \
    "        skin_v = vec3(0.0);\n"                                               \
    "        skin_n = vec3(0.0);\n"                                               \
    "        skin_t = vec3(0.0);\n"                                               \
    "        skin(gl_MultiTexCoord2.x, gl_MultiTexCoord3.x);\n"                   \
    "        skin(gl_MultiTexCoord2.y, gl_MultiTexCoord3.y);\n"                   \
    "        skin(gl_MultiTexCoord2.z, gl_MultiTexCoord3.z);\n"                   \
    "        skin(gl_MultiTexCoord2.w, gl_MultiTexCoord3.w);\n"                   \
    "        vec4 p = vec4(skin_v, 1.0);\n"                                       \
    "        viewer = (gl_ModelViewMatrix * p).xyz;\n"                            \
    "        normal = normalize(gl_NormalMatrix * skin_n);\n"                     \
    "#ifdef TANGENT\n"                                                            \
    "        tangent = normalize(gl_NormalMatrix * skin_t);\n"                    \
    "#endif\n"                                                                    \
    "        gl_Position = gl_ModelViewProjectionMatrix * p;\n"                   \
    "    } else {\n"                                                              \
    "        normal = normalize(gl_NormalMatrix * gl_Normal);\n"                  \
    "#ifdef TANGENT\n"                                                            \
    "        tangent = normalize(gl_NormalMatrix * gl_MultiTexCoord1.xyz);\n"     \
    "#endif\n"                                                                    \
    "        vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n"                        \
    "        viewer = eye.xyz / eye.w;\n"                                         \
    "        gl_Position = ftransform();\n"                                       \
    "    }\n"                                                                     \
    "}\n"

// Shared fragment helpers: the normal-map perturbation, the specular power
// (0 where the reflection misses the light, so a zero exponent gives no
// NaN), and exponential fog on the fragment's depth.
#define FRAGMENT_HELPERS                                                          \
    "#ifdef NORMAL_MAP\n"                                                         \
    "uniform sampler2D nmap;\n"                                                   \
    "varying vec3 tangent;\n"                                                     \
    "vec3 perturb(vec3 n, vec2 st) {\n"                                           \
    "    vec3 t = normalize(tangent - n * dot(n, tangent));\n"                    \
    "    vec3 b = cross(n, t);\n"                                                 \
    "    vec3 m = texture2D(nmap, st).rgb * 2.0 - 1.0;\n"                         \
    "    return normalize(t * m.x + b * m.y + n * m.z);\n"                        \
    "}\n"                                                                         \
    "#endif\n"                                                                    \
    "float spec_power(float x, float e) {\n"                                      \
    "    return x > 0.0 ? pow(x, e) : 0.0;\n"                                     \
    "}\n"                                                                         \
    "vec3 fog(vec3 rgb) {\n"                                                      \
    "    float z = gl_FragCoord.z / gl_FragCoord.w;\n"                            \
    "    float f = clamp(exp2(-1.4426950408889634 * gl_Fog.density * z), 0.0, 1.0);\n" \
    "    return gl_Fog.color.rgb * (1.0 - f) + rgb * f;\n"                        \
    "}\n"

// Per-pixel lighting (slots 1, 3 and 5).
#define LIT_FRAGMENT_BODY                                                         \
    "uniform sampler2D tex;\n"                                                    \
    "#ifdef SPECULAR_MAP\n"                                                       \
    "uniform sampler2D smap;\n"                                                   \
    "#endif\n"                                                                    \
    "varying vec3 normal;\n"                                                      \
    "varying vec3 viewer;\n"                                                      \
    "varying vec3 light;\n"                                                       \
    "varying vec4 diffuse;\n"                                                     \
    "varying vec4 ambient;\n"                                                     \
    FRAGMENT_HELPERS                                                              \
    "void main() {\n"                                                             \
    "    vec2 st = gl_TexCoord[0].st;\n"                                          \
    "    vec3 n = normalize(normal);\n"                                           \
    "#ifdef NORMAL_MAP\n"                                                         \
    "    n = perturb(n, st);\n"                                                   \
    "#endif\n"                                                                    \
    "    float ndl = dot(n, light);\n"                                            \
    "    float rdl = max(dot(reflect(normalize(viewer), n), light), 0.0);\n"      \
    "    if (ndl < 0.0) {\n"                                                      \
    "        ndl = 0.0;\n"                                                        \
    "        rdl = 0.0;\n"                                                        \
    "    }\n"                                                                     \
    "    vec4 color = ambient + vec4(diffuse.rgb * ndl, diffuse.a);\n"            \
    "    color *= texture2D(tex, st);\n"                                          \
    "#ifdef SPECULAR_MAP\n"                                                       \
    "    vec4 s = texture2D(smap, st);\n"                                         \
    "    float e = s.a * 128.0 + 0.125;\n"                                        \
    "    if (e >= 127.875) e = gl_FrontMaterial.shininess;\n"                     \
    "    color.rgb += s.rgb * gl_LightSource[0].specular.rgb * spec_power(rdl, e);\n" \
    "#else\n"                                                                     \
    "    color.rgb += gl_FrontMaterial.specular.rgb * gl_LightSource[0].specular.rgb\n" \
    "               * spec_power(rdl, gl_FrontMaterial.shininess);\n"             \
    "#endif\n"                                                                    \
    "    color.rgb = fog(color.rgb);\n"                                           \
    "    gl_FragColor = color;\n"                                                 \
    "}\n"

// Environment lookup (slots 2 and 4): the reflected view direction, turned
// by envmat, indexes an angular map around the up axis.
#define ENV_FRAGMENT_BODY                                                         \
    "uniform sampler2D tex;\n"                                                    \
    "uniform mat3 envmat;\n"                                                      \
    "varying vec3 normal;\n"                                                      \
    "varying vec3 viewer;\n"                                                      \
    "varying vec4 color;\n"                                                       \
    FRAGMENT_HELPERS                                                              \
    "void main() {\n"                                                             \
    "    vec3 n = normalize(normal);\n"                                           \
    "#ifdef NORMAL_MAP\n"                                                         \
    "    n = perturb(n, gl_TexCoord[0].st);\n"                                    \
    "#endif\n"                                                                    \
    "    vec3 v = normalize(envmat * reflect(viewer, n));\n"                      \
    "    vec2 tc = normalize(v.xz) * acos(clamp(v.y, -1.0, 1.0)) * 0.15915494309189535 + 0.5;\n" \
    "    gl_FragColor = texture2D(tex, tc) * color;\n"                            \
    "}\n"

// Terrain transform (slot 7): the lit transform without bones and without
// the light-model ambient term.
#define TERRAIN_VERTEX_BODY                                                       \
    "varying vec3 normal;\n"                                                      \
    "varying vec3 viewer;\n"                                                      \
    "varying vec3 light;\n"                                                       \
    "varying vec4 diffuse;\n"                                                     \
    "varying vec4 ambient;\n"                                                     \
    "void main() {\n"                                                             \
    "    light = normalize(gl_LightSource[0].position.xyz);\n"                    \
    "    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;\n"       \
    "    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient;\n"       \
    "    ambient.a = min(ambient.a, 1.0);\n"                                      \
    "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"                                   \
    "    normal = normalize(gl_NormalMatrix * gl_Normal);\n"                      \
    "    vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n"                            \
    "    viewer = eye.xyz / eye.w;\n"                                             \
    "    gl_Position = ftransform();\n"                                           \
    "}\n"

// Terrain lighting (slot 7): the normal comes from the terrain normal
// texture (red and blue hold x and z, green the baked shade).
#define TERRAIN_FRAGMENT_BODY                                                     \
    "uniform sampler2D tex;\n"                                                    \
    "uniform sampler2D nmap;\n"                                                   \
    "uniform sampler2D smap;\n"                                                   \
    "varying vec3 viewer;\n"                                                      \
    "varying vec3 light;\n"                                                       \
    "varying vec4 diffuse;\n"                                                     \
    "varying vec4 ambient;\n"                                                     \
    FRAGMENT_HELPERS                                                              \
    "void main() {\n"                                                             \
    "    vec2 st = gl_TexCoord[0].st;\n"                                          \
    "    vec3 raw = texture2D(nmap, st).rgb;\n"                                   \
    "    float shade = raw.g;\n"                                                  \
    "    vec3 m = raw * 2.0 - 1.0;\n"                                             \
    "    m.y = sqrt(max(1.0 - m.z * m.z - m.x * m.x, 0.0));\n"                    \
    "    vec3 n = normalize(gl_NormalMatrix * m);\n"                              \
    "    float ndl = dot(n, light);\n"                                            \
    "    float rdl = max(dot(reflect(normalize(viewer), n), light), 0.0);\n"      \
    "    if (ndl < 0.0) {\n"                                                      \
    "        ndl = 0.0;\n"                                                        \
    "        rdl = 0.0;\n"                                                        \
    "    }\n"                                                                     \
    "    vec4 color = vec4(ambient.rgb + diffuse.rgb * ndl * shade, ambient.a);\n" \
    "    color *= texture2D(tex, st);\n"                                          \
    "    vec4 s = texture2D(smap, st);\n"                                         \
    "    float e = s.g * 128.0 + 0.125;\n"                                        \
    "    color.rgb += s.r * gl_LightSource[0].specular.rgb * spec_power(rdl, e) * shade;\n" \
    "    color.rgb = fog(color.rgb);\n"                                           \
    "    gl_FragColor = color;\n"                                                 \
    "}\n"

// Terrain normal composition (slot 6): the detail normal map "tex", turned
// to follow the screen-space slope of coordinate s, set into the frame of
// the base normal map "base" (read at the projected coordinate tc).
#define TERRAIN_NORMALS_VERTEX_BODY                                               \
    "varying vec2 tc;\n"                                                          \
    "void main() {\n"                                                             \
    "    vec4 p = gl_TextureMatrix[1] * gl_Vertex;\n"                             \
    "    tc = p.xy / p.w;\n"                                                      \
    "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"                                   \
    "    gl_Position = ftransform();\n"                                           \
    "}\n"

#define TERRAIN_NORMALS_FRAGMENT_BODY                                             \
    "uniform sampler2D tex;\n"                                                    \
    "uniform sampler2D base;\n"                                                   \
    "varying vec2 tc;\n"                                                          \
    "void main() {\n"                                                             \
    "    float s = gl_TexCoord[0].s;\n"                                           \
    "    vec2 c = normalize(vec2(dFdx(s), -dFdy(s)));\n"                          \
    "    mat2 rotation = mat2(c, vec2(-c.y, c.x));\n"                             \
    "    vec4 detail = texture2D(tex, gl_TexCoord[0].st);\n"                      \
    "    vec3 d = detail.xzy * 2.0 - 1.0;\n"                                      \
    "    d.x = -d.x;\n"                                                           \
    "    d.xz = vec2(d.x, d.z) * rotation;\n"                                     \
    "    vec4 b = texture2D(base, tc);\n"                                         \
    "    float baseshade = b.y;\n"                                                \
    "    vec3 r1 = b.xyz * 2.0 - 1.0;\n"                                          \
    "    r1.y = sqrt(max(1.0 - r1.z * r1.z - r1.x * r1.x, 0.0));\n"               \
    "    vec3 r0 = vec3(1.0, 0.0, 0.0);\n"                                        \
    "    vec3 r2 = normalize(cross(r0, r1));\n"                                   \
    "    r0 = normalize(cross(r1, r2));\n"                                        \
    "    vec3 n = normalize(r0 * d.x + r1 * d.y + r2 * d.z);\n"                   \
    "    const float edge = 126.0 / 128.0;\n"                                     \
    "    if (n.x * n.x + n.z * n.z > edge * edge) {\n"                            \
    "        n.y = 0.0;\n"                                                        \
    "        n = normalize(n) * edge;\n"                                          \
    "    }\n"                                                                     \
    "    gl_FragColor = vec4((n.x + 1.0) * 0.5, baseshade, (n.z + 1.0) * 0.5, detail.a);\n" \
    "}\n"

const ShaderSource k_shader_sources[SHADER_PROGRAMS] = {
    {"lit",
     HEADER "#define LIGHTING\n#define TEXCOORD\n" VERTEX_BODY,
     HEADER LIT_FRAGMENT_BODY},
    {"env",
     HEADER "#define COLOR\n" VERTEX_BODY,
     HEADER ENV_FRAGMENT_BODY},
    {"norm_lit",
     HEADER "#define LIGHTING\n#define TEXCOORD\n#define TANGENT\n" VERTEX_BODY,
     HEADER "#define NORMAL_MAP\n" LIT_FRAGMENT_BODY},
    {"norm_env",
     HEADER "#define COLOR\n#define TEXCOORD\n#define TANGENT\n" VERTEX_BODY,
     HEADER "#define NORMAL_MAP\n" ENV_FRAGMENT_BODY},
    {"norm_spec_lit",
     HEADER "#define LIGHTING\n#define TEXCOORD\n#define TANGENT\n" VERTEX_BODY,
     HEADER "#define NORMAL_MAP\n#define SPECULAR_MAP\n" LIT_FRAGMENT_BODY},
    {"terrain_normals",
     HEADER TERRAIN_NORMALS_VERTEX_BODY,
     HEADER TERRAIN_NORMALS_FRAGMENT_BODY},
    {"terrain",
     HEADER TERRAIN_VERTEX_BODY,
     HEADER TERRAIN_FRAGMENT_BODY},
};
