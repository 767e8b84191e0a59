// Where the installer screen's buttons are: the screen draws them here, and the tests that click
// through the program find them here.
#pragma once

// A rectangle by its lower-left corner and size, in pixels of the window or sub-window that
// draws it (y up).
struct screen_rect {
  float x, y, w, h;
  constexpr float cx() const { return x + w / 2; }
  constexpr float cy() const { return y + h / 2; }
};

// A button cut from the panel art: where it is drawn, and where its normal look is in the art.
struct art_button {
  screen_rect at;
  float u, v;
};

// The main screen, in window pixels.
inline constexpr art_button kDestinationButton{{10, 78, 126, 22}, 513, 166};
inline constexpr art_button kInstallButton{{700, 78, 83, 22}, 640, 166};
inline constexpr art_button kQuitButton{{960, 78, 51, 22}, 780, 166};
// The destination's text beside its button takes the same click.
inline constexpr screen_rect kDestinationText{135, 79, 300, 20};

// The agreement: sub-window kEulaWindow, buttons in its pixels.
inline constexpr int kEulaWindow = 1;
inline constexpr art_button kDeclineButton{{300, 10, 85, 22}, 832, 166};
inline constexpr art_button kAcceptButton{{400, 10, 59, 22}, 918, 166};

// The question about a file the user changed: sub-window kQuestionWindow. Its buttons are drawn
// by their centre and width; each gives one answer (1 act, 2 keep, 3 cancel, 4 act for the
// folder, 5 keep for the folder).
inline constexpr int kQuestionWindow = 997;
struct answer_button {
  float x, y, w;  // centre and width
  int answer;
};
inline constexpr answer_button kQuestionButtons[5] = {
    {96, 53, 160, 1}, {96, 28, 160, 2}, {308, 53, 260, 4}, {308, 28, 260, 5}, {584, 28, 200, 3}};
