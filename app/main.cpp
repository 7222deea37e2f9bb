// Process entry. The application frame takes over from here.
#include "app/app.h"

int main(int argc, char **argv) {
    return app_win_main(argc, argv);
}
