#include "graphics/gl/gl_copy_program.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>

#include "graphics/gl/gl_draw.h"
#include "graphics/gl/gl_platform.h"

namespace {

constexpr const char* VERTEX_SHADER = R"(#version 110
varying vec2 texel;
void main() {
  gl_Position = ftransform();
  texel = gl_MultiTexCoord0.xy;
}
)";

constexpr const char* FRAGMENT_SHADER = R"(#version 110
uniform sampler2D picture;
varying vec2 texel;
void main() {
  gl_FragColor = texture2D(picture, texel);
}
)";

// The functions beyond OpenGL 1.1 the program needs, from the platform.
struct functions {
  PFNGLCREATESHADERPROC createShader;
  PFNGLSHADERSOURCEPROC shaderSource;
  PFNGLCOMPILESHADERPROC compileShader;
  PFNGLGETSHADERIVPROC getShaderiv;
  PFNGLDELETESHADERPROC deleteShader;
  PFNGLCREATEPROGRAMPROC createProgram;
  PFNGLATTACHSHADERPROC attachShader;
  PFNGLLINKPROGRAMPROC linkProgram;
  PFNGLGETPROGRAMIVPROC getProgramiv;
  PFNGLDELETEPROGRAMPROC deleteProgram;
  PFNGLUSEPROGRAMPROC useProgram;
};

// The program of the name space it was built in.
struct {
  int group = -1;
  GLuint program = 0;
  PFNGLUSEPROGRAMPROC useProgram = nullptr;
} built;

template <class Function>
bool Find(Function& function, const char* name) {
  function = reinterpret_cast<Function>(gldisplay_proc(name));
  return function != nullptr;
}

// All or nothing: a platform may name functions its OpenGL cannot run, so
// the version decides first.
bool FindFunctions(functions& f) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version || std::atoi(version) < 2) return false;
  return Find(f.createShader, "glCreateShader") && Find(f.shaderSource, "glShaderSource") &&
         Find(f.compileShader, "glCompileShader") && Find(f.getShaderiv, "glGetShaderiv") &&
         Find(f.deleteShader, "glDeleteShader") && Find(f.createProgram, "glCreateProgram") &&
         Find(f.attachShader, "glAttachShader") && Find(f.linkProgram, "glLinkProgram") &&
         Find(f.getProgramiv, "glGetProgramiv") && Find(f.deleteProgram, "glDeleteProgram") &&
         Find(f.useProgram, "glUseProgram");
}

GLuint Compile(const functions& f, GLenum kind, const char* source) {
  const GLuint shader = f.createShader(kind);
  f.shaderSource(shader, 1, &source, nullptr);
  f.compileShader(shader);
  GLint compiled = GL_FALSE;
  f.getShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled == GL_TRUE) return shader;
  f.deleteShader(shader);
  return 0;
}

GLuint Build(const functions& f) {
  const GLuint vertex = Compile(f, GL_VERTEX_SHADER, VERTEX_SHADER);
  const GLuint fragment = Compile(f, GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
  GLuint program = 0;
  if (vertex && fragment) {
    program = f.createProgram();
    f.attachShader(program, vertex);
    f.attachShader(program, fragment);
    f.linkProgram(program);
    GLint linked = GL_FALSE;
    f.getProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
      f.deleteProgram(program);
      program = 0;
    }
  }
  // Attached shaders live on with the program; 0 is ignored.
  f.deleteShader(vertex);
  f.deleteShader(fragment);
  return program;
}

}  // namespace

unsigned detail::CopyProgram() {
  const int group = gldisplay_share_group();
  if (built.group == group) return built.program;
  // A name space made anew took the old program with it.
  FinishGLDrawing();
  built.group = group;
  built.program = 0;
  built.useProgram = nullptr;
  functions f{};
  if (FindFunctions(f)) {
    built.program = Build(f);
    built.useProgram = f.useProgram;
  }
  return built.program;
}

void detail::UseProgram(unsigned program) {
  if (built.useProgram) built.useProgram(program);
}
