// Runs a byte string as a sequence of editing operations on the engine (keys, clicks, drags,
// selections, replacements) beside a plain std::string model, and checks after each one: the
// text equals the model, 0 <= start <= end <= length (not after a replacement, which may leave
// the selection for the next operation to clamp), and the line table equals a fresh layout of
// the same text. Shared by the randomised model test and the fuzz target.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ogle_client.h"

struct ogle_ops_reader {
  const uint8_t* p;
  size_t n;
  size_t at = 0;
  bool more() const { return at < n; }
  int byte() { return at < n ? p[at++] : 0; }
};

inline std::string ogle_fresh_layout_mismatch(const ogle_client& c) {
  ogle_client fresh;
  fresh.text = c.text;
  fresh.wrap = c.wrap;
  fresh.line_h = c.line_h;
  fresh.dx = c.dx;
  OGLE_Repaginate(fresh.rec);
  if (fresh.starts() == c.starts()) return {};
  std::string why = "line starts differ from a fresh layout of \"" + c.text + "\":";
  for (int s : c.starts()) why += " " + std::to_string(s);
  why += " vs";
  for (int s : fresh.starts()) why += " " + std::to_string(s);
  return why;
}

// The first failed check, or an empty string.
inline std::string run_ogle_ops(const uint8_t* data, size_t size) {
  static const char kTyped[] = "abcW  \n\r-.xyz0129";
  ogle_ops_reader in{data, size};
  ogle_client c;
  // Wrap widths from 0 up, line heights including 0 and negative ones.
  c.wrap = static_cast<float>(in.byte() % 64);
  c.line_h = static_cast<float>(in.byte() % 16) - 2.0f;
  c.vis_w = static_cast<float>(1 + in.byte() % 64);
  c.vis_h = static_cast<float>(1 + in.byte() % 40);
  OGLE_Repaginate(c.rec);
  std::string model;
  int step = 0;

  while (in.more()) {
    ++step;
    const int op = in.byte();
    const int len = static_cast<int>(model.size());
    int s = 0, e = 0;
    OGLE_GetSelection(c.rec, &s, &e);
    // The engine clamps a selection a replacement left behind before it acts on a key.
    const int cs = std::min(std::max(std::min(s, e), 0), len), ce = std::min(std::max(std::max(s, e), 0), len);
    bool replaced = false;
    std::string what;
    switch (op % 8) {
      case 0:
      case 1: {  // a typed character
        const char ch = kTyped[static_cast<size_t>(in.byte()) % (sizeof(kTyped) - 1)];
        what = "type";
        OGLE_Key(c.rec, ch, op & 16 ? 1 : 0);
        model.replace(static_cast<size_t>(cs), static_cast<size_t>(ce - cs), 1, ch);
        int ns = 0, ne = 0;
        OGLE_GetSelection(c.rec, &ns, &ne);
        if (ns != cs + 1 || ne != cs + 1) return "typing left the caret at " + std::to_string(ns) + ".." + std::to_string(ne);
        break;
      }
      case 2: {  // BackSpace
        what = "backspace";
        OGLE_Key(c.rec, OGLE_key_back, 0);
        if (cs != ce) model.erase(static_cast<size_t>(cs), static_cast<size_t>(ce - cs));
        else if (cs > 0) model.erase(static_cast<size_t>(cs - 1), 1);
        break;
      }
      case 3: {  // an arrow, with or without shift
        const char keys[] = {OGLE_key_left, OGLE_key_right, OGLE_key_up, OGLE_key_down};
        const int a = in.byte();
        what = "arrow";
        OGLE_Key(c.rec, keys[a % 4], (a >> 2) & 1);
        break;
      }
      case 4:
      case 5: {  // click or drag, anywhere around the text
        const float x = static_cast<float>(in.byte() % 96) - 16.0f;
        const float y = static_cast<float>(in.byte() % 96) - 48.0f;
        if (op % 8 == 4) {
          what = "click";
          OGLE_Click(c.rec, x, y, op & 16 ? 1 : 0);
        } else {
          what = "drag";
          OGLE_Drag(c.rec, x, y);
        }
        break;
      }
      case 6: {  // a selection from the client, possibly outside the text
        what = "select";
        const int a = in.byte() % (len + 8) - 4, b = in.byte() % (len + 8) - 4;
        OGLE_SetSelection(c.rec, a, b);
        break;
      }
      default: {  // a replacement through the engine
        what = "replace";
        const int a = in.byte() % (len + 4) - 2, b = in.byte() % (len + 4) - 2;
        std::string ins;
        for (int k = in.byte() % 5; k > 0; --k) ins += kTyped[static_cast<size_t>(in.byte()) % (sizeof(kTyped) - 1)];
        OGLE_ReplaceText(c.rec, a, b, ins.data(), ins.data() + ins.size());
        int rs = std::min(std::max(b, 0), len);
        int ra = std::min(std::max(a, 0), rs);
        model.replace(static_cast<size_t>(ra), static_cast<size_t>(rs - ra), ins);
        replaced = true;
        break;
      }
    }
    const std::string at = " after step " + std::to_string(step) + " (" + what + ")";
    if (c.text != model) return "text \"" + c.text + "\" but the model holds \"" + model + "\"" + at;
    OGLE_GetSelection(c.rec, &s, &e);
    const int n = static_cast<int>(model.size());
    if (!replaced && !(0 <= s && s <= e && e <= n))
      return "selection " + std::to_string(s) + ".." + std::to_string(e) + " outside 0.." + std::to_string(n) + at;
    std::string layout = ogle_fresh_layout_mismatch(c);
    if (!layout.empty()) return layout + at;
    // Drawing reads every line and the selection; it must stay inside the text.
    c.lines.clear();
    c.rects.clear();
    OGLE_Draw(c.rec, 1);
    for (const auto& l : c.lines)
      if (l.text.size() > model.size()) return "a drawn line is longer than the text" + at;
  }
  return {};
}
