// The recorder's frame encoder: one window frame of 32-bit pixels (bytes A, R, G, B, top row
// first, as the read-back leaves them) into a baseline JPEG image, on libjpeg-turbo.
#pragma once
#include <cstddef>
#include <string>

// The codec's spatial quality (0 lowest .. 1023 lossless; 512 normal) as a JPEG quality 1..100.
int MOV_jpeg_quality(int spatial_quality);

class MOV_jpeg_encoder {
 public:
  MOV_jpeg_encoder();
  ~MOV_jpeg_encoder();
  MOV_jpeg_encoder(const MOV_jpeg_encoder&) = delete;
  MOV_jpeg_encoder& operator=(const MOV_jpeg_encoder&) = delete;

  // Encodes width x height pixels with a row stride of width x 4 bytes. True on success; the
  // image is then in data()/size() until the next call. On failure error() says why.
  bool encode(const unsigned char* argb, int width, int height, int quality);

  const unsigned char* data() const;
  size_t size() const;
  const std::string& error() const;

  struct state;  // the library's records and the output buffer, kept between frames

 private:
  state* st_;
};
