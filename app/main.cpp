// Process entry: wires the subsystems into the application frame and hands over to it.
#include "app/app.h"
#include "game/game_program.h"

int main(int argc, char **argv) {
    game_connect_program();
    return app_win_main(argc, argv);
}
