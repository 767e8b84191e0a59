// The colour table with its built-in defaults, gamma table and spectrum.
#include "ogl/colr.h"

#include <cmath>
#include <cstring>
#include <string>

#include "foundation/globals.h"
#include "foundation/xtim.h"

colr_class colr;

namespace {

void clock_colour(int index, float r, float g, float b) { colr.assign(index, r, g, b); }
void clock_pulse(float p) { colr.pulse = p; }

// The frame clock writes the pulsing highlight entries and the pulse through these.
const bool clock_hooks_installed = [] {
  xtim_hook.set_colour = clock_colour;
  xtim_hook.set_pulse = clock_pulse;
  return true;
}();

}  // namespace

namespace {

struct default_colour {
  int index;
  float r, g, b;
};

// Every entry not listed is black.
constexpr default_colour kDefaults[] = {
    {0, 1, 1, 1},        {1, 1, 0.2f, 0.2f},   {2, 1, 1, 0.2f},      {3, 0.7f, 0.7f, 0.7f},
    {4, 0.8f, 0, 0},     {5, 1, 1, 0},         {6, 0.3f, 0.3f, 0.3f}, {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f},  {9, 0.1f, 0.1f, 0.1f}, {10, 0, 0.8f, 0},     {13, 0, 0.4f, 0},
    {15, 0.4f, 0.4f, 1}, {17, 0, 0, 0.6f},     {18, 0.9f, 0.9f, 0.9f}, {19, 0.8f, 0.1f, 0.1f},
    {20, 0.9f, 0.9f, 1}, {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f}, {24, 1, 1, 0},
    {26, 1, 1, 1},       {27, 1, 1, 1},        {28, 1, 1, 1},        {29, 1, 1, 0},
    {31, 1, 1, 1},       {32, 1, 1, 1},        {33, 1, 1, 1},        {49, 1, 1, 1},
    {50, 0.4f, 1, 0.4f}, {51, 1, 0.4f, 0.4f},  {52, 1, 1, 0.6f},     {53, 0.7f, 0.7f, 1},
    {54, 1, 0.5f, 0},    {55, 0.8f, 0.8f, 0.8f}, {56, 0, 1, 0},       {57, 1, 0.2f, 0.2f},
    {58, 1, 1, 0.2f},    {59, 0.4f, 0.4f, 1},  {60, 0.5f, 0.3f, 0},  {61, 0.5f, 0.5f, 0.5f},
    {62, 0, 0.6f, 0},    {63, 0.6f, 0.2f, 0},  {64, 1, 1, 0},        {65, 0.2f, 0.2f, 0.8f},
    {66, 1, 0.4f, 0},    {67, 0.2f, 0.2f, 0.2f}, {68, 0, 0.2f, 0},    {69, 1, 0, 0},
    {70, 0.6f, 0.6f, 0}, {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f}, {74, 0, 0.1f, 0},
    {75, 1, 0.2f, 1},    {76, 1, 0, 1},        {77, 0, 1, 1},        {78, 0.44f, 0.53f, 0.54f},
    {85, 1, 0, 1},       {87, 1, 0, 1},        {88, 1, 1, 1},        {97, 0.5f, 0.5f, 0.4f},
    {98, 1, 0.3f, 0},    {99, 0.5f, 0.5f, 0.4f}, {100, 0.8f, 0.8f, 0.7f}, {101, 0, 0.6f, 0.2f},
    {102, 1, 1, 0.9f},
};

// Stops of the rainbow: red, orange, yellow, green, blue, violet.
constexpr float roygbv_rgb_loc[6][3] = {{1, 0, 0},  {1, 0.32f, 0.08f}, {1, 1, 0},
                                        {0, 1, 0}, {0, 0, 1},         {0.8f, 0, 0.8f}};

}  // namespace

colr_class::colr_class() {
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  image_gamma = 1.8;
  display_gamma = 1.8;
  for (const default_colour& d : kDefaults) {
    rgb[d.index][0] = d.r;
    rgb[d.index][1] = d.g;
    rgb[d.index][2] = d.b;
  }
  lite[0] = lite[1] = lite[2] = 1.0f;
  const double exponent = 1.0;
  for (int i = 0; i < 256; ++i) {
    double x = i / 255.0;
    double y = x == 0.0 ? 0.0 : std::copysign(std::pow(std::fabs(x), exponent), x);
    gamma_table[i] = static_cast<unsigned char>(static_cast<int>(y * 255.0 + 0.5));
  }
  // A NaN display gamma compares unequal, so it counts as different.
  gamma_differs = (display_gamma == 1.8) ? 0 : 1;
}

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= kColours) {
    xer_line("colr_class::assign: colour index " + std::to_string(index) + " out of range, ignored.");
    return;
  }
  rgb[index][0] = r;
  rgb[index][1] = g;
  rgb[index][2] = b;
}

void colr_class::set_lites_for_interface() {
  for (float& l : lite) {
    if (!(l >= 0.75f)) l = 0.75f;  // also catches NaN
  }
}

void colr_class::spectrum_init(int mode) {
  if (mode < 0 || mode > 3) return;
  for (int i = 0; i < kSpectrum; ++i) {
    float t = static_cast<float>(i) / 1000.0f;
    float* e = spectrum[i];
    if (mode == 0) {
      int k = t < 0.2f ? 0 : t < 0.4f ? 1 : t < 0.6f ? 2 : t < 0.8f ? 3 : 4;
      float f = (t - 0.2f * static_cast<float>(k)) * 5.0f;
      for (int c = 0; c < 3; ++c) e[c] = roygbv_rgb_loc[k][c] * (1.0f - f) + roygbv_rgb_loc[k + 1][c] * f;
    } else {
      e[0] = e[1] = e[2] = 0.0f;
      e[mode - 1] = t;
    }
  }
}
