// Our own writer of the QuickTime movie container for the recorder: one video track of JPEG
// samples, written as a fragmented movie: the header and an empty sample table first, then about
// once a second of samples a fragment ('moof' + 'mdat'). A fragment shows to readers only once
// it is whole, and the take gets its name with its first one, so a take cut short (the program
// killed, the disk full) is either absent or playable up to its last whole fragment. Every write
// and the close are checked.
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
// Time units of samples gathered before they are written out as one fragment.
inline constexpr int kMovFragmentUnits = kMovTimeScale;

// The take's running time. Each sample lasts the rounded difference of the running time in
// units, so that a take stays within one unit of the clock (truncating each sample on its own
// ran 4 % fast at 25 frames a second); a pause longer than the largest duration counts as it.
class MOV_sample_clock {
 public:
  // Units of a sample shown for dt seconds, within the bounds above.
  uint32_t next(float dt);
  uint64_t units() const { return units_; }

 private:
  double seconds_ = 0;
  uint64_t units_ = 0;
};

class MOV_writer {
 public:
  MOV_writer() = default;
  ~MOV_writer();  // an unfinished take is closed and removed
  MOV_writer(const MOV_writer&) = delete;
  MOV_writer& operator=(const MOV_writer&) = delete;

  // Starts a take that is named path once its first fragment is whole (never replacing
  // anything) and writes the file type and the movie header. 0, or the errno of the failure
  // (EEXIST: the name is taken).
  int create(const std::string& path, int width, int height);
  // Appends one JPEG image shown for `units` time units; a second's worth goes out as a
  // fragment. 0, or the errno of the failed write: the file is then cut back to its last whole
  // fragment and takes no more samples.
  int add_sample(const void* data, size_t size, uint32_t units);
  // Writes what is pending, puts the length into the header, flushes and closes. The file is
  // kept when it holds a whole fragment, else removed. 0, or the errno of the first failure
  // (what was whole before it is kept all the same).
  int finish();
  // Closes and removes the file.
  void discard();

  // Leaves a hole of at least `bytes` (a 'free' box) before the next fragment (tests of file
  // positions past 4 GB on a sparse file).
  int skip_for_test(uint64_t bytes);

  bool is_open() const { return fd_ >= 0; }
  // Samples taken, written or pending.
  size_t sample_count() const { return written_samples_ + sizes_.size(); }
  const std::string& path() const { return path_; }

 private:
  int write_all(const void* data, size_t size);
  int write_fragment();
  int fail(int err);

  int fd_ = -1;
  bool named_ = false;  // an unnamed file vanishes with its descriptor
  std::string path_;
  int width_ = 0, height_ = 0;
  uint64_t pos_ = 0;        // end of what was written
  uint64_t whole_ = 0;      // end of the last whole fragment (or of the header)
  int failed_ = 0;          // the errno that cut the take short
  uint32_t sequence_ = 0;   // fragments written
  size_t written_samples_ = 0;
  uint64_t written_units_ = 0;
  std::vector<uint64_t> duration_at_;  // header fields that get the length at finish()
  // The fragment being gathered.
  std::vector<uint8_t> data_;
  std::vector<uint32_t> sizes_;
  std::vector<uint32_t> units_;
  uint64_t pending_units_ = 0;
};
