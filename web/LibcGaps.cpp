// What emscripten's C library declares but doesn't define. The in-memory file
// system has no reservations to make, as the file library expects of some.

#include <fcntl.h>

#include <cerrno>

extern "C" int fallocate(int, int, off_t, off_t)
{
    errno = ENOSYS;
    return -1;
}
