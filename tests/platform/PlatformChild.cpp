// A fresh process for the platform tests whose outcome is how a process ends.
//   platform_child no-display : setupLL with no display; exit 0 when it returned 1.
//   platform_child close      : setupLL, write the X window id to stdout, then pump
//                               until the window is closed; the pump must end the
//                               process (exit code 0, exit handlers run).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/Platform.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    if (std::strcmp(argv[1], "no-display") == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");  // SDL's own choice: it falls back to a headless driver
        return setupLL("no display", LL_DOUBLEBUFFER, 0, 0, 640, 480) == 1 ? 0 : 10;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        if (setupLL("closing", LL_DOUBLEBUFFER, 0, 0, 200, 100) != 0) {
            return 20;
        }
        std::printf("%lu\n", reinterpret_cast<unsigned long>(platformState.deviceContext));
        std::fflush(stdout);
        std::atexit([] { std::fputs("exit handlers ran", stderr); });
        for (int i = 0; i < 500; ++i) {
            pumpLL(1);
            usleep(10000);
        }
        return 30;  // the pump never ended the process
    }
    return 2;
}
