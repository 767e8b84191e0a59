// Our own writer of the QuickTime movie container for the recorder: one video track of JPEG
// samples. The media data goes straight to the file as samples arrive; the movie's header and
// sample tables follow it when the take finishes. Every write and the close are checked.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Time units per second of the movie and its media.
inline constexpr int kMovTimeScale = 600;
// Bounds of one sample's duration, in time units.
inline constexpr int kMovMinSampleUnits = 1;
inline constexpr int kMovMaxSampleUnits = 60;
// Spatial quality recorded in the sample description and given to the encoder (codec scale).
inline constexpr int kMovSpatialQuality = 512;

// Duration in time units of a frame shown for dt seconds: truncated, within the bounds above.
int MOV_sample_units(float dt);

class MOV_writer {
 public:
  MOV_writer() = default;
  ~MOV_writer();  // an unfinished file is closed and removed
  MOV_writer(const MOV_writer&) = delete;
  MOV_writer& operator=(const MOV_writer&) = delete;

  // Creates path exclusively (never replacing anything) and writes the file type and the
  // media data header. 0, or the errno of the failure (EEXIST: the name is taken).
  int create(const std::string& path, int width, int height);
  // Appends one JPEG image shown for `units` time units. 0, or the errno of the failed write.
  int add_sample(const void* data, size_t size, uint32_t units);
  // Writes the movie header and sample tables, patches the media data size, flushes and
  // closes. 0, or the errno of the first failure (the file is then left for discard()).
  int finish();
  // Closes and removes the file of an unfinished take.
  void discard();

  // Leaves a hole of `bytes` in the media data (tests of offsets past 4 GB on a sparse file).
  int skip_for_test(uint64_t bytes);

  bool is_open() const { return fd_ >= 0; }
  size_t sample_count() const { return sizes_.size(); }
  uint64_t total_units() const { return total_units_; }
  const std::string& path() const { return path_; }
  // The 'moov' box as finish() writes it.
  std::vector<uint8_t> build_moov() const;

 private:
  int write_all(const void* data, size_t size);

  int fd_ = -1;
  std::string path_;
  int width_ = 0, height_ = 0;
  uint64_t mdat_start_ = 0;  // offset of the media data box
  uint64_t pos_ = 0;         // end of what was written
  std::vector<uint64_t> offsets_;
  std::vector<uint32_t> sizes_;
  std::vector<uint32_t> units_;
  uint64_t total_units_ = 0;
};
