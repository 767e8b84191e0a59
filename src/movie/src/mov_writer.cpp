// The movie container writer: 'ftyp', then 'moov' with one video track of 'jpeg' samples, an
// empty sample table and the movie-extends box, then one 'moof' + 'mdat' per fragment. A fragment
// bases its data offsets on its own 'moof', so no offset in the file is absolute.
#include "movie/mov_writer.h"

#include "files/io_utils.h"
#include "platform/unnamed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

uint32_t MOV_sample_clock::next(float dt) {
  constexpr double kMaxSeconds = double(kMovMaxSampleUnits) / kMovTimeScale;
  double step = double(dt);
  if (!(step > 0)) step = 0;  // also NaN
  seconds_ += std::min(step, kMaxSeconds);
  const double want = std::llround(seconds_ * kMovTimeScale) - double(units_);
  const uint32_t u = uint32_t(std::clamp(want, double(kMovMinSampleUnits), double(kMovMaxSampleUnits)));
  units_ += u;
  return u;
}

namespace {
// Fragments start on this boundary: their first bytes, which make one visible, then never
// straddle a page, so the system writes them in one step that a kill cannot cut. It is also the
// header of the 'free' box that hides a fragment until then (64-bit size).
constexpr uint64_t kFragmentAlign = 16;
uint64_t aligned(uint64_t n) { return (n + kFragmentAlign - 1) / kFragmentAlign * kFragmentAlign; }

// Patches a 32-bit big-endian word.
void put_u32(uint8_t* at, uint32_t v) {
  at[0] = uint8_t(v >> 24);
  at[1] = uint8_t(v >> 16);
  at[2] = uint8_t(v >> 8);
  at[3] = uint8_t(v);
}

// Big-endian box building.
struct box_buf {
  std::vector<uint8_t> b;
  void u8(uint32_t v) { b.push_back(uint8_t(v)); }
  void u16(uint32_t v) { u8(v >> 8); u8(v); }
  void u32(uint32_t v) { u16(v >> 16); u16(v & 0xffff); }
  void u64(uint64_t v) { u32(uint32_t(v >> 32)); u32(uint32_t(v)); }
  void tag(const char* t) { for (int i = 0; i < 4; ++i) u8(uint8_t(t[i])); }
  void zeros(size_t n) { b.insert(b.end(), n, 0); }
  // Opens a box; returns where its size goes.
  size_t open(const char* t) { size_t at = b.size(); u32(0); tag(t); return at; }
  void close(size_t at) { put_u32(&b[at], uint32_t(b.size() - at)); }
  void full(uint32_t version_flags) { u32(version_flags); }
  void matrix() {  // identity, 16.16 and 2.30 fixed point
    const uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    for (uint32_t v : m) u32(v);
  }
  void pascal(const char* s, size_t field) {  // length-prefixed text in a fixed field (0: exact)
    size_t n = std::strlen(s);
    u8(uint32_t(n));
    b.insert(b.end(), s, s + n);
    if (field > n + 1) zeros(field - n - 1);
  }
};

// A handler reference: its kind, subtype, three reserved words and its name.
void handler_box(box_buf& m, const char* kind, const char* subtype, const char* name) {
  size_t at = m.open("hdlr");
  m.full(0);
  m.tag(kind);
  m.tag(subtype);
  m.u32(0);
  m.u32(0);
  m.u32(0);
  m.pascal(name, 0);
  m.close(at);
}

// 'ftyp' and the 'moov' of a fragmented take: no samples in its table. *duration_at gets the
// offsets of the length fields (movie, track, media, fragments) that finish() fills in.
std::vector<uint8_t> build_header(int width, int height, std::vector<uint64_t>* duration_at) {
  box_buf m;
  size_t at = m.open("ftyp");
  m.tag("qt  ");
  m.u32(0x00000200);
  m.tag("qt  ");
  m.close(at);

  size_t moov = m.open("moov");
  size_t mvhd = m.open("mvhd");
  m.full(0);
  m.u32(0);  // creation time
  m.u32(0);  // modification time
  m.u32(kMovTimeScale);
  duration_at->push_back(m.b.size());
  m.u32(0);
  m.u32(0x10000);  // preferred rate 1.0
  m.u16(0x100);    // preferred volume 1.0
  m.zeros(10);
  m.matrix();
  m.zeros(24);     // preview, poster, selection and current times
  m.u32(2);        // next track id
  m.close(mvhd);

  size_t trak = m.open("trak");
  size_t tkhd = m.open("tkhd");
  m.full(0x0000000f);  // enabled, in movie, in preview, in poster
  m.u32(0);
  m.u32(0);
  m.u32(1);  // track id
  m.u32(0);
  duration_at->push_back(m.b.size());
  m.u32(0);
  m.zeros(8);
  m.u16(0);  // layer
  m.u16(0);  // alternate group
  m.u16(0);  // volume: none for video
  m.u16(0);
  m.matrix();
  m.u32(uint32_t(width) << 16);
  m.u32(uint32_t(height) << 16);
  m.close(tkhd);

  size_t mdia = m.open("mdia");
  size_t mdhd = m.open("mdhd");
  m.full(0);
  m.u32(0);
  m.u32(0);
  m.u32(kMovTimeScale);
  duration_at->push_back(m.b.size());
  m.u32(0);
  m.u16(0);  // language
  m.u16(0);  // quality
  m.close(mdhd);

  handler_box(m, "mhlr", "vide", "VideoHandler");

  size_t minf = m.open("minf");
  size_t vmhd = m.open("vmhd");
  m.full(1);
  m.u16(0x40);  // graphics mode: copy
  m.u16(0x8000);
  m.u16(0x8000);
  m.u16(0x8000);
  m.close(vmhd);

  handler_box(m, "dhlr", "alis", "DataHandler");

  size_t dinf = m.open("dinf");
  size_t dref = m.open("dref");
  m.full(0);
  m.u32(1);
  size_t alis = m.open("alis");
  m.full(1);  // the media data is in this file
  m.close(alis);
  m.close(dref);
  m.close(dinf);

  size_t stbl = m.open("stbl");
  size_t stsd = m.open("stsd");
  m.full(0);
  m.u32(1);
  size_t jpeg = m.open("jpeg");
  m.zeros(6);
  m.u16(1);  // data reference index
  m.u16(0);  // version
  m.u16(0);  // revision level
  m.u32(0);  // vendor
  m.u32(0);  // temporal quality
  m.u32(kMovSpatialQuality);
  m.u16(uint32_t(width));
  m.u16(uint32_t(height));
  m.u32(72u << 16);  // 72 dpi
  m.u32(72u << 16);
  m.u32(0);  // data size
  m.u16(1);  // frames per sample
  m.pascal("JPEG frames", 32);
  m.u16(24);      // depth
  m.u16(0xffff);  // no colour table
  m.close(jpeg);
  m.close(stsd);
  // The samples are all in the fragments: empty time, chunk, size and offset tables.
  for (const char* t : {"stts", "stsc", "stsz", "stco"}) {
    size_t e = m.open(t);
    m.full(0);
    if (std::strcmp(t, "stsz") == 0) m.u32(0);  // no common sample size
    m.u32(0);
    m.close(e);
  }
  m.close(stbl);
  m.close(minf);
  m.close(mdia);
  m.close(trak);

  size_t mvex = m.open("mvex");
  size_t mehd = m.open("mehd");
  m.full(0);
  duration_at->push_back(m.b.size());
  m.u32(0);
  m.close(mehd);
  size_t trex = m.open("trex");
  m.full(0);
  m.u32(1);  // track id
  m.u32(1);  // sample description 1
  m.u32(0);  // durations, sizes ...
  m.u32(0);
  m.u32(0);  // ... and flags (every sample a key frame) come with each fragment
  m.close(trex);
  m.close(mvex);
  size_t pad = m.open("free");  // the first fragment starts on its boundary
  m.zeros(size_t(aligned(m.b.size()) - m.b.size()));
  m.close(pad);
  m.close(moov);
  return m.b;
}

// A fragment's 'moof' and the 'mdat' header of its `bytes` of samples, the mdat padded up to
// the next fragment's boundary.
std::vector<uint8_t> build_fragment_head(uint32_t sequence, uint64_t decode_time, const std::vector<uint32_t>& sizes,
                                         const std::vector<uint32_t>& units, uint64_t bytes) {
  box_buf m;
  size_t moof = m.open("moof");
  size_t mfhd = m.open("mfhd");
  m.full(0);
  m.u32(sequence);
  m.close(mfhd);
  size_t traf = m.open("traf");
  size_t tfhd = m.open("tfhd");
  m.full(0x020000);  // data offsets count from this 'moof'
  m.u32(1);          // track id
  m.close(tfhd);
  size_t tfdt = m.open("tfdt");
  m.full(0x01000000);  // version 1: a 64-bit decode time
  m.u64(decode_time);
  m.close(tfdt);
  size_t trun = m.open("trun");
  m.full(0x000301);  // data offset, then each sample's duration and size
  m.u32(uint32_t(sizes.size()));
  size_t offset_at = m.b.size();
  m.u32(0);
  for (size_t i = 0; i < sizes.size(); ++i) {
    m.u32(units[i]);
    m.u32(sizes[i]);
  }
  m.close(trun);
  m.close(traf);
  m.close(moof);
  const uint64_t moof_size = m.b.size(), head = bytes + kFragmentAlign + 8 > 0xffffffffu ? 16 : 8;
  const uint64_t mdat = aligned(moof_size + head + bytes) - moof_size;
  put_u32(&m.b[offset_at], uint32_t(moof_size + head));
  if (head == 16) {
    m.u32(1);
    m.tag("mdat");
    m.u64(mdat);
  } else {
    m.u32(uint32_t(mdat));
    m.tag("mdat");
  }
  return m.b;
}

}  // namespace

MOV_writer::~MOV_writer() { discard(); }

int MOV_writer::write_all(const void* data, size_t size) {
  const int err = ::write_all(fd_, data, size);
  if (err == 0) pos_ += uint64_t(size);
  return err;
}

int MOV_writer::create(const std::string& path, int width, int height) {
  if (fd_ >= 0) return EBUSY;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return EINVAL;
  int err = 0;
  bool named = false;
  int fd = PLAT_open_unnamed(path, &named, &err);
  if (fd < 0) return err;
  fd_ = fd;
  named_ = named;
  path_ = path;
  width_ = width;
  height_ = height;
  pos_ = whole_ = 0;
  failed_ = 0;
  sequence_ = 0;
  written_samples_ = 0;
  written_units_ = pending_units_ = 0;
  data_.clear();
  sizes_.clear();
  units_.clear();
  duration_at_.clear();
  const std::vector<uint8_t> h = build_header(width, height, &duration_at_);
  err = write_all(h.data(), h.size());
  if (err) {
    discard();
    return err;
  }
  whole_ = pos_;
  return 0;
}

// Cuts the file back to its last whole fragment; later samples are refused with err.
int MOV_writer::fail(int err) {
  failed_ = err;
  data_.clear();
  sizes_.clear();
  units_.clear();
  pending_units_ = 0;
  if (::ftruncate(fd_, off_t(whole_)) == 0) pos_ = whole_;
  return err;
}

int MOV_writer::write_fragment() {
  if (sizes_.empty()) return 0;
  std::vector<uint8_t> head =
      build_fragment_head(sequence_ + 1, written_units_, sizes_, units_, uint64_t(data_.size()));
  const uint64_t end = pos_ + aligned(head.size() + data_.size());
  // Readers see the fragment only once it is whole. Until then it is one 'free' box: first the
  // file's zero-filled tail (a box of size 0 runs to the end of the file), then a cover whose
  // size is the fragment's; the fragment's own first bytes replace the cover last.
  uint8_t first[kFragmentAlign];
  std::memcpy(first, head.data(), sizeof first);
  box_buf cover;
  cover.u32(1);
  cover.tag("free");
  cover.u64(end - pos_);
  std::copy(cover.b.begin(), cover.b.end(), head.begin());
  int err = ::ftruncate(fd_, off_t(end)) == 0 && ::lseek(fd_, off_t(pos_), SEEK_SET) >= 0 ? 0 : errno;
  if (!err) err = ::write_all(fd_, head.data(), head.size());
  if (!err) err = ::write_all(fd_, data_.data(), data_.size());
  if (!err) {
    const ssize_t n = ::pwrite(fd_, first, sizeof first, off_t(pos_));
    if (n != ssize_t(sizeof first)) err = n < 0 ? errno : EIO;
  }
  // The first whole fragment gives the take its name: killed before it, it leaves no file.
  if (!err && !named_) err = PLAT_name_file(fd_, path_);
  if (err) return fail(err);
  named_ = true;
  pos_ = whole_ = end;
  sequence_ += 1;
  written_samples_ += sizes_.size();
  written_units_ += pending_units_;
  data_.clear();
  sizes_.clear();
  units_.clear();
  pending_units_ = 0;
  return 0;
}

int MOV_writer::add_sample(const void* data, size_t size, uint32_t units) {
  if (fd_ < 0) return EBADF;
  if (failed_) return failed_;
  if (size == 0 || size > 0xffffffffu) return EINVAL;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  data_.insert(data_.end(), p, p + size);
  sizes_.push_back(uint32_t(size));
  units_.push_back(units);
  pending_units_ += units;
  return pending_units_ >= uint64_t(kMovFragmentUnits) ? write_fragment() : 0;
}

int MOV_writer::skip_for_test(uint64_t bytes) {
  if (fd_ < 0) return EBADF;
  if (int err = write_fragment()) return err;
  if (::lseek(fd_, off_t(pos_), SEEK_SET) < 0) return fail(errno);
  bytes = aligned(bytes);
  box_buf f;
  f.u32(1);
  f.tag("free");
  f.u64(bytes + 16);
  if (int err = write_all(f.b.data(), f.b.size())) return fail(err);
  pos_ += bytes;
  whole_ = pos_;
  return ::ftruncate(fd_, off_t(pos_)) == 0 ? 0 : fail(errno);
}

int MOV_writer::finish() {
  if (fd_ < 0) return EBADF;
  int err = failed_ ? failed_ : write_fragment();
  // The length goes into the header in place: no new space is needed, even on a full disk.
  uint8_t be[4];
  put_u32(be, uint32_t(std::min<uint64_t>(written_units_, 0xffffffffu)));
  for (uint64_t at : duration_at_) {
    ssize_t n = ::pwrite(fd_, be, sizeof be, off_t(at));
    if (n != ssize_t(sizeof be) && !err) err = n < 0 ? errno : EIO;
  }
  if (::fsync(fd_) != 0 && !err) err = errno;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && !err) err = errno;
  if (written_samples_ == 0 && named_) ::unlink(path_.c_str());  // nothing playable
  path_.clear();
  return err;
}

void MOV_writer::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (named_ && !path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}
