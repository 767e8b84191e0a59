// MD5 (RFC 1321) on 32-bit words with explicit little-endian loads, and the file signature that
// the file list compares. Files are read in large blocks rather than mapped, so a file cut short
// by another program while it is hashed gives an error instead of a bus fault.
#include "files/md5.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

#include "files/xmap.h"
#include "files_internal.h"
#include "platform/regular_file.h"

namespace {

inline uint32_t rol(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline uint32_t load_le32(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
}

inline void store_le32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ ((y) ^ (z)))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);   \
  (a) = rol((a), (s)) + (b)
// G split in two independent terms, which shortens the dependency chain.
#define MD5_STEP_G(a, b, c, d, x, t, s)                 \
  (a) += (x) + (t) + ((~(d)) & (c));                    \
  (a) += (d) & (b);                                     \
  (a) = rol((a), (s)) + (b)

// Runs the compression function over n whole 64-byte blocks.
void transform(uint32_t state[4], const uint8_t* p, size_t n) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; n; --n, p += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(p + 4 * i);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

    MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
    MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
    MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
    MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
    MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
    MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
    MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
    MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
    MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
    MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
    MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
    MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
    MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
    MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

    MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

    MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

void update(md5_ctx* ctx, const uint8_t* data, size_t length) {
  if (!length) return;
  size_t have = (ctx->count[0] >> 3) & 63;
  const uint64_t bits = (uint64_t(ctx->count[1]) << 32 | ctx->count[0]) + uint64_t(length) * 8u;
  ctx->count[0] = uint32_t(bits);
  ctx->count[1] = uint32_t(bits >> 32);
  if (have) {
    size_t take = 64 - have;
    if (length < take) {
      std::memcpy(ctx->buffer + have, data, length);
      return;
    }
    std::memcpy(ctx->buffer + have, data, take);
    transform(ctx->state, ctx->buffer, 1);
    data += take;
    length -= take;
  }
  if (length >= 64) {
    transform(ctx->state, data, length / 64);
    data += length & ~size_t(63);
    length &= 63;
  }
  if (length) std::memcpy(ctx->buffer, data, length);
}

const char kHex[] = "0123456789abcdef";

std::string digest_hex(const uint8_t digest[16]) {
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  return out;
}

constexpr size_t kReadBlock = 256 * 1024;

}  // namespace

// Hashes exactly size bytes of fd; false on a read error or when the data ends early.
bool md5_hash_fd(int fd, uint64_t size, md5_ctx* ctx) {
  thread_local std::unique_ptr<uint8_t[]> block;
  if (!block) block.reset(new uint8_t[kReadBlock]);
  uint64_t left = size;
  while (left) {
    size_t want = left < kReadBlock ? size_t(left) : kReadBlock;
    ssize_t got = read(fd, block.get(), want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return false;  // cut short by someone else
    update(ctx, block.get(), size_t(got));
    left -= uint64_t(got);
  }
  return true;
}

void MD5Init(md5_ctx* ctx) {
  ctx->count[0] = ctx->count[1] = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
  std::memset(ctx->buffer, 0, sizeof ctx->buffer);
  std::memset(ctx->digest, 0, sizeof ctx->digest);
}

void MD5Update(md5_ctx* ctx, const uint8_t* data, uint16_t length) { update(ctx, data, length); }

void MD5UpdateWide(md5_ctx* ctx, const uint8_t* data, size_t length) {
  // The block-wise step takes any length in one go.
  update(ctx, data, length);
}

void MD5Final(md5_ctx* ctx) {
  uint8_t bits[8];
  store_le32(bits, ctx->count[0]);
  store_le32(bits + 4, ctx->count[1]);
  static const uint8_t kPad[64] = {0x80};
  size_t have = (ctx->count[0] >> 3) & 63;
  size_t pad = have < 56 ? 56 - have : 120 - have;
  update(ctx, kPad, pad);
  update(ctx, bits, 8);
  for (int i = 0; i < 4; ++i) store_le32(ctx->digest + 4 * i, ctx->state[i]);
}

std::string md5_hex(const void* data, size_t length) {
  md5_ctx ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, static_cast<const uint8_t*>(data), length);
  MD5Final(&ctx);
  return digest_hex(ctx.digest);
}

std::string md5_digest_hex(const md5_ctx& ctx) { return digest_hex(ctx.digest); }

ErrCode calc_file_md5(const std::string& path, std::string& out, int64_t* size) {
  std::string link;
  if (is_sim_link(path.c_str(), &link)) {
    out = md5_hex(link.data(), link.size());
    if (size) *size = static_cast<int64_t>(link.size());
    return 0;
  }
  std::string full = xmap_full_path(path);
  int fd = PLAT_open_regular(full, O_RDONLY);
  if (fd < 0) return ERR_FILE_OPEN;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return ERR_FILE_OPEN;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  md5_ctx ctx;
  MD5Init(&ctx);
  bool ok = md5_hash_fd(fd, uint64_t(st.st_size), &ctx);
  close(fd);
  if (!ok) return ERR_FILE_OPEN;
  MD5Final(&ctx);
  out = digest_hex(ctx.digest);
  if (size) *size = static_cast<int64_t>(st.st_size);
  return 0;
}
