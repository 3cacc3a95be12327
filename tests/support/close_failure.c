/* Preloaded into a program under test (LD_PRELOAD): close() of a descriptor
 * whose file's path contains the text of QUARN_FAIL_CLOSE closes it and then
 * fails with EIO, as a network or quota file system reports a write failure
 * it found late. Every other close passes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int close(int fd)
{
    int (*real_close)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
    const char* match = getenv("QUARN_FAIL_CLOSE");
    char link[64], path[4096];
    ssize_t size = -1;
    if (match != NULL && *match != '\0') {
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        size = readlink(link, path, sizeof path - 1);
    }
    const int result = real_close(fd);
    if (size <= 0)
        return result;
    path[size] = '\0';
    if (strstr(path, match) == NULL)
        return result;
    errno = EIO;
    return -1;
}
