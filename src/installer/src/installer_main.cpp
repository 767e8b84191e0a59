// Entry point of the installer edition (the screens arrive with the front end).
#include <cstdio>

int installer_main(int, char**) {
  std::puts("volarium-installer: the installer screen is not built yet.");
  return 0;
}
