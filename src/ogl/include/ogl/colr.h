// The indexed colour table: every primitive takes a colour index into `colr` and a separate
// opacity. Also the light multipliers, the highlight pulse, a spectrum and the image gammas.
#pragma once

class colr_class {
 public:
  static constexpr int kColours = 105;
  static constexpr int kSpectrum = 1000;

  colr_class();
  ~colr_class() {}

  // Sets one entry; an index outside 0..104 is logged and ignored.
  void assign(int index, float r, float g, float b);
  // Raises each light multiplier to at least 0.75 (a NaN becomes 0.75).
  void set_lites_for_interface();
  // Fills the spectrum: 0 rainbow, 1 red ramp, 2 green ramp, 3 blue ramp; other modes change nothing.
  void spectrum_init(int mode);
  // Draws the spectrum as a vertical scale 1000 pixels high at (x, y), its end values beside it,
  // and records the plotted range.
  void spectrum_plotscale(float x, float y, float lo, float hi, int decimals);
  // The spectrum entry of the scale's point at height i: 0 when the ends are equal or not numbers.
  static int spectrum_plotscale_entry(float lo, float hi, int i);

  double image_gamma;
  double display_gamma;
  int gamma_differs;
  unsigned char gamma_table[256];
  float rgb[kColours][3];
  float lite[3];
  float pulse;
  float plot_lo;
  float plot_hi;
  float plot_range;
  float spectrum[kSpectrum][3];
};

extern colr_class colr;
