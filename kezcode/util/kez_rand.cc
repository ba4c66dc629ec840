// Random numbers on the C library's generator.
#include "kez_rand.h"

#include <cstdlib>

int rand15() { return rand() & 0x7FFF; }
