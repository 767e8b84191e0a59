// Edition constants of the network edition: every file comes from the download servers.
#include "foundation/edition.h"

const int is_dvd = 0;
const int install_type = 1;
const int is_net = 1;
const int is_build = 0;
