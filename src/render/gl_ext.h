// The GL probe: the driver's identification strings and version, the five
// extensions the renderer can use, and the extension entry points, fetched
// once after the window and its context exist.
//
// Owns: g_gl and g_glf, filled by gl_detect (once per window) and read by
// every renderer module; the strings point at the driver's own text.
// Never: calls an entry point for an extension the driver did not list.
// Entry points are fetched whether or not their extension is listed; the
// missing ones stay null, and the flags below say which may be called.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct GlCaps {
    const char *vendor;            // "NULL" when the driver gives none
    const char *renderer;
    const char *version;
    const char *extensions;
    int major, minor;              // "%d.%d" of the version; 0 when it does not parse
    bool generate_mipmap;          // GL_SGIS_generate_mipmap
    bool framebuffer_object;       // GL_EXT_framebuffer_object
    bool multitexture;             // GL_ARB_multitexture
    bool fragment_shader;          // GL_ARB_fragment_shader
    bool vertex_shader;            // GL_ARB_vertex_shader
    int texture_units;             // GL_MAX_TEXTURE_UNITS_ARB with multitexture, else 1
};

// Every entry point the renderer may fetch, as X(type, name without "gl").
#define GL_EXT_ENTRY_POINTS(X)                                                        \
    X(PFNGLACTIVETEXTUREARBPROC, ActiveTextureARB)                                    \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, ClientActiveTextureARB)                        \
    X(PFNGLMULTITEXCOORD1DARBPROC, MultiTexCoord1dARB)                                \
    X(PFNGLMULTITEXCOORD1DVARBPROC, MultiTexCoord1dvARB)                              \
    X(PFNGLMULTITEXCOORD1FARBPROC, MultiTexCoord1fARB)                                \
    X(PFNGLMULTITEXCOORD1FVARBPROC, MultiTexCoord1fvARB)                              \
    X(PFNGLMULTITEXCOORD1IARBPROC, MultiTexCoord1iARB)                                \
    X(PFNGLMULTITEXCOORD1IVARBPROC, MultiTexCoord1ivARB)                              \
    X(PFNGLMULTITEXCOORD1SARBPROC, MultiTexCoord1sARB)                                \
    X(PFNGLMULTITEXCOORD1SVARBPROC, MultiTexCoord1svARB)                              \
    X(PFNGLMULTITEXCOORD2DARBPROC, MultiTexCoord2dARB)                                \
    X(PFNGLMULTITEXCOORD2DVARBPROC, MultiTexCoord2dvARB)                              \
    X(PFNGLMULTITEXCOORD2FARBPROC, MultiTexCoord2fARB)                                \
    X(PFNGLMULTITEXCOORD2FVARBPROC, MultiTexCoord2fvARB)                              \
    X(PFNGLMULTITEXCOORD2IARBPROC, MultiTexCoord2iARB)                                \
    X(PFNGLMULTITEXCOORD2IVARBPROC, MultiTexCoord2ivARB)                              \
    X(PFNGLMULTITEXCOORD2SARBPROC, MultiTexCoord2sARB)                                \
    X(PFNGLMULTITEXCOORD2SVARBPROC, MultiTexCoord2svARB)                              \
    X(PFNGLMULTITEXCOORD3DARBPROC, MultiTexCoord3dARB)                                \
    X(PFNGLMULTITEXCOORD3DVARBPROC, MultiTexCoord3dvARB)                              \
    X(PFNGLMULTITEXCOORD3FARBPROC, MultiTexCoord3fARB)                                \
    X(PFNGLMULTITEXCOORD3FVARBPROC, MultiTexCoord3fvARB)                              \
    X(PFNGLMULTITEXCOORD3IARBPROC, MultiTexCoord3iARB)                                \
    X(PFNGLMULTITEXCOORD3IVARBPROC, MultiTexCoord3ivARB)                              \
    X(PFNGLMULTITEXCOORD3SARBPROC, MultiTexCoord3sARB)                                \
    X(PFNGLMULTITEXCOORD3SVARBPROC, MultiTexCoord3svARB)                              \
    X(PFNGLMULTITEXCOORD4DARBPROC, MultiTexCoord4dARB)                                \
    X(PFNGLMULTITEXCOORD4DVARBPROC, MultiTexCoord4dvARB)                              \
    X(PFNGLMULTITEXCOORD4FARBPROC, MultiTexCoord4fARB)                                \
    X(PFNGLMULTITEXCOORD4FVARBPROC, MultiTexCoord4fvARB)                              \
    X(PFNGLMULTITEXCOORD4IARBPROC, MultiTexCoord4iARB)                                \
    X(PFNGLMULTITEXCOORD4IVARBPROC, MultiTexCoord4ivARB)                              \
    X(PFNGLMULTITEXCOORD4SARBPROC, MultiTexCoord4sARB)                                \
    X(PFNGLMULTITEXCOORD4SVARBPROC, MultiTexCoord4svARB)                              \
    X(PFNGLISRENDERBUFFEREXTPROC, IsRenderbufferEXT)                                  \
    X(PFNGLBINDRENDERBUFFEREXTPROC, BindRenderbufferEXT)                              \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, DeleteRenderbuffersEXT)                        \
    X(PFNGLGENRENDERBUFFERSEXTPROC, GenRenderbuffersEXT)                              \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, RenderbufferStorageEXT)                        \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, GetRenderbufferParameterivEXT)          \
    X(PFNGLISFRAMEBUFFEREXTPROC, IsFramebufferEXT)                                    \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, BindFramebufferEXT)                                \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, DeleteFramebuffersEXT)                          \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, GenFramebuffersEXT)                                \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, CheckFramebufferStatusEXT)                  \
    X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, FramebufferTexture1DEXT)                      \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, FramebufferTexture2DEXT)                      \
    X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, FramebufferTexture3DEXT)                      \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, FramebufferRenderbufferEXT)                \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, GetFramebufferAttachmentParameterivEXT) \
    X(PFNGLGENERATEMIPMAPEXTPROC, GenerateMipmapEXT)                                  \
    X(PFNGLDELETEOBJECTARBPROC, DeleteObjectARB)                                      \
    X(PFNGLGETHANDLEARBPROC, GetHandleARB)                                            \
    X(PFNGLDETACHOBJECTARBPROC, DetachObjectARB)                                      \
    X(PFNGLCREATESHADEROBJECTARBPROC, CreateShaderObjectARB)                          \
    X(PFNGLSHADERSOURCEARBPROC, ShaderSourceARB)                                      \
    X(PFNGLCOMPILESHADERARBPROC, CompileShaderARB)                                    \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, CreateProgramObjectARB)                        \
    X(PFNGLATTACHOBJECTARBPROC, AttachObjectARB)                                      \
    X(PFNGLLINKPROGRAMARBPROC, LinkProgramARB)                                        \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, UseProgramObjectARB)                              \
    X(PFNGLVALIDATEPROGRAMARBPROC, ValidateProgramARB)                                \
    X(PFNGLUNIFORM1FARBPROC, Uniform1fARB)                                            \
    X(PFNGLUNIFORM2FARBPROC, Uniform2fARB)                                            \
    X(PFNGLUNIFORM3FARBPROC, Uniform3fARB)                                            \
    X(PFNGLUNIFORM4FARBPROC, Uniform4fARB)                                            \
    X(PFNGLUNIFORM1IARBPROC, Uniform1iARB)                                            \
    X(PFNGLUNIFORM2IARBPROC, Uniform2iARB)                                            \
    X(PFNGLUNIFORM3IARBPROC, Uniform3iARB)                                            \
    X(PFNGLUNIFORM4IARBPROC, Uniform4iARB)                                            \
    X(PFNGLUNIFORM1FVARBPROC, Uniform1fvARB)                                          \
    X(PFNGLUNIFORM2FVARBPROC, Uniform2fvARB)                                          \
    X(PFNGLUNIFORM3FVARBPROC, Uniform3fvARB)                                          \
    X(PFNGLUNIFORM4FVARBPROC, Uniform4fvARB)                                          \
    X(PFNGLUNIFORM1IVARBPROC, Uniform1ivARB)                                          \
    X(PFNGLUNIFORM2IVARBPROC, Uniform2ivARB)                                          \
    X(PFNGLUNIFORM3IVARBPROC, Uniform3ivARB)                                          \
    X(PFNGLUNIFORM4IVARBPROC, Uniform4ivARB)                                          \
    X(PFNGLUNIFORMMATRIX2FVARBPROC, UniformMatrix2fvARB)                              \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, UniformMatrix3fvARB)                              \
    X(PFNGLUNIFORMMATRIX4FVARBPROC, UniformMatrix4fvARB)                              \
    X(PFNGLGETOBJECTPARAMETERFVARBPROC, GetObjectParameterfvARB)                      \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, GetObjectParameterivARB)                      \
    X(PFNGLGETINFOLOGARBPROC, GetInfoLogARB)                                          \
    X(PFNGLGETATTACHEDOBJECTSARBPROC, GetAttachedObjectsARB)                          \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, GetUniformLocationARB)                          \
    X(PFNGLGETACTIVEUNIFORMARBPROC, GetActiveUniformARB)                              \
    X(PFNGLGETUNIFORMFVARBPROC, GetUniformfvARB)                                      \
    X(PFNGLGETUNIFORMIVARBPROC, GetUniformivARB)                                      \
    X(PFNGLGETSHADERSOURCEARBPROC, GetShaderSourceARB)                                \
    X(PFNGLVERTEXATTRIB1DARBPROC, VertexAttrib1dARB)                                  \
    X(PFNGLVERTEXATTRIB1DVARBPROC, VertexAttrib1dvARB)                                \
    X(PFNGLVERTEXATTRIB1FARBPROC, VertexAttrib1fARB)                                  \
    X(PFNGLVERTEXATTRIB1FVARBPROC, VertexAttrib1fvARB)                                \
    X(PFNGLVERTEXATTRIB1SARBPROC, VertexAttrib1sARB)                                  \
    X(PFNGLVERTEXATTRIB1SVARBPROC, VertexAttrib1svARB)                                \
    X(PFNGLVERTEXATTRIB2DARBPROC, VertexAttrib2dARB)                                  \
    X(PFNGLVERTEXATTRIB2DVARBPROC, VertexAttrib2dvARB)                                \
    X(PFNGLVERTEXATTRIB2FARBPROC, VertexAttrib2fARB)                                  \
    X(PFNGLVERTEXATTRIB2FVARBPROC, VertexAttrib2fvARB)                                \
    X(PFNGLVERTEXATTRIB2SARBPROC, VertexAttrib2sARB)                                  \
    X(PFNGLVERTEXATTRIB2SVARBPROC, VertexAttrib2svARB)                                \
    X(PFNGLVERTEXATTRIB3DARBPROC, VertexAttrib3dARB)                                  \
    X(PFNGLVERTEXATTRIB3DVARBPROC, VertexAttrib3dvARB)                                \
    X(PFNGLVERTEXATTRIB3FARBPROC, VertexAttrib3fARB)                                  \
    X(PFNGLVERTEXATTRIB3FVARBPROC, VertexAttrib3fvARB)                                \
    X(PFNGLVERTEXATTRIB3SARBPROC, VertexAttrib3sARB)                                  \
    X(PFNGLVERTEXATTRIB3SVARBPROC, VertexAttrib3svARB)                                \
    X(PFNGLVERTEXATTRIB4NBVARBPROC, VertexAttrib4NbvARB)                              \
    X(PFNGLVERTEXATTRIB4NIVARBPROC, VertexAttrib4NivARB)                              \
    X(PFNGLVERTEXATTRIB4NSVARBPROC, VertexAttrib4NsvARB)                              \
    X(PFNGLVERTEXATTRIB4NUBARBPROC, VertexAttrib4NubARB)                              \
    X(PFNGLVERTEXATTRIB4NUBVARBPROC, VertexAttrib4NubvARB)                            \
    X(PFNGLVERTEXATTRIB4NUIVARBPROC, VertexAttrib4NuivARB)                            \
    X(PFNGLVERTEXATTRIB4NUSVARBPROC, VertexAttrib4NusvARB)                            \
    X(PFNGLVERTEXATTRIB4BVARBPROC, VertexAttrib4bvARB)                                \
    X(PFNGLVERTEXATTRIB4DARBPROC, VertexAttrib4dARB)                                  \
    X(PFNGLVERTEXATTRIB4DVARBPROC, VertexAttrib4dvARB)                                \
    X(PFNGLVERTEXATTRIB4FARBPROC, VertexAttrib4fARB)                                  \
    X(PFNGLVERTEXATTRIB4FVARBPROC, VertexAttrib4fvARB)                                \
    X(PFNGLVERTEXATTRIB4IVARBPROC, VertexAttrib4ivARB)                                \
    X(PFNGLVERTEXATTRIB4SARBPROC, VertexAttrib4sARB)                                  \
    X(PFNGLVERTEXATTRIB4SVARBPROC, VertexAttrib4svARB)                                \
    X(PFNGLVERTEXATTRIB4UBVARBPROC, VertexAttrib4ubvARB)                              \
    X(PFNGLVERTEXATTRIB4UIVARBPROC, VertexAttrib4uivARB)                              \
    X(PFNGLVERTEXATTRIB4USVARBPROC, VertexAttrib4usvARB)                              \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, VertexAttribPointerARB)                        \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, EnableVertexAttribArrayARB)                \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, DisableVertexAttribArrayARB)              \
    X(PFNGLBINDATTRIBLOCATIONARBPROC, BindAttribLocationARB)                          \
    X(PFNGLGETACTIVEATTRIBARBPROC, GetActiveAttribARB)                                \
    X(PFNGLGETATTRIBLOCATIONARBPROC, GetAttribLocationARB)                            \
    X(PFNGLGETVERTEXATTRIBDVARBPROC, GetVertexAttribdvARB)                            \
    X(PFNGLGETVERTEXATTRIBFVARBPROC, GetVertexAttribfvARB)                            \
    X(PFNGLGETVERTEXATTRIBIVARBPROC, GetVertexAttribivARB)                            \
    X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, GetVertexAttribPointervARB)

// The fetched entry points: g_glf.ActiveTextureARB is "glActiveTextureARB".
struct GlFunctions {
#define GL_EXT_FIELD(type, name) type name;
    GL_EXT_ENTRY_POINTS(GL_EXT_FIELD)
#undef GL_EXT_FIELD
};

extern GlCaps g_gl;         // filled by gl_detect; zero before it
extern GlFunctions g_glf;   // filled by gl_detect; null entries were not found

// Reads the strings and the version, sets the five flags, reads (and logs
// "%d texture units\n") the texture units, and fetches every entry point
// through the platform layer. Needs the window's context current.
void gl_detect();

// Whether name occurs in the space-separated list as a whole word: preceded
// by the start or a blank, followed by a blank or the end.
bool gl_extension_listed(const char *extensions, const char *name);

// The number of entry points gl_detect tries, and the name of entry i
// ("glActiveTextureARB"), or none past the end (for tests and diagnostics).
int gl_entry_point_count();
const char *gl_entry_point_name(int i);
