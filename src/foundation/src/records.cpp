// Definitions of the window record and the renderer record. The field initialisers give the
// start values: all zero but mnw's "_keylist_up" (1) and its word 115 (-1), and ren's global alpha (1.0).
#include "foundation/records.h"

mnw_struct mnw;
ren_struct ren;
