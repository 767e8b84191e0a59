// The movie container writer: 'ftyp', then 'mdat' with a 64-bit size that is patched when the
// take finishes, then 'moov' with one video track of 'jpeg' samples, one sample per chunk.
#include "movie/mov_writer.h"

#include "files/io_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

int MOV_sample_units(float dt) {
  double u = std::trunc(double(dt) * kMovTimeScale);
  if (!(u >= kMovMinSampleUnits)) return kMovMinSampleUnits;  // also NaN
  if (u > kMovMaxSampleUnits) return kMovMaxSampleUnits;
  return int(u);
}

namespace {
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
  void close(size_t at) {
    uint32_t n = uint32_t(b.size() - at);
    b[at] = uint8_t(n >> 24); b[at + 1] = uint8_t(n >> 16); b[at + 2] = uint8_t(n >> 8); b[at + 3] = uint8_t(n);
  }
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

constexpr uint64_t kMdatHeader = 16;  // size 1, 'mdat', 64-bit size
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
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  fd_ = fd;
  path_ = path;
  width_ = width;
  height_ = height;
  pos_ = 0;
  offsets_.clear();
  sizes_.clear();
  units_.clear();
  total_units_ = 0;
  box_buf h;
  size_t at = h.open("ftyp");
  h.tag("qt  ");
  h.u32(0x00000200);
  h.tag("qt  ");
  h.close(at);
  mdat_start_ = h.b.size();
  h.u32(1);
  h.tag("mdat");
  h.u64(kMdatHeader);  // empty until finish() patches it
  int err = write_all(h.b.data(), h.b.size());
  if (err) {
    discard();
    return err;
  }
  return 0;
}

int MOV_writer::add_sample(const void* data, size_t size, uint32_t units) {
  if (fd_ < 0) return EBADF;
  if (size == 0 || size > 0xffffffffu) return EINVAL;
  uint64_t at = pos_;
  int err = write_all(data, size);
  if (err) return err;
  offsets_.push_back(at);
  sizes_.push_back(uint32_t(size));
  units_.push_back(units);
  total_units_ += units;
  return 0;
}

int MOV_writer::skip_for_test(uint64_t bytes) {
  if (fd_ < 0) return EBADF;
  if (::lseek(fd_, off_t(pos_ + bytes), SEEK_SET) < 0) return errno;
  pos_ += bytes;
  return 0;
}

std::vector<uint8_t> MOV_writer::build_moov() const {
  const uint32_t duration = uint32_t(total_units_);
  bool wide = !offsets_.empty() && offsets_.back() > 0xffffffffu;
  box_buf m;
  size_t moov = m.open("moov");

  size_t mvhd = m.open("mvhd");
  m.full(0);
  m.u32(0);  // creation time
  m.u32(0);  // modification time
  m.u32(kMovTimeScale);
  m.u32(duration);
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
  m.u32(duration);
  m.zeros(8);
  m.u16(0);  // layer
  m.u16(0);  // alternate group
  m.u16(0);  // volume: none for video
  m.u16(0);
  m.matrix();
  m.u32(uint32_t(width_) << 16);
  m.u32(uint32_t(height_) << 16);
  m.close(tkhd);

  size_t edts = m.open("edts");
  size_t elst = m.open("elst");
  m.full(0);
  m.u32(1);
  m.u32(duration);
  m.u32(0);        // media time
  m.u32(0x10000);  // rate 1.0
  m.close(elst);
  m.close(edts);

  size_t mdia = m.open("mdia");
  size_t mdhd = m.open("mdhd");
  m.full(0);
  m.u32(0);
  m.u32(0);
  m.u32(kMovTimeScale);
  m.u32(duration);
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
  m.u16(uint32_t(width_));
  m.u16(uint32_t(height_));
  m.u32(72u << 16);  // 72 dpi
  m.u32(72u << 16);
  m.u32(0);  // data size
  m.u16(1);  // frames per sample
  m.pascal("JPEG frames", 32);
  m.u16(24);      // depth
  m.u16(0xffff);  // no colour table
  m.close(jpeg);
  m.close(stsd);

  size_t stts = m.open("stts");
  m.full(0);
  size_t count_at = m.b.size();
  m.u32(0);
  uint32_t runs = 0;
  for (size_t i = 0; i < units_.size();) {
    size_t j = i;
    while (j < units_.size() && units_[j] == units_[i]) ++j;
    m.u32(uint32_t(j - i));
    m.u32(units_[i]);
    ++runs;
    i = j;
  }
  m.b[count_at] = uint8_t(runs >> 24);
  m.b[count_at + 1] = uint8_t(runs >> 16);
  m.b[count_at + 2] = uint8_t(runs >> 8);
  m.b[count_at + 3] = uint8_t(runs);
  m.close(stts);

  size_t stsc = m.open("stsc");
  m.full(0);
  m.u32(1);
  m.u32(1);  // from the first chunk on
  m.u32(1);  // one sample per chunk
  m.u32(1);  // sample description 1
  m.close(stsc);

  size_t stsz = m.open("stsz");
  m.full(0);
  m.u32(0);
  m.u32(uint32_t(sizes_.size()));
  for (uint32_t s : sizes_) m.u32(s);
  m.close(stsz);

  size_t stco = m.open(wide ? "co64" : "stco");
  m.full(0);
  m.u32(uint32_t(offsets_.size()));
  for (uint64_t o : offsets_) {
    if (wide) m.u64(o);
    else m.u32(uint32_t(o));
  }
  m.close(stco);

  m.close(stbl);
  m.close(minf);
  m.close(mdia);
  m.close(trak);
  m.close(moov);
  return m.b;
}

int MOV_writer::finish() {
  if (fd_ < 0) return EBADF;
  uint64_t mdat_size = pos_ - mdat_start_;
  std::vector<uint8_t> moov = build_moov();
  int err = write_all(moov.data(), moov.size());
  if (err) return err;
  uint8_t size_be[8];
  for (int i = 0; i < 8; ++i) size_be[i] = uint8_t(mdat_size >> (56 - 8 * i));
  ssize_t n = ::pwrite(fd_, size_be, sizeof(size_be), off_t(mdat_start_ + 8));
  if (n != ssize_t(sizeof(size_be))) return n < 0 ? errno : EIO;
  if (::fsync(fd_) != 0) return errno;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return errno;  // path_ stays, for discard()
  path_.clear();
  return 0;
}

void MOV_writer::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}
