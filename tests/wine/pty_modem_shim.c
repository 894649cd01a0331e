/* Test-only: preloaded into wine (LD_PRELOAD) so that a COM port mapped onto a Linux
 * pseudo-terminal has modem lines. A pty has none: TIOCMGET and friends fail on it, and wine's
 * GetCommModemStatus, its DTR/RTS escapes and every WaitCommEvent that wine backs with a
 * modem-line query fail with them. Here those ioctls, on a pty slave only, read and write the
 * line bits in a small text file per pty, $MEMVANE_PTY_MODEM_DIR/pts<N> (decimal TIOCM_* bits),
 * which the test's peer (pty_peer.cpp) sets and reads from the other side. Without the variable,
 * or without the file, CTS, DSR and carrier are on. Every other call goes to the real ioctl.
 * Never part of the product. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int real_ioctl(int fd, unsigned long request, void* arg)
{
    static ioctl_fn next;
    if (!next)
        next = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return next(fd, request, arg);
}

/* The pty number of a Unix98 pty slave (majors 136-143), or -1. */
static int pty_number(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return -1;
    unsigned int maj = major(st.st_rdev);
    if (maj < 136 || maj > 143)
        return -1;
    return (int)((maj - 136) * 256 + minor(st.st_rdev));
}

static int state_path(int pty, char* path, size_t size)
{
    const char* dir = getenv("MEMVANE_PTY_MODEM_DIR");
    if (!dir || !*dir)
        return -1;
    snprintf(path, size, "%s/pts%d", dir, pty);
    return 0;
}

static int read_bits(int pty)
{
    char path[4096];
    int bits = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
    if (state_path(pty, path, sizeof path) != 0)
        return bits;
    FILE* f = fopen(path, "r");
    if (!f)
        return bits;
    if (fscanf(f, "%d", &bits) != 1)
        bits = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
    fclose(f);
    return bits;
}

static void write_bits(int pty, int bits)
{
    char path[4096], temp[4200];
    if (state_path(pty, path, sizeof path) != 0)
        return;
    /* Replaced whole, so the peer never reads half a number. */
    snprintf(temp, sizeof temp, "%s.%d", path, (int)getpid());
    FILE* f = fopen(temp, "w");
    if (!f)
        return;
    fprintf(f, "%d\n", bits);
    fclose(f);
    rename(temp, path);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
        request == TIOCMBIC) {
        int pty = pty_number(fd);
        if (pty >= 0) {
            int* value = (int*)arg;
            int bits = read_bits(pty);
            if (request == TIOCMGET) {
                *value = bits;
                return 0;
            }
            /* The computer drives DTR and RTS only; the other lines are the peer's. */
            const int ours = TIOCM_DTR | TIOCM_RTS;
            if (request == TIOCMSET)
                bits = (bits & ~ours) | (*value & ours);
            else if (request == TIOCMBIS)
                bits |= *value & ours;
            else
                bits &= ~(*value & ours);
            write_bits(pty, bits);
            return 0;
        }
    }
    return real_ioctl(fd, request, arg);
}
