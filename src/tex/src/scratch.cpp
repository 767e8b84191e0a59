// The global scratch image and the size of what it holds.
#include "tex/scratch.h"

namespace {
alignas(16) unsigned char g_scratch[2048 * 2048 * 4];
}

unsigned char* scratch_array = g_scratch;
int scratch_dx = 0, scratch_dy = 0;
