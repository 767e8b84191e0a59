// Archive signatures on libsodium's Ed25519: verification over the mapped archive, so that an
// archive of any size is never read into memory.
#include "files/archive_sig.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "files/io_utils.h"
#include "files/xmap.h"
#include "platform/regular_file.h"

static_assert(archive_sig_bytes == crypto_sign_BYTES);
static_assert(archive_secret_key_bytes == crypto_sign_SECRETKEYBYTES);
static_assert(archive_public_key_hex_digits == 2 * crypto_sign_PUBLICKEYBYTES);

namespace {

// The whole of a small file of exactly `size` bytes into out: 0, ENOENT when it cannot be read,
// EBADMSG for another size.
int read_exact(const std::string& path, unsigned char* out, size_t size) {
  xmap_class file(path);
  if (!file.begin) return ENOENT;
  if (size_t(file.end - file.begin) != size) return EBADMSG;
  std::copy(file.begin, file.end, reinterpret_cast<char*>(out));
  return 0;
}

int write_new(const std::string& path, const unsigned char* data, size_t size, int flags, mode_t mode) {
  const int fd = PLAT_open_regular(rooted_path(path), O_WRONLY | O_CREAT | flags, mode);
  if (fd < 0) return errno;
  int err = write_all(fd, data, size);
  if (::close(fd) != 0 && !err) err = errno;
  if (err) ::unlink(rooted_path(path).c_str());
  return err;
}

}  // namespace

int archive_sig_verify(const std::string& archive_path, const std::string& sig_path,
                       const std::string& public_key_hex) {
  if (sodium_init() < 0) return ENOSYS;
  unsigned char key[crypto_sign_PUBLICKEYBYTES];
  size_t key_len = 0;
  if (public_key_hex.size() != size_t(archive_public_key_hex_digits) ||
      sodium_hex2bin(key, sizeof key, public_key_hex.data(), public_key_hex.size(), nullptr, &key_len, nullptr) != 0 ||
      key_len != sizeof key)
    return EBADMSG;
  unsigned char sig[crypto_sign_BYTES];
  if (read_exact(sig_path, sig, sizeof sig) != 0) return EBADMSG;
  xmap_class archive(archive_path);
  if (!archive.begin) return ENOENT;
  const auto* bytes = reinterpret_cast<const unsigned char*>(archive.begin);
  return crypto_sign_verify_detached(sig, bytes, size_t(archive.end - archive.begin), key) == 0 ? 0 : EBADMSG;
}

int archive_sig_sign(const std::string& archive_path, const std::string& secret_key_path,
                     const std::string& sig_path) {
  if (sodium_init() < 0) return ENOSYS;
  unsigned char secret[crypto_sign_SECRETKEYBYTES];
  if (int err = read_exact(secret_key_path, secret, sizeof secret)) return err == EBADMSG ? EINVAL : err;
  xmap_class archive(archive_path);
  if (!archive.begin) {
    sodium_memzero(secret, sizeof secret);
    return ENOENT;
  }
  unsigned char sig[crypto_sign_BYTES];
  crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(archive.begin),
                       size_t(archive.end - archive.begin), secret);
  sodium_memzero(secret, sizeof secret);
  return write_new(sig_path, sig, sizeof sig, O_TRUNC, 0644);
}

int archive_sig_make_key(const std::string& secret_key_path, std::string* public_key_hex) {
  if (sodium_init() < 0) return ENOSYS;
  unsigned char pub[crypto_sign_PUBLICKEYBYTES], secret[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pub, secret);
  const int err = write_new(secret_key_path, secret, sizeof secret, O_EXCL, 0600);
  sodium_memzero(secret, sizeof secret);
  if (err) return err;
  char hex[2 * crypto_sign_PUBLICKEYBYTES + 1];
  *public_key_hex = sodium_bin2hex(hex, sizeof hex, pub, sizeof pub);
  return 0;
}
