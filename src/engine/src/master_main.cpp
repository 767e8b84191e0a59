// Entry point of the master-building edition.
#include <cstdio>

int master_main(int, char**) {
  std::puts("volarium-master: master building is not built yet.");
  return 0;
}
