// The original platform's C runtime generator, so a recorded input sequence replays the same
// game everywhere: s = s * 214013 + 2531011, result (s >> 16) & 0x7FFF, seed 1.
#pragma once

#define SYS_RAND_MAX 0x7FFF

int sys_rand(void);
void sys_srand(unsigned seed);
