// The installer screen's decisions as plain functions of their inputs.
#include "installer/screen_logic.h"

#include <algorithm>
#include <cmath>

#include "files/io_utils.h"
#include "foundation/convert.h"
#include "foundation/globals.h"
#include "net/http.h"

namespace {
const char kProduct[] = "Volarium 9";
}

// ---- Destination ----------------------------------------------------------------------------

std::string parent_folder(const std::string& path) {
  if (path.size() < 2) return path;
  const size_t cut = path.rfind('/', path.size() - 2);
  if (cut == std::string::npos) return path;
  return path.substr(0, cut + 1);
}

std::string default_dest_from(const std::string& apps_folder, const std::string& home) {
  std::string p = apps_folder;
  const bool under_home = !home.empty() && p.size() >= home.size() && p.compare(0, home.size(), home) == 0;
  for (int i = 0; i < 10; ++i) {
    // On this system the home folder stands for the volume root.
    if (under_home && p.size() <= home.size()) break;
    p = parent_folder(p);
  }
  return p + kProduct + "/";
}

std::string with_final_slash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + "/";
}

std::string dest_from_choice(const std::string& chosen, bool holds_product, const std::string& version_name) {
  std::string dest = chosen == "/" ? chosen : chosen + "/";
  if (holds_product) return dest;
  if (version_name == no_install_name || version_name.empty()) return dest + kProduct + "/";
  return dest + version_name + "/";
}

int names_hold_product(const std::string* names, const int* kinds, int count) {
  static const char* const tops[4] = {"Airfoils", "Instructions", "Output", "Resources"};
  bool seen[4] = {};
  for (int i = 0; i < count; ++i) {
    if (kinds[i] != 1) continue;
    for (int t = 0; t < 4; ++t)
      if (names[i].find(tops[t]) != std::string::npos) seen[t] = true;
  }
  return seen[0] && seen[1] && seen[2] && seen[3] ? 1 : 0;
}

// ---- Version file ---------------------------------------------------------------------------

std::string version_from_lines(const char* begin, const char* end) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto eoln = [](char c) { return c == 0 || c == '\r' || c == '\n'; };
  std::string found;
  const char* c = begin;
  while (c < end) {
    while (c < end && (blank(*c) || eoln(*c))) ++c;
    const char* tok = c;
    while (c < end && !blank(*c) && !eoln(*c)) ++c;
    if (std::string(tok, c) == "VERSION") {
      while (c < end && blank(*c)) ++c;
      const char* v = c;
      while (c < end && !eoln(*c)) ++c;
      found.assign(v, c);
    }
    while (c < end && !eoln(*c)) ++c;
  }
  return found;
}

bool version_name_ok(const std::string& name) { return version_name_problem(name).empty(); }

std::string version_name_problem(const std::string& name) {
  const std::string head = "This DVD cannot be used: its version file names ";
  if (name.empty()) return head + "no version folder.";
  if (name == "." || name == "..")
    return head + "'" + name + "', which is not a folder on the DVD.";
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
    return head + "'" + name + "', a path that could lead off the DVD.";
  return std::string();
}

// ---- Texts ----------------------------------------------------------------------------------

std::string size_text(float kb) {
  const float m = kb * 0.001f;
  std::string out;
  if (m < 1000.0f) {
    flt_to_str(m, &out, 2, 1);
    return out + " Meg";
  }
  flt_to_str(m * 0.001f, &out, 2, 1);
  return out + " Gig";
}

screen_line status_line(int done, int stage, int run_state, bool has_work, const std::string& disc_problem,
                        const std::string& unguarded) {
  if (done) return {"Installation Complete!", 13};
  if (stage == STAGE_wait_list && !disc_problem.empty()) return {disc_problem, 1};
  if (stage == STAGE_wait_list) return {"I am looking for an Volarium DVD now...", 46};
  if (stage == STAGE_scan_due) return {"I am reading the Volarium DVD now...", 46};
  if (stage == STAGE_list_bad) return {"I need an Volarium DVD to install this from the DVD!", 1};
  if (!unguarded.empty()) return {unguarded, 1};
  if (run_state == RUN_installing) return {"I am installing this now...", 46};
  if (has_work) return {"Not Installed in the selected directory!", 46};
  return {"Already installed in the selected directory!", 46};
}

idle_lines idle_messages(int stage, bool has_work, float need_kb, float avail_kb,
                         const std::string& version_name, int* space_ok, float room_kb) {
  idle_lines out;
  if (stage == STAGE_wait_list) {
    out.l[0] = {"Please insert an Volarium 9 DVD to begin.", 46};
    return out;
  }
  if (!has_work) {
    out.l[0] = {"Volarium is already installed at this location.", 46};
    out.l[1] = {"You can change the destination to install a second copy of Volarium.", 46};
    return out;
  }
  const std::string need = size_text(need_kb);
  out.l[0] = {"You are about to install " + need + " of files to get " + version_name + ".", 46};
  if (room_kb < 0.0f) room_kb = need_kb;
  // Unknown free space is below 0; a known 0 is a full volume. Nothing to write needs no room.
  if (avail_kb >= 0.0f) {
    out.l[1] = {"You have " + size_text(avail_kb) + " of drive space available for the selected directory.", 46};
    if (!(room_kb > 0.0f) || avail_kb > room_kb) {
      *space_ok = 1;
      out.l[2] = {"Click Install to begin.", 13};
    } else {
      *space_ok = 0;
      out.l[2] = {"You don't have enough disk space to install this!", 1};
    }
  }
  return out;
}

idle_lines destination_refused(bool busy, int code, const std::string& dest, const std::string& path) {
  idle_lines out;
  if (busy) {
    out.l[0] = {"Another Volarium installer is already working in the selected directory.", 1};
    out.l[1] = {dest, 46};
    out.l[2] = {"Quit this installer, or change the destination.", 46};
  } else {
    out.l[0] = {"I cannot install into the selected directory. Error: " + error_str(code), 1};
    out.l[1] = {"Path: " + path, 46};
    out.l[2] = {"Please change the destination.", 46};
  }
  return out;
}

int install_enabled(int space_ok, int run_state, int stage, bool has_work) {
  return space_ok == 1 && run_state != RUN_installing && stage == STAGE_scanned && has_work ? 1 : 0;
}

std::string time_left_text(double seconds) {
  seconds = std::clamp(seconds, 0.0, 1.0e9);
  if (seconds < 120.0) return std::to_string(static_cast<long>(seconds)) + " seconds";
  if (seconds < 7200.0) return std::to_string(static_cast<long>(seconds / 60.0)) + " minutes";
  return std::to_string(static_cast<long>(seconds / 3600.0)) + " hours";
}

float install_ratio(float kb_done, float need_kb) {
  if (!(need_kb > 0.0f)) return 0.0f;
  const float r = kb_done / need_kb;
  if (!(r > 0.0f)) return 0.0f;
  return std::min(r, 1.0f);
}

idle_lines installing_messages(int phase, const std::string& file_name, float done_ratio, float kb_done,
                               const std::string& need_text, int files, int file, float elapsed) {
  idle_lines out;
  switch (phase) {
    case 0: out.l[0].text = "Deleting " + file_name + " because that file is no longer needed!"; break;
    case 1: out.l[0].text = "Reading and installing file " + file_name + "."; break;
    case 2:
      out.l[0].text = "duplicate filename through file " + file_name +
                      ", but not installing it because you already have this file.";
      break;
    case 3:
      out.l[0].text = "Browsing through file " + file_name +
                      ", but not installing it because you don't need this file.";
      break;
    default: break;
  }
  done_ratio = std::clamp(done_ratio, 0.0f, 1.0f);
  std::string pct;
  flt_to_str(100.0f * done_ratio, &pct, 3, 1);
  out.l[1].text = pct + "% done with the DVD install, having installed " + size_text(kb_done) + " of " +
                  need_text + " for the DVD install.";
  // No estimate before the first file is done: the rate would be zero.
  if (done_ratio > 0.01f && file > 0) {
    const double e = std::max(1.0, static_cast<double>(elapsed));
    const double remaining = std::max(0, files - file);
    const double left = remaining / (file / e);
    const long rate = static_cast<long>(std::max(0.0, kb_done / e));
    out.l[2].text = "About " + time_left_text(left) + " left in the install, installing at " +
                    std::to_string(rate) + " kilobytes/second.";
  }
  return out;
}

// ---- Geometry -------------------------------------------------------------------------------

float round_half_away(float v) { return std::round(v); }

bar_geom progress_track(float x1, float x2) {
  return {2.0f * round_half_away((x1 + x2) / 4.0f), 4.0f * round_half_away((x2 - x1) / 4.0f)};
}

bar_geom progress_fill(float x1, float x2, float ratio, bool installing) {
  if (!installing || !(ratio > 0.02f)) return {};
  ratio = std::min(ratio, 1.0f);
  const float i1 = std::trunc(x1);
  const float i2 = std::trunc(x1 + (x2 - x1) * ratio);
  return {2.0f * round_half_away((i1 + i2) / 4.0f), 4.0f * round_half_away((i2 - i1) / 4.0f)};
}

float scan_fraction(float lo, float val, float hi) {
  if (lo == hi) return 0.52f;
  const float f = 0.04f + 0.96f * (val - lo) / (hi - lo);
  if (!(f >= 0.04f)) return 0.04f;
  return std::min(f, 1.0f);
}

std::string scan_middle_line(int kind) {
  if (kind == 0) return "Currently SCANNING the directory text file.";
  if (kind == 1) return "Currently EXAMINING the hard disk.";
  return std::string();
}

// ---- The question about a changed file ------------------------------------------------------

question_texts question_texts_for(int deleting) {
  question_texts t;
  if (deleting) {
    t.first = "I am about to DELETE:";
    t.third = "because we no longer use this file, but it appears you have modified it. What to do?";
    t.act = "DELETE THE OLD FILE";
    t.act_all = "DELETE EVERY OLD FILE IN THIS DIRECTORY";
  } else {
    t.first = "I am about to install:";
    t.third = "but it appears you have modified this file. What to do?";
    t.act = "OVERWRITE THE OLD FILE";
    t.act_all = "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY";
  }
  t.keep = "KEEP THE OLD FILE";
  t.keep_all = "KEEP EVERY OLD FILE IN THIS DIRECTORY";
  t.cancel = "CANCEL THE WHOLE INSTALLATION!";
  return t;
}

// ---- The agreement --------------------------------------------------------------------------

const char* const eula_paragraphs[] = {
    "VOLARIUM 9 SAMPLE PRODUCT LICENCE",
    "This sample product is provided to try the installer. You may install it, copy it and "
    "remove it as often as you like, on as many computers as you like.",
    "It comes with no warranty of any kind. Its authors are not liable for any loss or damage "
    "that comes from installing or using it.",
    "Click Accept to agree to these terms and install, or Decline to leave your disk as it is.",
    ""};

int proxy_port_from_text(const std::string& text, int previous) {
  // Digits only: the general conversion reads signs inside a number ("1-2" as 92).
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return previous;
  const int port = str_to_int(text);
  return http_port_ok(port) ? port : previous;
}
