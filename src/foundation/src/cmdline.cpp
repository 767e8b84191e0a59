// Command-line options: the map from option to value that start-up fills, and the two
// informational options that print and end the process before any window exists.
#include "foundation/cmdline.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/cmnd.h"
#include "foundation/globals.h"

UTL_cmdline cmdline;

namespace {
const char kUsage[] =
    "Usage: Volarium [options...]\n\nVolarium can take a number of command-line flags, in the form of --flag or\n--flag=value.  OpenGL options are available for all Volarium-related\napplications; the frame-rate test is only for Volarium itself.  Here is a listof current flags:\n\n"
    "--help\n-h\nPrints this message listing all command-line options, then quits.\n\n"
    "--no_sound\nRuns without initializing sound - can help identify a problem with sound hardware.\n\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\nNormally Volarium uses all available hardware capabilities to maximize framerate.\nThese options force Volarium not to use some aspects of hardware acceleration.\nThis hurts framerate, but can sometimes allow you to work around driver bugs.\n"
    "--no_vbos\nThis disables the use of vertex buffer objects, as defined by \nGL_ARB_vertex_buffer_object.  VBOs are used to accelerate all aspects of Volarium\ndrawing.\n"
    "--no_fbos\nDisable the use of framebuffer obects, even if the hardware supports them.\n"
    "--no_pbos\nDisable the use of pixelbuffer obects, even if the hardware supports them.\n"
    "--no_sprites\nThis disables the use of point sprites, as defined by GL_ARB_point_sprite.\nPoint sprites are used to accelerate runway lights, among other things.\n"
    "--no_pixel_counters\nThis disables pixel counters, as defined by GL_ARB_occlusion_query.  Pixel\ncounters are used to calculate sun glare, among other things.\n"
    "--no_aniso_filtering\nThis disables anisotropic filtering of textures, as defined by\nGL_EXT_texture_filter_anisotropic.  Anisotropic filtering is used to make\nrunways look better.\n"
    "--no_hw_mipmap\nThis disables hardware accelerated mipmap-creation, as defined by\nGL_SGIS_generate_mipmap.  Volarium will still use mipmapping, but it will\ncreate the mipmap images on the CPU instead of the GPU.\n"
    "--no_fshaders\nDisable the use of fragment shaders, even on hardware that reports having them.\n"
    "--no_vshaders\nDisable the use of vertex shaders, even on hardware that reports having them.\n"
    "--no_glsl\nDisable the use of GLSL, even on hardware theat supports it.\n"
    "--no_threaded_ogl\nDisable the use of OpenGL via multiple threads.\n\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\nVolarium will in a few cases intentionally disable hardware acceleration\nto work around known driver compatibility bugs.  You can force Volarium\nto use the feature anyway (if the card supports it) with these options,\nbut they may cause the sim to crash.\n"
    "--use_vbos\nForces the use of VBOs, even on drivers where we at one point found\nthem to be unstable.\n"
    "--use_sprites\nForces the use of point sprites, even on drivers where they cause bugs.\n"
    "--use_fshaders\nForce the use of fragment shaders, even if they would not normally be used.\n"
    "--use_vshaders\nForce the use of vertex shaders, even if they would not be used.\n"
    "--use_glsl\nForce the use of GLSL even on cards where we would avoid it due to driver compatibility problems.\n"
    "--force_run\nVolarium will not run on a machine that does not appear to have some\nminimum requirements, like at least two texture units.  This will allow\nVolarium to run no matter what the hardware looks like.  Please note that\nmost of the time if Volarium out-right refuses to run, it will probably\ncrash later if --force_run is used.\n\n"
    "FRAMERATE TEST\n"
    "--fps_test=n\nThis runs Volarium in frame-rate test mode.  The number indicates a framerate\ntest number, which is 3 digits indicating a combination of camera angle,\nscenery complexity, and weather settings.  Volarium will run for 90 seconds\nand quit, outputting 3 framerates to the Log.txt file for panel view,\nno-panel view, and paused no-panel view.  This can be used to get repeatable\nperformance measurements without changing preferences.  (The preferences\nfile is ignored when the framerate test is in effect.)\n"
    "--require_fps=n\nWhen used after --fps_test this puts Volarium into a pass-fail mode.  The\nsim will run only one 30 second test with the flight model paused.  The\nsim will then exit with 0 if the measured fps is higher than N or 1\nif the fps is lower.  This can be used to create a shell script that will\nautomatically detect whether Volarium performance is as expected.\n"
    ;
}  // namespace

const char* UTL_usage_text() { return kUsage; }

void UTL_cmdline::add(const std::string& name, const std::string& value) {
  if (options.count(name))
    xer_line("WARNING: command line option " + name + "=" + value + "included twice.\n");
  options[name] = value;
  std::string echo = "     '" + name;
  if (!value.empty()) echo += "'='" + value;
  echo += "'\n";
  xer_line(echo);
}

void UTL_cmdline::init_unix(int argc, const char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    size_t eq = arg.find('=');
    if (eq == std::string::npos)
      add(arg, "");
    else
      add(arg.substr(0, eq), arg.substr(eq + 1));
  }
  init_common();
}

void UTL_cmdline::init_win(const char* line) {
  const char* p = line ? line : "";
  auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (*p) {
    while (*p && space(*p)) ++p;
    if (!*p) break;
    std::string name, value;
    while (*p && !space(*p) && *p != '=') name += *p++;
    if (*p == '=') {
      ++p;
      while (*p && !space(*p)) value += *p++;
    }
    if (!name.empty()) add(name, value);
  }
  init_common();
}

void UTL_cmdline::init_common() {
  if (has_option("--cmnds")) {
    std::string path = get_option("--cmnds");
    if (path == "all") {
      for (int i = 0; i < cmnd.count(); ++i)
        std::printf("%-50s %s\n", cmnd.name[i].c_str(), cmnd.description[i].c_str());
    } else {
      std::vector<std::string> names;
      cmnd.get_cmds_in_path(path, names);
      for (const std::string& n : names) std::puts(n.c_str());
    }
    std::exit(0);
  }
  if (has_option("-h") || has_option("--help")) {
    std::puts(kUsage);
    std::exit(0);
  }
}

int UTL_cmdline::has_option(const char* name) const { return options.count(name ? name : "") ? 1 : 0; }

std::string UTL_cmdline::get_option(const char* name) const {
  auto it = options.find(name ? name : "");
  return it == options.end() ? std::string() : it->second;
}
