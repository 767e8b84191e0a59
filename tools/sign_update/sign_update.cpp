// volarium-sign-update: signs an installer update for the About box's update check, for
// whoever publishes updates. The signature goes beside the archive (its name + ".sig") and is
// uploaded with it; the public half of the key is built into the program (VOL_UPDATE_PUBLIC_KEY).
//
//   volarium-sign-update --new-key SECRET_KEY_FILE   makes a key pair, prints the public half
//   volarium-sign-update SECRET_KEY_FILE ARCHIVE     writes ARCHIVE.sig
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/archive_sig.h"
#include "files/io_utils.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s --new-key SECRET_KEY_FILE\n       %s SECRET_KEY_FILE ARCHIVE\n", argv[0],
                 argv[0]);
    return 2;
  }
  if (std::strcmp(argv[1], "--new-key") == 0) {
    std::string public_hex;
    if (int err = archive_sig_make_key(argv[2], &public_hex)) {
      std::fprintf(stderr, "cannot make the key file %s: %s\n", argv[2], error_str(err).c_str());
      return 1;
    }
    std::printf("%s\n", public_hex.c_str());
    return 0;
  }
  const std::string sig = std::string(argv[2]) + archive_sig_suffix;
  if (int err = archive_sig_sign(argv[2], argv[1], sig)) {
    std::fprintf(stderr, "cannot sign %s with %s: %s\n", argv[2], argv[1],
                 err == EINVAL ? "not a secret key file" : error_str(err).c_str());
    return 1;
  }
  std::printf("%s\n", sig.c_str());
  return 0;
}
