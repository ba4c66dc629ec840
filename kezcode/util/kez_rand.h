// Random numbers on the C library's generator, so one srand seeds the whole program.
#pragma once

// A number in 0..32767 from rand(): glibc's rand() reaches 2^31 - 1, while the game's
// "rand() / 32767" fractions expect at most 32767.
int rand15();
