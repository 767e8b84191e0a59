// Edition constants of the disc edition.
#include "foundation/edition.h"

const int is_dvd = 1;
const int install_type = 1;
const int is_net = 0;
const int is_build = 0;
