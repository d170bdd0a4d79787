/* The least any program polling the board pays: once a second it sends ":",
 * waits 20 ms, sends "F", waits 80 ms, reads up to "#" and waits 20 ms, with
 * blocking calls only (no event loop, no parsing, no log). It sleeps through
 * the time the characters still missing take at 9600 baud (learnt from the
 * last record's length) and waits on the device only for the last ones.
 *   floor_exchange DEVICE [seconds]      (default: until killed) */
#define _GNU_SOURCE
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { kCharUs = 10 * 1000000 / 9600 }; /* start, 8 data and stop bits */

static void sleepUs(long us)
{
    struct timespec t = {us / 1000000, (us % 1000000) * 1000L};
    clock_nanosleep(CLOCK_MONOTONIC, 0, &t, NULL);
}

/* One record up to '#'; its length, or 0 when none came within half a second. */
static size_t readRecord(int fd, size_t expected)
{
    char buf[512];
    size_t n = 0;
    struct pollfd p = {fd, POLLIN, 0};
    for (int tries = 0; tries < 64 && n < sizeof buf; ++tries) {
        const ssize_t r = read(fd, buf + n, sizeof buf - n);
        if (r > 0)
            n += (size_t)r;
        if (memchr(buf, '#', n))
            return n;
        if (expected > n + 1)
            sleepUs((long)(expected - n - 1) * kCharUs + 1000);
        else if (poll(&p, 1, 500) <= 0)
            return 0;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DEVICE [seconds]\n", argv[0]);
        return 2;
    }
    const long seconds = argc > 2 ? atol(argv[2]) : -1;
    const int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(fd, TCSANOW, &tio);
    }
    struct timespec tick;
    clock_gettime(CLOCK_MONOTONIC, &tick);
    size_t expected = 0;
    long records = 0;
    for (long s = 0; seconds < 0 || s < seconds; ++s) {
        tick.tv_sec += 1;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &tick, NULL);
        tcflush(fd, TCIOFLUSH);
        if (write(fd, ":", 1) != 1)
            return 1;
        sleepUs(20000);
        if (write(fd, "F", 1) != 1)
            return 1;
        sleepUs(80000);
        const size_t n = readRecord(fd, expected);
        if (n) {
            expected = n;
            ++records;
        }
        sleepUs(20000);
    }
    fprintf(stderr, "records %ld\n", records);
    return 0;
}
