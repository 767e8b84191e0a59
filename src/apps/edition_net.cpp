// Edition constants of the net edition.
#include "foundation/edition.h"

const int is_dvd = 1;
const int install_type = 1;
const int is_net = 1;
const int is_build = 0;
