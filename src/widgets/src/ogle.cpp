// The text-editing engine: line layout, selection, and the keys, clicks and drags that edit a
// text it does not own. It draws and measures only through its client's call-backs.
#include "widgets/ogle.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

struct text_view {
  const char* first = nullptr;
  const char* end = nullptr;
  int len() const { return static_cast<int>(end - first); }
};

text_view get_text(OGLE_Rec* r) {
  text_view t;
  r->callbacks.GetText(r, &t.first, &t.end);
  if (!t.first || t.end < t.first) t.end = t.first;
  return t;
}

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

int line_count(const OGLE_Rec* r) { return static_cast<int>(r->line_starts.size()); }

// Start of line i: 0 before the first line, the text length past the last.
int line_start(const OGLE_Rec* r, int i, int len) {
  if (i < 0) return 0;
  if (i < line_count(r)) return r->line_starts[static_cast<size_t>(i)];
  return len;
}

// Width of positions a..b; a stale line table may hand out positions past the text.
float measure(OGLE_Rec* r, const text_view& t, int a, int b) {
  a = clampi(a, 0, t.len());
  b = clampi(b, 0, t.len());
  if (b <= a) return 0.0f;
  return r->callbacks.MeasureString(r, t.first + a, t.first + b);
}

int fit_fwd(OGLE_Rec* r, const text_view& t, int a, int b, float width) {
  a = clampi(a, 0, t.len());
  b = clampi(b, a, t.len());
  return clampi(r->callbacks.FitStringFwd(r, t.first + a, t.first + b, width), 0, b - a);
}

void normalize(OGLE_Rec* r) {
  if (r->sel_end < r->sel_start) {
    std::swap(r->sel_start, r->sel_end);
    r->active_end = 1 - r->active_end;
  }
  const int len = get_text(r).len();
  r->sel_start = clampi(r->sel_start, 0, len);
  r->sel_end = clampi(r->sel_end, 0, len);
}

bool is_break(char c) { return c == 10 || c == 13; }
bool is_white(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Length of the line that starts at p.
int lay_one_line(OGLE_Rec* r, const char* p, const char* end, float wrap) {
  int count = 0;
  float width = 0.0f;
  for (;;) {
    const char* q = p;
    while (q < end && is_white(*q) && !is_break(*q)) ++q;
    count += static_cast<int>(q - p);
    const float run = q > p ? r->callbacks.MeasureString(r, p, q) : 0.0f;
    if (q == end) return count;
    if (is_break(*q)) return count + 1;
    const char* w = r->callbacks.WordBreak(r, q, end);
    // A word break that does not move on would lay the same word out for ever.
    if (!w || w <= q) w = q + 1;
    else if (w > end) w = end;
    width += run + r->callbacks.MeasureString(r, q, w);
    if (width > wrap) return std::max(count, 1);
    count += static_cast<int>(w - q);
    p = w;
    if (w == end) return count;
  }
}

float line_height(OGLE_Rec* r) { return r->callbacks.GetLineHeight(r); }

// Position under a point of the client's coordinates.
int coord_to_pos(OGLE_Rec* r, float x, float y) {
  float L[4];
  r->callbacks.GetLogicalBounds(r, L);
  const text_view t = get_text(r);
  const float h = line_height(r);
  // Without a line height every point lies on the first line.
  const double line_f = h > 0.0f ? std::floor((static_cast<double>(L[3]) - y) / h) : 0.0;
  if (line_f < 0.0) return 0;
  if (line_f >= line_count(r)) return t.len();
  const int line = static_cast<int>(line_f);
  const float cx = std::clamp(x, std::min(L[0], L[2]), std::max(L[0], L[2]));
  const int s = line_start(r, line, t.len());
  return std::min(s + fit_fwd(r, t, s, line_start(r, line + 1, t.len()), cx - L[0]), t.len());
}

int vertical_adjust(OGLE_Rec* r, int pos, int dir) {
  const text_view t = get_text(r);
  const int line = std::max(OGLE_CharPosToLine(r, pos), 0);
  if (r->desired_x == -1.0f) r->desired_x = measure(r, t, line_start(r, line, t.len()), pos);
  const int target = line + dir;
  if (target < 0) return 0;
  if (target >= line_count(r)) return t.len();
  const int s = line_start(r, target, t.len());
  return s + fit_fwd(r, t, s, line_start(r, target + 1, t.len()), r->desired_x);
}

int& active(OGLE_Rec* r) { return r->active_end ? r->sel_end : r->sel_start; }

}  // namespace

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* table, void* ref) {
  OGLE_Rec* r = new OGLE_Rec;
  r->callbacks = *table;
  r->ref = ref;
  return r;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->ref; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end) {
  if (start) *start = rec->sel_start;
  if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end) {
  rec->sel_start = start;
  rec->sel_end = end;
  normalize(rec);
}

int OGLE_CharPosToLine(OGLE_Rec* rec, int pos) {
  const std::vector<int>& ls = rec->line_starts;
  if (ls.empty()) return -1;
  auto it = std::lower_bound(ls.begin(), ls.end(), pos);
  if (it == ls.end()) return static_cast<int>(ls.size()) - 1;
  int i = static_cast<int>(it - ls.begin());
  if (*it > pos) --i;
  return std::max(i, 0);
}

void OGLE_Repaginate(OGLE_Rec* rec) {
  const text_view t = get_text(rec);
  float L[4];
  rec->callbacks.GetLogicalBounds(rec, L);
  const float wrap = L[2] - L[0];
  std::vector<int>& ls = rec->line_starts;
  if (ls.empty()) ls.push_back(0);
  ls[0] = 0;
  const int n = t.len();
  size_t line = 0;
  int start = 0;
  for (;;) {
    const int next = start + lay_one_line(rec, t.first + start, t.end, wrap);
    if (next >= n) {
      ls.resize(line + 1);
      break;
    }
    ++line;
    if (line < ls.size()) ls[line] = next;
    else ls.push_back(next);
    start = next;
  }
  rec->callbacks.SetLogicalHeight(rec, static_cast<float>(ls.size()) * line_height(rec));
}

void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* first, const char* last) {
  const int delta = static_cast<int>(last - first) - (end - start);
  if (end <= rec->sel_start) {
    rec->sel_start += delta;
    rec->sel_end += delta;
  } else if (start <= rec->sel_start) {
    const int old = rec->sel_start;
    rec->sel_end += delta;
    if (rec->sel_end < old) rec->sel_start = rec->sel_end = std::max(old + delta, start);
  }
  rec->callbacks.ReplaceText(rec, start, end, first, last);
  OGLE_Repaginate(rec);
}

void OGLE_Key(OGLE_Rec* rec, char key, int shift) {
  const int k = static_cast<unsigned char>(key);
  if (k != OGLE_key_up && k != OGLE_key_down) rec->desired_x = -1.0f;
  // The client may have changed the text since the last key.
  normalize(rec);
  const int s = rec->sel_start, e = rec->sel_end;
  switch (k) {
    case OGLE_key_back:
      if (s == e && s == 0) {
        rec->active_end = 1;
        return;
      }
      if (s == e) {
        rec->callbacks.ReplaceText(rec, s - 1, s, nullptr, nullptr);
        rec->sel_start = rec->sel_end = s - 1;
      } else {
        rec->callbacks.ReplaceText(rec, s, e, nullptr, nullptr);
        rec->sel_end = s;
      }
      OGLE_Repaginate(rec);
      OGLE_RevealSelection(rec);
      rec->active_end = 1;
      return;
    case OGLE_key_left:
    case OGLE_key_right: {
      const int d = k == OGLE_key_left ? -1 : 1;
      if (shift) active(rec) += d;
      else if (s == e) rec->sel_start = rec->sel_end = s + d;
      else rec->sel_start = rec->sel_end = d < 0 ? s : e;
      break;
    }
    case OGLE_key_up:
    case OGLE_key_down: {
      const int d = k == OGLE_key_up ? -1 : 1;
      if (shift) {
        int& a = active(rec);
        a = vertical_adjust(rec, a, d);
      } else if (s == e) {
        rec->sel_start = rec->sel_end = vertical_adjust(rec, s, d);
      } else {
        rec->sel_start = rec->sel_end = d < 0 ? s : e;
      }
      break;
    }
    default:
      rec->callbacks.ReplaceText(rec, s, e, &key, &key + 1);
      rec->sel_start = rec->sel_end = s + 1;
      rec->active_end = 1;
      OGLE_Repaginate(rec);
      OGLE_RevealSelection(rec);
      return;
  }
  normalize(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Click(OGLE_Rec* rec, float x, float y, int shift) {
  rec->desired_x = -1.0f;
  const int pos = coord_to_pos(rec, x, y);
  if (!shift) {
    rec->sel_start = rec->sel_end = pos;
    rec->active_end = 1;
  } else if (pos < rec->sel_start) {
    rec->sel_start = pos;
    rec->active_end = 0;
  } else {
    rec->sel_end = pos;
    rec->active_end = 1;
  }
  normalize(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y) {
  rec->desired_x = -1.0f;
  active(rec) = coord_to_pos(rec, x, y);
  normalize(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_RevealSelection(OGLE_Rec* rec) {
  const text_view t = get_text(rec);
  float L[4], V[4];
  rec->callbacks.GetLogicalBounds(rec, L);
  rec->callbacks.GetVisibleBounds(rec, V);
  const float h = line_height(rec);
  const int pos = clampi(active(rec), 0, t.len());
  const int line = std::max(OGLE_CharPosToLine(rec, pos), 0);
  const float cx = L[0] + measure(rec, t, line_start(rec, line, t.len()), pos);
  const float y = L[3] - static_cast<float>(line + 1 - rec->active_end) * h;
  const float dx0 = V[0] - L[0], dy0 = V[1] - L[1];
  float dx = dx0, dy = dy0;
  if (V[0] > cx) dx = cx - L[0];
  if (cx > V[2]) dx = cx - L[0] - (V[2] - V[0]);
  if (V[1] > y) dy = y - L[1];
  if (y > V[3]) dy = y - L[1] - (V[3] - V[1]);
  if (dx != dx0 || dy != dy0) {
    float off[2] = {dx, dy};
    rec->callbacks.ScrollTo(rec, off);
  }
}

void OGLE_Draw(OGLE_Rec* rec, int draw_caret) {
  const text_view t = get_text(rec);
  float L[4], V[4];
  rec->callbacks.GetLogicalBounds(rec, L);
  rec->callbacks.GetVisibleBounds(rec, V);
  const float h = line_height(rec);
  const int lines = line_count(rec);
  int first = 0, last = lines;
  if (h > 0.0f) {
    first = static_cast<int>(std::max(0.0, std::floor((static_cast<double>(L[3]) - V[3]) / h)));
    last = static_cast<int>(std::min<double>(lines, std::ceil((static_cast<double>(L[3]) - V[1]) / h)));
  }
  const int n = t.len();
  auto bottom = [&](int i) { return L[3] - static_cast<float>(i + 1) * h; };
  auto top = [&](int i) { return L[3] - static_cast<float>(i) * h; };

  const int ss = rec->sel_start, se = rec->sel_end;
  if (se > ss) {
    for (int i = first; i < last; ++i) {
      const int s = line_start(rec, i, n), e = line_start(rec, i + 1, n);
      if (ss >= e) continue;
      float left, right;
      if (s < ss) {
        left = L[0] + measure(rec, t, s, ss);
        right = se < e ? L[0] + measure(rec, t, s, se) : L[2];
      } else if (se <= e) {
        if (s >= se) break;
        left = L[0];
        right = L[0] + measure(rec, t, s, se);
      } else {
        left = L[0];
        right = L[2];
      }
      float rect[4] = {left, bottom(i), right, top(i)};
      rec->callbacks.DrawSelection(rec, rect);
    }
  }

  for (int i = first; i < last; ++i) {
    const int s = clampi(line_start(rec, i, n), 0, n);
    const int e = clampi(line_start(rec, i + 1, n), s, n);
    rec->callbacks.DrawString(rec, t.first + s, t.first + e, L[0], bottom(i));
  }

  if (draw_caret && ss == se) {
    for (int i = first; i < last; ++i) {
      const int s = line_start(rec, i, n);
      if (s > ss) break;
      const int e = line_start(rec, i + 1, n);
      if (ss < e || (ss == e && i == lines - 1)) {
        const float x = L[0] + measure(rec, t, s, ss);
        float rect[4] = {x, bottom(i), x, top(i)};
        rec->callbacks.DrawSelection(rec, rect);
        break;
      }
    }
  }
}

// ---- The class form ----

namespace {

OGLE* self(OGLE_Rec* r) { return static_cast<OGLE*>(OGLE_GetRef(r)); }

void GetVisibleBoundsCB(OGLE_Rec* r, float b[4]) { self(r)->GetVisibleBounds(b); }
void GetLogicalBoundsCB(OGLE_Rec* r, float b[4]) { self(r)->GetLogicalBounds(b); }
void SetLogicalHeightCB(OGLE_Rec* r, float h) { self(r)->SetLogicalHeight(h); }
void ScrollToCB(OGLE_Rec* r, float o[2]) { self(r)->ScrollTo(o); }
void GetTextCB(OGLE_Rec* r, const char** f, const char** e) { self(r)->GetText(f, e); }
void ReplaceTextCB(OGLE_Rec* r, int s, int e, const char* f, const char* l) { self(r)->ReplaceText(s, e, f, l); }
float GetLineHeightCB(OGLE_Rec* r) { return self(r)->GetLineHeight(); }
float MeasureStringCB(OGLE_Rec* r, const char* f, const char* e) { return self(r)->MeasureString(f, e); }
int FitStringFwdCB(OGLE_Rec* r, const char* f, const char* e, float w) { return self(r)->FitStringFwd(f, e, w); }
int FitStringRevCB(OGLE_Rec* r, const char* f, const char* e, float w) { return self(r)->FitStringRev(f, e, w); }
void DrawStringCB(OGLE_Rec* r, const char* f, const char* e, float x, float y) { self(r)->DrawString(f, e, x, y); }
void DrawSelectionCB(OGLE_Rec* r, float rect[4]) { self(r)->DrawSelection(rect); }
const char* WordBreakCB(OGLE_Rec* r, const char* f, const char* e) { return self(r)->WordBreak(f, e); }

const OGLE_Callbacks kClassCallbacks = {
    GetVisibleBoundsCB, GetLogicalBoundsCB, SetLogicalHeightCB, ScrollToCB, GetTextCB,
    ReplaceTextCB,      GetLineHeightCB,    MeasureStringCB,    FitStringFwdCB, FitStringRevCB,
    DrawStringCB,       DrawSelectionCB,    WordBreakCB};

}  // namespace

OGLE::OGLE() : rec_(OGLE_Create(&kClassCallbacks, this)) {}

OGLE::~OGLE() { OGLE_Destroy(rec_); }
