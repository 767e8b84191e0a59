// What the OpenGL implementation offers: one flag per capability and the extension entry points
// fetched by name (`glExt`), and the renderer limits in `ren`. Decided once at start-up; code
// asks these flags, never OpenGL, and calls extensions only through these pointers.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <string>

#include "foundation/records.h"

// The entry points, group by group, in field order: X(name, pointer type).
// Guarded by vbo_avail.
#define OGL_EP_VBO(X) \
  X(glBindBufferARB, PFNGLBINDBUFFERARBPROC) \
  X(glDeleteBuffersARB, PFNGLDELETEBUFFERSARBPROC) \
  X(glGenBuffersARB, PFNGLGENBUFFERSARBPROC) \
  X(glIsBufferARB, PFNGLISBUFFERARBPROC) \
  X(glBufferDataARB, PFNGLBUFFERDATAARBPROC) \
  X(glBufferSubDataARB, PFNGLBUFFERSUBDATAARBPROC) \
  X(glGetBufferSubDataARB, PFNGLGETBUFFERSUBDATAARBPROC) \
  X(glMapBufferARB, PFNGLMAPBUFFERARBPROC) \
  X(glUnmapBufferARB, PFNGLUNMAPBUFFERARBPROC) \
  X(glGetBufferParameterivARB, PFNGLGETBUFFERPARAMETERIVARBPROC) \
  X(glGetBufferPointervARB, PFNGLGETBUFFERPOINTERVARBPROC)

// Guarded by vprog_avail.
#define OGL_EP_VPROG(X) \
  X(glVertexAttrib1dARB, PFNGLVERTEXATTRIB1DARBPROC) \
  X(glVertexAttrib1dvARB, PFNGLVERTEXATTRIB1DVARBPROC) \
  X(glVertexAttrib1fARB, PFNGLVERTEXATTRIB1FARBPROC) \
  X(glVertexAttrib1fvARB, PFNGLVERTEXATTRIB1FVARBPROC) \
  X(glVertexAttrib1sARB, PFNGLVERTEXATTRIB1SARBPROC) \
  X(glVertexAttrib1svARB, PFNGLVERTEXATTRIB1SVARBPROC) \
  X(glVertexAttrib2dARB, PFNGLVERTEXATTRIB2DARBPROC) \
  X(glVertexAttrib2dvARB, PFNGLVERTEXATTRIB2DVARBPROC) \
  X(glVertexAttrib2fARB, PFNGLVERTEXATTRIB2FARBPROC) \
  X(glVertexAttrib2fvARB, PFNGLVERTEXATTRIB2FVARBPROC) \
  X(glVertexAttrib2sARB, PFNGLVERTEXATTRIB2SARBPROC) \
  X(glVertexAttrib2svARB, PFNGLVERTEXATTRIB2SVARBPROC) \
  X(glVertexAttrib3dARB, PFNGLVERTEXATTRIB3DARBPROC) \
  X(glVertexAttrib3dvARB, PFNGLVERTEXATTRIB3DVARBPROC) \
  X(glVertexAttrib3fARB, PFNGLVERTEXATTRIB3FARBPROC) \
  X(glVertexAttrib3fvARB, PFNGLVERTEXATTRIB3FVARBPROC) \
  X(glVertexAttrib3sARB, PFNGLVERTEXATTRIB3SARBPROC) \
  X(glVertexAttrib3svARB, PFNGLVERTEXATTRIB3SVARBPROC) \
  X(glVertexAttrib4NbvARB, PFNGLVERTEXATTRIB4NBVARBPROC) \
  X(glVertexAttrib4NivARB, PFNGLVERTEXATTRIB4NIVARBPROC) \
  X(glVertexAttrib4NsvARB, PFNGLVERTEXATTRIB4NSVARBPROC) \
  X(glVertexAttrib4NubARB, PFNGLVERTEXATTRIB4NUBARBPROC) \
  X(glVertexAttrib4NubvARB, PFNGLVERTEXATTRIB4NUBVARBPROC) \
  X(glVertexAttrib4NuivARB, PFNGLVERTEXATTRIB4NUIVARBPROC) \
  X(glVertexAttrib4NusvARB, PFNGLVERTEXATTRIB4NUSVARBPROC) \
  X(glVertexAttrib4bvARB, PFNGLVERTEXATTRIB4BVARBPROC) \
  X(glVertexAttrib4dARB, PFNGLVERTEXATTRIB4DARBPROC) \
  X(glVertexAttrib4dvARB, PFNGLVERTEXATTRIB4DVARBPROC) \
  X(glVertexAttrib4fARB, PFNGLVERTEXATTRIB4FARBPROC) \
  X(glVertexAttrib4fvARB, PFNGLVERTEXATTRIB4FVARBPROC) \
  X(glVertexAttrib4ivARB, PFNGLVERTEXATTRIB4IVARBPROC) \
  X(glVertexAttrib4sARB, PFNGLVERTEXATTRIB4SARBPROC) \
  X(glVertexAttrib4svARB, PFNGLVERTEXATTRIB4SVARBPROC) \
  X(glVertexAttrib4ubvARB, PFNGLVERTEXATTRIB4UBVARBPROC) \
  X(glVertexAttrib4uivARB, PFNGLVERTEXATTRIB4UIVARBPROC) \
  X(glVertexAttrib4usvARB, PFNGLVERTEXATTRIB4USVARBPROC) \
  X(glVertexAttribPointerARB, PFNGLVERTEXATTRIBPOINTERARBPROC) \
  X(glEnableVertexAttribArrayARB, PFNGLENABLEVERTEXATTRIBARRAYARBPROC) \
  X(glDisableVertexAttribArrayARB, PFNGLDISABLEVERTEXATTRIBARRAYARBPROC) \
  X(glProgramStringARB, PFNGLPROGRAMSTRINGARBPROC) \
  X(glBindProgramARB, PFNGLBINDPROGRAMARBPROC) \
  X(glDeleteProgramsARB, PFNGLDELETEPROGRAMSARBPROC) \
  X(glGenProgramsARB, PFNGLGENPROGRAMSARBPROC) \
  X(glProgramEnvParameter4dARB, PFNGLPROGRAMENVPARAMETER4DARBPROC) \
  X(glProgramEnvParameter4dvARB, PFNGLPROGRAMENVPARAMETER4DVARBPROC) \
  X(glProgramEnvParameter4fARB, PFNGLPROGRAMENVPARAMETER4FARBPROC) \
  X(glProgramEnvParameter4fvARB, PFNGLPROGRAMENVPARAMETER4FVARBPROC) \
  X(glProgramLocalParameter4dARB, PFNGLPROGRAMLOCALPARAMETER4DARBPROC) \
  X(glProgramLocalParameter4dvARB, PFNGLPROGRAMLOCALPARAMETER4DVARBPROC) \
  X(glProgramLocalParameter4fARB, PFNGLPROGRAMLOCALPARAMETER4FARBPROC) \
  X(glProgramLocalParameter4fvARB, PFNGLPROGRAMLOCALPARAMETER4FVARBPROC) \
  X(glGetProgramEnvParameterdvARB, PFNGLGETPROGRAMENVPARAMETERDVARBPROC) \
  X(glGetProgramEnvParameterfvARB, PFNGLGETPROGRAMENVPARAMETERFVARBPROC) \
  X(glGetProgramLocalParameterdvARB, PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC) \
  X(glGetProgramLocalParameterfvARB, PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC) \
  X(glGetProgramivARB, PFNGLGETPROGRAMIVARBPROC) \
  X(glGetProgramStringARB, PFNGLGETPROGRAMSTRINGARBPROC) \
  X(glGetVertexAttribdvARB, PFNGLGETVERTEXATTRIBDVARBPROC) \
  X(glGetVertexAttribfvARB, PFNGLGETVERTEXATTRIBFVARBPROC) \
  X(glGetVertexAttribivARB, PFNGLGETVERTEXATTRIBIVARBPROC) \
  X(glGetVertexAttribPointervARB, PFNGLGETVERTEXATTRIBPOINTERVARBPROC) \
  X(glIsProgramARB, PFNGLISPROGRAMARBPROC)

// Guarded by occlude_avail.
#define OGL_EP_OCCLUDE(X) \
  X(glGenQueriesARB, PFNGLGENQUERIESARBPROC) \
  X(glDeleteQueriesARB, PFNGLDELETEQUERIESARBPROC) \
  X(glIsQueryARB, PFNGLISQUERYARBPROC) \
  X(glBeginQueryARB, PFNGLBEGINQUERYARBPROC) \
  X(glEndQueryARB, PFNGLENDQUERYARBPROC) \
  X(glGetQueryivARB, PFNGLGETQUERYIVARBPROC) \
  X(glGetQueryObjectivARB, PFNGLGETQUERYOBJECTIVARBPROC) \
  X(glGetQueryObjectuivARB, PFNGLGETQUERYOBJECTUIVARBPROC)

// Guarded by shad_objs_avail.
#define OGL_EP_SHAD_OBJS(X) \
  X(glDeleteObjectARB, PFNGLDELETEOBJECTARBPROC) \
  X(glGetHandleARB, PFNGLGETHANDLEARBPROC) \
  X(glDetachObjectARB, PFNGLDETACHOBJECTARBPROC) \
  X(glCreateShaderObjectARB, PFNGLCREATESHADEROBJECTARBPROC) \
  X(glShaderSourceARB, PFNGLSHADERSOURCEARBPROC) \
  X(glCompileShaderARB, PFNGLCOMPILESHADERARBPROC) \
  X(glCreateProgramObjectARB, PFNGLCREATEPROGRAMOBJECTARBPROC) \
  X(glAttachObjectARB, PFNGLATTACHOBJECTARBPROC) \
  X(glLinkProgramARB, PFNGLLINKPROGRAMARBPROC) \
  X(glUseProgramObjectARB, PFNGLUSEPROGRAMOBJECTARBPROC) \
  X(glValidateProgramARB, PFNGLVALIDATEPROGRAMARBPROC) \
  X(glUniform1fARB, PFNGLUNIFORM1FARBPROC) \
  X(glUniform2fARB, PFNGLUNIFORM2FARBPROC) \
  X(glUniform3fARB, PFNGLUNIFORM3FARBPROC) \
  X(glUniform4fARB, PFNGLUNIFORM4FARBPROC) \
  X(glUniform1iARB, PFNGLUNIFORM1IARBPROC) \
  X(glUniform2iARB, PFNGLUNIFORM2IARBPROC) \
  X(glUniform3iARB, PFNGLUNIFORM3IARBPROC) \
  X(glUniform4iARB, PFNGLUNIFORM4IARBPROC) \
  X(glUniform1fvARB, PFNGLUNIFORM1FVARBPROC) \
  X(glUniform2fvARB, PFNGLUNIFORM2FVARBPROC) \
  X(glUniform3fvARB, PFNGLUNIFORM3FVARBPROC) \
  X(glUniform4fvARB, PFNGLUNIFORM4FVARBPROC) \
  X(glUniform1ivARB, PFNGLUNIFORM1IVARBPROC) \
  X(glUniform2ivARB, PFNGLUNIFORM2IVARBPROC) \
  X(glUniform3ivARB, PFNGLUNIFORM3IVARBPROC) \
  X(glUniform4ivARB, PFNGLUNIFORM4IVARBPROC) \
  X(glUniformMatrix2fvARB, PFNGLUNIFORMMATRIX2FVARBPROC) \
  X(glUniformMatrix3fvARB, PFNGLUNIFORMMATRIX3FVARBPROC) \
  X(glUniformMatrix4fvARB, PFNGLUNIFORMMATRIX4FVARBPROC) \
  X(glGetObjectParameterfvARB, PFNGLGETOBJECTPARAMETERFVARBPROC) \
  X(glGetObjectParameterivARB, PFNGLGETOBJECTPARAMETERIVARBPROC) \
  X(glGetInfoLogARB, PFNGLGETINFOLOGARBPROC) \
  X(glGetAttachedObjectsARB, PFNGLGETATTACHEDOBJECTSARBPROC) \
  X(glGetUniformLocationARB, PFNGLGETUNIFORMLOCATIONARBPROC) \
  X(glGetActiveUniformARB, PFNGLGETACTIVEUNIFORMARBPROC) \
  X(glGetUniformfvARB, PFNGLGETUNIFORMFVARBPROC) \
  X(glGetUniformivARB, PFNGLGETUNIFORMIVARBPROC) \
  X(glGetShaderSourceARB, PFNGLGETSHADERSOURCEARBPROC)

// Guarded by vshader_avail.
#define OGL_EP_VSHADER(X) \
  X(glBindAttribLocationARB, PFNGLBINDATTRIBLOCATIONARBPROC) \
  X(glGetActiveAttribARB, PFNGLGETACTIVEATTRIBARBPROC) \
  X(glGetAttribLocationARB, PFNGLGETATTRIBLOCATIONARBPROC)

// Guarded by gshader_avail.
#define OGL_EP_GSHADER(X) \
  X(glProgramParameteriEXT, PFNGLPROGRAMPARAMETERIEXTPROC)

// Guarded by framebuf_avail.
#define OGL_EP_FRAMEBUF(X) \
  X(glIsRenderbufferEXT, PFNGLISRENDERBUFFEREXTPROC) \
  X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC) \
  X(glDeleteRenderbuffersEXT, PFNGLDELETERENDERBUFFERSEXTPROC) \
  X(glGenRenderbuffersEXT, PFNGLGENRENDERBUFFERSEXTPROC) \
  X(glRenderbufferStorageEXT, PFNGLRENDERBUFFERSTORAGEEXTPROC) \
  X(glGetRenderbufferParameterivEXT, PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC) \
  X(glIsFramebufferEXT, PFNGLISFRAMEBUFFEREXTPROC) \
  X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC) \
  X(glDeleteFramebuffersEXT, PFNGLDELETEFRAMEBUFFERSEXTPROC) \
  X(glGenFramebuffersEXT, PFNGLGENFRAMEBUFFERSEXTPROC) \
  X(glCheckFramebufferStatusEXT, PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC) \
  X(glFramebufferTexture1DEXT, PFNGLFRAMEBUFFERTEXTURE1DEXTPROC) \
  X(glFramebufferTexture2DEXT, PFNGLFRAMEBUFFERTEXTURE2DEXTPROC) \
  X(glFramebufferTexture3DEXT, PFNGLFRAMEBUFFERTEXTURE3DEXTPROC) \
  X(glFramebufferRenderbufferEXT, PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC) \
  X(glGetFramebufferAttachmentParameterivEXT, PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC) \
  X(glGenerateMipmapEXT, PFNGLGENERATEMIPMAPEXTPROC)

// Guarded by tex_comp_avail.
#define OGL_EP_TEX_COMP(X) \
  X(glCompressedTexImage3DARB, PFNGLCOMPRESSEDTEXIMAGE3DARBPROC) \
  X(glCompressedTexImage2DARB, PFNGLCOMPRESSEDTEXIMAGE2DARBPROC) \
  X(glCompressedTexImage1DARB, PFNGLCOMPRESSEDTEXIMAGE1DARBPROC) \
  X(glCompressedTexSubImage3DARB, PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC) \
  X(glCompressedTexSubImage2DARB, PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC) \
  X(glCompressedTexSubImage1DARB, PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC) \
  X(glGetCompressedTexImageARB, PFNGLGETCOMPRESSEDTEXIMAGEARBPROC)

// Guarded by sblend_avail.
#define OGL_EP_SBLEND(X) \
  X(glBlendFuncSeparateEXT, PFNGLBLENDFUNCSEPARATEEXTPROC) \
  X(glBlendEquationSeparateEXT, PFNGLBLENDEQUATIONSEPARATEEXTPROC)
// Where detection takes its facts from: OpenGL itself at start-up, a table in tests.
struct OGL_gl_source {
  const char* vendor = nullptr;
  const char* renderer = nullptr;
  const char* version = nullptr;
  const char* extensions = nullptr;
  int sys_version = -1;  // operating-system version as BCD (0x1048 for 10.4.8); -1 unknown
  std::function<const char*(GLenum)> get_string;            // GL_SHADING_LANGUAGE_VERSION
  std::function<int(GLenum)> get_int;                       // glGetIntegerv
  std::function<void(GLenum, float*)> get_floats;           // glGetFloatv
  std::function<int(GLenum target, GLenum pname)> get_program_int;  // glGetProgramivARB
  std::function<void*(const char*)> lookup;                 // entry point by name
  std::function<int(const char*)> has_option;               // command-line option given
};

// What detection concluded besides the flags: the version number, the log text and the alerts due.
struct OGL_detect_result {
  int version = 0;          // major x 100 + minor x 10
  int refuse = 0;           // 0 usable; 1 refused but run on ("--force_run"); 2 refused, fatal
  int software = 0;         // a generic software renderer was named
  std::string log;          // workaround lines, missing entry points and the capability report
};

class OGL_extensions {
 public:
  OGL_extensions();

  // Makes sure the OpenGL library can be asked for entry points: 0 on success.
  int init_entry_points();
  // Detects everything from the current context, logs the report and raises the alerts due.
  void init_extensions();
  // A worker's loader context failed: clears threaded_avail and tells the user, once.
  void threaded_ogl_failed();

  // The detection itself, from `src` into this object and `r`; no OpenGL call, no alert.
  OGL_detect_result detect(const OGL_gl_source& src, ren_struct& r);
  // Raises the hardware-refusal and software-renderer alerts of a detection.
  static void raise_alerts(const OGL_detect_result& res);

#define OGL_EP_FIELD(name, type) type name;
  OGL_EP_VBO(OGL_EP_FIELD)
  OGL_EP_VPROG(OGL_EP_FIELD)
  OGL_EP_OCCLUDE(OGL_EP_FIELD)
  OGL_EP_SHAD_OBJS(OGL_EP_FIELD)
  OGL_EP_VSHADER(OGL_EP_FIELD)
  OGL_EP_GSHADER(OGL_EP_FIELD)
  OGL_EP_FRAMEBUF(OGL_EP_FIELD)
  OGL_EP_TEX_COMP(OGL_EP_FIELD)
  OGL_EP_SBLEND(OGL_EP_FIELD)
#undef OGL_EP_FIELD

  int multitex_avail;
  int tex_clamp_avail;
  int add_env_avail;
  int combine_avail;
  int dis_fog_avail;
  int tex_comp_avail;
  int vbo_avail;
  int pbo_avail;
  int vprog_avail;
  int fprog_avail;
  int automini_avail;
  int aniso_avail;
  int fsaa_avail;
  int sprites_avail;
  int depth_tex_avail;
  int occlude_avail;
  int shad_objs_avail;
  int vshader_avail;
  int fshader_avail;
  int gshader_avail;
  int glsl_avail;
  int first_gen_shaders;  // shaders run only in a limited first-generation form
  int framebuf_avail;
  int sblend_avail;
  int threaded_avail;     // a second context for loading on worker threads may be used
  int spare_avail;        // read by nothing
  int max_tex_size;
};

extern OGL_extensions glExt;

// An OpenGL entry point by name; null for names not beginning with "gl" or unknown.
void* aglGetProcAddress(const char* name);

// 1 when `name` is one of the blank-separated names in `list` (a whole name, not a prefix).
int OGL_has_extension(const char* list, const char* name);
