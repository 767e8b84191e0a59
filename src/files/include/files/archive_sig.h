// Detached Ed25519 signatures of whole archive files (libsodium): an update fetched from the net
// is started only when its signature, kept beside it in a file of its own, verifies against the
// public key built into the program. The signing side is for whoever publishes updates.
#pragma once
#include <string>

// The signature of an archive lies beside it on the server, under the archive's path and this.
inline constexpr char archive_sig_suffix[] = ".sig";
// Raw bytes of a signature file, of a secret key file, and hex digits of a public key.
inline constexpr int archive_sig_bytes = 64;
inline constexpr int archive_secret_key_bytes = 64;
inline constexpr int archive_public_key_hex_digits = 64;

// 0 when the file at sig_path (exactly archive_sig_bytes) is a signature of the bytes of the
// file at archive_path by the key whose public half is public_key_hex; else an errno
// (EBADMSG: a missing, malformed or wrong signature or key). Paths are rooted.
int archive_sig_verify(const std::string& archive_path, const std::string& sig_path,
                       const std::string& public_key_hex);

// Signs the file at archive_path with the secret key read from secret_key_path and writes the
// signature to sig_path (replacing it). 0 or an errno (EINVAL: not a secret key file).
int archive_sig_sign(const std::string& archive_path, const std::string& secret_key_path,
                     const std::string& sig_path);

// Makes a key pair: the secret half into a new file at secret_key_path (mode 0600, never
// replacing one), the public half into *public_key_hex. 0 or an errno.
int archive_sig_make_key(const std::string& secret_key_path, std::string* public_key_hex);
