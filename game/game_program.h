// The whole program's wiring: connects the application frame to the renderer, audio and the
// resource mark, and fills the scene table with the game's rows. The entry and the benchmarks
// that run the real program call it before app_win_main.
#pragma once

void game_connect_program(void);
