// Native dialogs: the desktop's chooser for files and folders, the stop box, the yes/no
// question, the progress report, and byte-order flips.
#include "shell/nav.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "folder_chooser.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "ogl/text.h"
#include "platform/chooser.h"
#include "platform/msgbox.h"
#include "platform/progress_window.h"
#include "shell/hl_init.h"
#include "sprite_table.h"
#include "tex/hard_texes.h"

namespace {

// Texts handed to the system are cut to 255 characters.
std::string cut255(const char* s) {
  std::string t = s ? s : "";
  if (t.size() > 255) t.resize(255);
  return t;
}

// The progress window's picture: 500 x 250, the text inside margins of 20 and 15, the bar from
// (20, 210) to (480, 230); y counts down from the top.
constexpr int kPicW = 500, kPicH = 250, kMarginX = 20, kMarginY = 15;
constexpr int kBarX0 = 20, kBarY0 = 210, kBarX1 = 480, kBarY1 = 230;
constexpr int kLineStep = 14;

struct rgb {
  unsigned char r, g, b;
};
constexpr rgb kBack{232, 232, 232}, kInk{0, 0, 0}, kEdge{110, 110, 110}, kTrack{250, 250, 250},
    kFill{60, 120, 210}, kStripe{160, 190, 235};

struct picture {
  std::vector<unsigned char> px = std::vector<unsigned char>(kPicW * kPicH * 4, 255);
  // x0..x1, y0..y1 exclusive of the far edges.
  void fill(int x0, int y0, int x1, int y1, rgb c) {
    for (int y = std::max(y0, 0); y < std::min(y1, kPicH); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, kPicW); ++x) blend(x, y, c, 255);
  }
  void blend(int x, int y, rgb c, int a) {
    if (x < 0 || y < 0 || x >= kPicW || y >= kPicH) return;
    unsigned char* p = &px[4 * (y * kPicW + x)];
    p[0] = static_cast<unsigned char>((c.r * a + p[0] * (255 - a)) / 255);
    p[1] = static_cast<unsigned char>((c.g * a + p[1] * (255 - a)) / 255);
    p[2] = static_cast<unsigned char>((c.b * a + p[2] * (255 - a)) / 255);
  }
};

// 0 to 1000 for a determinate bar, -1 for the indeterminate one (negative or not a number).
int progress_value(float p) { return p >= 0 ? static_cast<int>(std::min(p, 1.0f) * 1000.0f) : -1; }

// Lines that fit `width` pixels of the bitmap font: broken at spaces and at CR or LF, a word
// wider than the whole line at the character that would not fit.
std::vector<std::string> wrap_lines(const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string line;
  int w = 0;
  auto next_line = [&] {
    lines.push_back(line);
    line.clear();
    w = 0;
  };
  auto is_end = [](char c) { return c == '\r' || c == '\n'; };
  for (size_t i = 0; i < text.size();) {
    if (is_end(text[i])) {
      next_line();
      ++i;
    } else if (text[i] == ' ') {
      line += ' ';
      w += OGL_char_width(' ');
      ++i;
    } else {
      size_t j = i;
      while (j < text.size() && text[j] != ' ' && !is_end(text[j])) ++j;
      const std::string word = text.substr(i, j - i);
      if (w > 0 && w + OGL_str_width(word) > width) next_line();
      for (char c : word) {
        const int cw = OGL_char_width(static_cast<unsigned char>(c));
        if (w > 0 && w + cw > width) next_line();
        line += c;
        w += cw;
      }
      i = j;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// One byte of the interface sheet's glyph grid (stored bottom row first, the coverage in its
// alpha) with its baseline at `base`.
void draw_glyph(picture& pic, int x, int base, unsigned char b) {
  using namespace hard_tex;
  int col = 0, row = 0;
  OGL_glyph_cell(b, &col, &row);
  if (col == 0 && row == 0) return;  // the blank cell
  for (int j = 0; j < k_cell_h; ++j)
    for (int i = 0; i < k_cell_w; ++i) {
      const int a = t_interface_dat[4 * (512 * (row * k_cell_h + j) + col * k_cell_w + i) + 3];
      if (a) pic.blend(x + i, base + k_baseline - j, kInk, a);
    }
}

picture progress_picture(const std::string& text, const float* progress, unsigned phase) {
  picture pic;
  pic.fill(0, 0, kPicW, kPicH, kBack);
  // The first line's glyph cells start at the top margin; lines that would reach into the
  // bottom margin are left out.
  int base = kMarginY + hard_tex::k_cell_h - 1 - hard_tex::k_baseline;
  for (const std::string& line : wrap_lines(text, kPicW - 2 * kMarginX)) {
    if (base + hard_tex::k_baseline >= kPicH - kMarginY) break;
    int x = kMarginX;
    for (char c : line) {
      draw_glyph(pic, x, base, static_cast<unsigned char>(c));
      x += OGL_char_width(static_cast<unsigned char>(c));
    }
    base += kLineStep;
  }
  if (!progress) return pic;
  pic.fill(kBarX0, kBarY0, kBarX1, kBarY1, kEdge);
  pic.fill(kBarX0 + 1, kBarY0 + 1, kBarX1 - 1, kBarY1 - 1, kTrack);
  const int value = progress_value(*progress);
  const int inner = kBarX1 - kBarX0 - 2;
  if (value >= 0) {
    pic.fill(kBarX0 + 1, kBarY0 + 1, kBarX0 + 1 + inner * value / 1000, kBarY1 - 1, kFill);
    return pic;
  }
  // Diagonal stripes that move along with each call.
  for (int y = kBarY0 + 1; y < kBarY1 - 1; ++y)
    for (int x = kBarX0 + 1; x < kBarX1 - 1; ++x)
      pic.blend(x, y, ((x + y + phase * 3u) / 8u) % 2u ? kStripe : kFill, 255);
  return pic;
}

}  // namespace

int GetFilePathFromUser(int mode, const char* prompt, const char* button, int key, const char* folder,
                        char* out, size_t out_size) {
  (void)button;
  (void)key;
  if (mode < 0 || mode > 2 || !out || out_size == 0) return 0;
  std::string name = mode == 1 ? std::string(out, strnlen(out, out_size)) : std::string();
  std::string chosen;
  int r = PLAT_choose_path(mode, cut255(prompt), folder ? std::string(folder) : std::string(), name, chosen);
  if (r < 0 && mode == 2 && ogl_inited == 1) {
    // No desktop chooser on this machine: the window's own.
    r = ZARIRU_choose_folder_in_window(folder ? std::string(folder) : std::string("/"), chosen);
  } else if (r < 0) {
    xer_line("No file chooser could be started (zenity or kdialog).\n");
    return 0;
  }
  if (r != 1) return 0;
  if (chosen.size() + 1 > out_size) {
    xer_line("The chosen path is too long: " + chosen + "\n");
    return 0;
  }
  std::memcpy(out, chosen.c_str(), chosen.size() + 1);
  return 1;
}

int DoUserAlert(const char* msg) { return PLAT_message_box("Volarium", cut255(msg)) ? 0 : -1; }

int ConfirmMessage(const char* msg, const char* yes, const char* no) {
  return PLAT_question_box("Volarium", cut255(msg), yes ? yes : "OK", no ? no : "Cancel");
}

int ShowProgressMessage(const char* msg, float* progress) {
  if (!msg) {
    PLAT_progress_close();
    return 0;
  }
  static unsigned phase = 0;
  ++phase;
  const std::string text = cut255(msg);
  const picture pic = progress_picture(text, progress, phase);
  const int status = PLAT_progress_show(ZARIRU_window_title, pic.px.data(), kPicW, kPicH);
  if (status != 0) {
    std::string line = text;
    if (progress) {
      const int value = progress_value(*progress);
      line += value >= 0 ? " (" + std::to_string(value / 10) + "%)" : " (...)";
    }
    xer_line(line + "\n");
  }
  return status;
}

uint16_t EndianFlipShort(uint16_t* v) {
  *v = static_cast<uint16_t>((*v >> 8) | (*v << 8));
  return *v;
}

uint32_t EndianFlipLong(uint32_t* v) {
  uint32_t x = *v;
  *v = (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
  return *v;
}
