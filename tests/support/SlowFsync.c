/* A disk whose flushes are slow, for the programs under test: preloaded
 * (LD_PRELOAD) into a program, every fsync and fdatasync waits
 * HKT75_SLOW_FSYNC_MS milliseconds (100 when unset) before it flushes.
 * The settings store flushes each value and its folder, so each store then
 * takes at least twice that: the time a busy disk takes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static void slow_down(void)
{
    const char *ms = getenv("HKT75_SLOW_FSYNC_MS");
    long wait = ms ? atol(ms) : 100;
    if (wait <= 0)
        return;
    struct timespec t = {wait / 1000, (wait % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0)
        ;
}

int fsync(int fd)
{
    static int (*next)(int);
    if (!next)
        next = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    slow_down();
    return next(fd);
}

int fdatasync(int fd)
{
    static int (*next)(int);
    if (!next)
        next = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    slow_down();
    return next(fd);
}
