// A display-independent text-editing engine: word-wrapped line layout of one text, a selection
// with an active end, and clicks, drags and keys turned into edits. The client owns the text and
// the screen; the engine asks for everything through the call-back table it is created with.
// Positions are character offsets 0..length; pieces of text are (first, one past the last).
#pragma once
#include <vector>

struct OGLE_Rec;

// The client's call-backs, in this order. Every one receives the record first.
struct OGLE_Callbacks {
  // Visible rectangle: left, bottom, right, top.
  void (*GetVisibleBounds)(OGLE_Rec* rec, float bounds[4]);
  // Rectangle of the whole laid-out text; its width is the wrap width, its top line 0's top.
  void (*GetLogicalBounds)(OGLE_Rec* rec, float bounds[4]);
  // Told line count x line height after every layout.
  void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
  // Scroll so that the visible lower-left corner lies at offset from the logical one.
  void (*ScrollTo)(OGLE_Rec* rec, float offset[2]);
  void (*GetText)(OGLE_Rec* rec, const char** first, const char** end);
  // Replace positions start..end-1 by new_first..new_end (equal pointers: delete).
  void (*ReplaceText)(OGLE_Rec* rec, int start, int end, const char* new_first, const char* new_end);
  float (*GetLineHeight)(OGLE_Rec* rec);
  float (*MeasureString)(OGLE_Rec* rec, const char* first, const char* end);
  // Characters from the front up to and including the one under `width` (0 for an empty piece
  // or width <= 0, all of them when the width is not used up).
  int (*FitStringFwd)(OGLE_Rec* rec, const char* first, const char* end, float width);
  int (*FitStringRev)(OGLE_Rec* rec, const char* first, const char* end, float width);
  // One line's characters with the line's lower-left corner at (x, y).
  void (*DrawString)(OGLE_Rec* rec, const char* first, const char* end, float x, float y);
  // A selection rectangle; zero width (left == right) is the caret.
  void (*DrawSelection)(OGLE_Rec* rec, float rect[4]);
  // End of the first word: past white space, then past non-white (end at the latest).
  const char* (*WordBreak)(OGLE_Rec* rec, const char* first, const char* end);
};

struct OGLE_Rec {
  OGLE_Callbacks callbacks;
  void* ref = nullptr;
  std::vector<int> line_starts;  // entry 0 is 0 once laid out
  int sel_start = 0;
  int sel_end = 0;
  int active_end = 1;            // 1: sel_end moves; 0: sel_start does
  float desired_x = -1.0f;       // column kept by up and down; -1 not set
};

// Key codes the engine treats as commands; every other code is inserted.
enum : char { OGLE_key_back = 8, OGLE_key_left = 28, OGLE_key_right = 29, OGLE_key_up = 30, OGLE_key_down = 31 };

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* table, void* ref);
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
// Stores both ends and clamps them to the text; the active end and column are kept.
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);
void OGLE_Repaginate(OGLE_Rec* rec);
// Moves the selection with the edit, has the client replace, lays out again.
void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* first, const char* last);
void OGLE_Key(OGLE_Rec* rec, char key, int shift);
void OGLE_Click(OGLE_Rec* rec, float x, float y, int shift);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
void OGLE_Draw(OGLE_Rec* rec, int draw_caret);
void OGLE_RevealSelection(OGLE_Rec* rec);
// The line that holds a position (-1 before the first layout).
int OGLE_CharPosToLine(OGLE_Rec* rec, int pos);

// The engine as a class: the call-backs become virtual operations.
class OGLE {
 public:
  OGLE();
  virtual ~OGLE();
  OGLE(const OGLE&) = delete;
  OGLE& operator=(const OGLE&) = delete;

  virtual void GetVisibleBounds(float bounds[4]) = 0;
  virtual void GetLogicalBounds(float bounds[4]) = 0;
  virtual void SetLogicalHeight(float height) = 0;
  virtual void ScrollTo(float offset[2]) = 0;
  virtual void GetText(const char** first, const char** end) = 0;
  virtual void ReplaceText(int start, int end, const char* new_first, const char* new_end) = 0;
  virtual float GetLineHeight() = 0;
  virtual float MeasureString(const char* first, const char* end) = 0;
  virtual int FitStringFwd(const char* first, const char* end, float width) = 0;
  virtual int FitStringRev(const char* first, const char* end, float width) = 0;
  virtual void DrawString(const char* first, const char* end, float x, float y) = 0;
  virtual void DrawSelection(float rect[4]) = 0;
  virtual const char* WordBreak(const char* first, const char* end) = 0;

  void Draw(int draw_caret) { OGLE_Draw(rec_, draw_caret); }
  void Key(char key, int shift) { OGLE_Key(rec_, key, shift); }
  void Click(float x, float y, int shift) { OGLE_Click(rec_, x, y, shift); }
  void Drag(float x, float y) { OGLE_Drag(rec_, x, y); }
  void GetSelection(int* start, int* end) { OGLE_GetSelection(rec_, start, end); }
  void SetSelection(int start, int end) { OGLE_SetSelection(rec_, start, end); }
  void RevealSelection() { OGLE_RevealSelection(rec_); }
  void Repaginate() { OGLE_Repaginate(rec_); }
  void DoReplaceText(int start, int end, const char* first, const char* last) {
    OGLE_ReplaceText(rec_, start, end, first, last);
  }

 private:
  OGLE_Rec* rec_;
};
