// A test client of the text-editing engine (through its call-back table): it owns a std::string, measures every character at
// a fixed width (W 11, blank 3, line breaks 0, everything else 6) and records what the engine
// draws. The visible rectangle is (0, 0) .. (vis_w, vis_h); the logical one is as wide as `wrap`,
// as high as the visible one, and moved by the scroll offset.
#pragma once
#include <cctype>
#include <string>
#include <vector>

#include "widgets/ogle.h"

struct ogle_client {
  struct drawn_line {
    std::string text;
    float x, y;
  };
  struct sel_rect {
    float l, b, r, t;
  };

  std::string text;
  float wrap = 1000.0f;
  float line_h = 10.0f;
  float vis_w = 100.0f, vis_h = 30.0f;
  float dx = 0.0f, dy = 0.0f;
  float logical_h = 0.0f;
  int scrolls = 0;
  int replaces = 0;
  std::vector<drawn_line> lines;
  std::vector<sel_rect> rects;

  static float width_of(char c) {
    if (c == 'W') return 11.0f;
    if (c == ' ') return 3.0f;
    if (c == '\n' || c == '\r') return 0.0f;
    return 6.0f;
  }

  OGLE_Rec* rec;

  ogle_client() : rec(OGLE_Create(&table(), this)) {}
  ~ogle_client() { OGLE_Destroy(rec); }
  ogle_client(const ogle_client&) = delete;
  ogle_client& operator=(const ogle_client&) = delete;

  std::vector<int> starts() const { return rec->line_starts; }

  void GetVisibleBounds(float b[4]) {
    b[0] = 0;
    b[1] = 0;
    b[2] = vis_w;
    b[3] = vis_h;
  }
  void GetLogicalBounds(float b[4]) {
    b[0] = -dx;
    b[1] = -dy;
    b[2] = wrap - dx;
    b[3] = vis_h - dy;
  }
  void SetLogicalHeight(float h) { logical_h = h; }
  void ScrollTo(float o[2]) {
    dx = o[0];
    dy = o[1];
    ++scrolls;
  }
  void GetText(const char** f, const char** e) {
    *f = text.data();
    *e = text.data() + text.size();
  }
  void ReplaceText(int s, int e, const char* f, const char* l) {
    ++replaces;
    const int n = static_cast<int>(text.size());
    e = e < 0 ? 0 : (e > n ? n : e);
    s = s < 0 ? 0 : (s > e ? e : s);
    text.replace(static_cast<size_t>(s), static_cast<size_t>(e - s), f && l ? std::string(f, l) : std::string());
  }
  float GetLineHeight() { return line_h; }
  float MeasureString(const char* f, const char* e) {
    float w = 0;
    for (; f < e; ++f) w += width_of(*f);
    return w;
  }
  int FitStringFwd(const char* f, const char* e, float w) {
    if (f >= e || w <= 0) return 0;
    int n = 0;
    for (; f < e; ++f) {
      ++n;
      w -= width_of(*f);
      if (w <= 0) break;
    }
    return n;
  }
  int FitStringRev(const char* f, const char* e, float w) {
    int n = 0;
    while (e > f) {
      ++n;
      w -= width_of(*--e);
      if (w <= 0) break;
    }
    return n;
  }
  void DrawString(const char* f, const char* e, float x, float y) { lines.push_back({std::string(f, e), x, y}); }
  void DrawSelection(float r[4]) { rects.push_back({r[0], r[1], r[2], r[3]}); }
  const char* WordBreak(const char* f, const char* e) {
    while (f < e && std::isspace(static_cast<unsigned char>(*f))) ++f;
    while (f < e && !std::isspace(static_cast<unsigned char>(*f))) ++f;
    return f;
  }

  static ogle_client* of(OGLE_Rec* r) { return static_cast<ogle_client*>(OGLE_GetRef(r)); }
  static const OGLE_Callbacks& table() {
    static const OGLE_Callbacks t = {
        [](OGLE_Rec* r, float b[4]) { of(r)->GetVisibleBounds(b); },
        [](OGLE_Rec* r, float b[4]) { of(r)->GetLogicalBounds(b); },
        [](OGLE_Rec* r, float h) { of(r)->SetLogicalHeight(h); },
        [](OGLE_Rec* r, float o[2]) { of(r)->ScrollTo(o); },
        [](OGLE_Rec* r, const char** f, const char** e) { of(r)->GetText(f, e); },
        [](OGLE_Rec* r, int s, int e, const char* f, const char* l) { of(r)->ReplaceText(s, e, f, l); },
        [](OGLE_Rec* r) { return of(r)->GetLineHeight(); },
        [](OGLE_Rec* r, const char* f, const char* e) { return of(r)->MeasureString(f, e); },
        [](OGLE_Rec* r, const char* f, const char* e, float w) { return of(r)->FitStringFwd(f, e, w); },
        [](OGLE_Rec* r, const char* f, const char* e, float w) { return of(r)->FitStringRev(f, e, w); },
        [](OGLE_Rec* r, const char* f, const char* e, float x, float y) { of(r)->DrawString(f, e, x, y); },
        [](OGLE_Rec* r, float rect[4]) { of(r)->DrawSelection(rect); },
        [](OGLE_Rec* r, const char* f, const char* e) { return of(r)->WordBreak(f, e); }};
    return t;
  }
};
