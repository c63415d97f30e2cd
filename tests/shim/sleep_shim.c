/* Test shim, preloaded into the tool under test: records every sleep() in the
 * file named by SLEEP_SHIM_LOG ("sleep N" a line) and returns at once.
 * SLEEP_SHIM_BLOCK_AT=k makes the k-th call (1-based) write "blocking" to the
 * log and really wait (SLEEP_SHIM_BLOCK_SECONDS, default 20) so that a test
 * can interrupt the tool during a pause; it then returns what the real
 * sleep() returned (the seconds left when a signal cut it short). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <unistd.h>

static unsigned calls;

static void note(const char* text) {
    const char* path = getenv("SLEEP_SHIM_LOG");
    if (path == NULL || *path == '\0') return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t ignored = write(fd, text, strlen(text));
    (void)ignored;
    close(fd);
}

unsigned int sleep(unsigned int seconds) {
    char line[64];
    ++calls;
    snprintf(line, sizeof line, "sleep %u\n", seconds);
    note(line);
    const char* at = getenv("SLEEP_SHIM_BLOCK_AT");
    if (at != NULL && (unsigned)atoi(at) == calls) {
        const char* s = getenv("SLEEP_SHIM_BLOCK_SECONDS");
        unsigned wait = s ? (unsigned)atoi(s) : 20u;
        unsigned (*real_sleep)(unsigned) = (unsigned (*)(unsigned))dlsym(RTLD_NEXT, "sleep");
        note("blocking\n");
        return real_sleep ? real_sleep(wait) : 0;
    }
    return 0;
}

/* FAIL_CLOSE_OF=PATH: fclose() of the stream open on that file closes it and
 * then reports EIO, as a network file system does whose delayed write fails
 * only when the file is closed. */
int fclose(FILE* fp) {
    static int (*real_fclose)(FILE*);
    if (real_fclose == NULL) real_fclose = (int (*)(FILE*))dlsym(RTLD_NEXT, "fclose");
    const char* fail = getenv("FAIL_CLOSE_OF");
    int failing = 0;
    if (fail != NULL && *fail != '\0' && fp != NULL) {
        char link[64], path[4096];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(fp));
        ssize_t n = readlink(link, path, sizeof path - 1);
        if (n > 0) {
            path[n] = '\0';
            failing = strcmp(path, fail) == 0;
        }
    }
    int rc = real_fclose(fp);
    if (!failing) return rc;
    errno = EIO;
    return EOF;
}

/* STATVFS_SHIM="TOTAL FREE" (bytes): statvfs() of any path tells of a file
 * system of TOTAL bytes, FREE of them available, in blocks of 4096: larger
 * file systems than a test can make. The 32-bit tool, built with 64-bit
 * file records, calls statvfs64(). */
static int told_space(unsigned long long* total, unsigned long long* free_bytes) {
    const char* v = getenv("STATVFS_SHIM");
    return v != NULL && sscanf(v, "%llu %llu", total, free_bytes) == 2;
}

#define TELL_SPACE(st, total, free_bytes)                        \
    do {                                                         \
        memset((st), 0, sizeof *(st));                           \
        (st)->f_bsize = (st)->f_frsize = 4096;                   \
        (st)->f_blocks = (total) / 4096;                         \
        (st)->f_bfree = (st)->f_bavail = (free_bytes) / 4096;    \
        (st)->f_files = (st)->f_ffree = (st)->f_favail = 100000; \
        (st)->f_namemax = 255;                                   \
    } while (0)

int statvfs(const char* path, struct statvfs* st) {
    unsigned long long total, free_bytes;
    if (told_space(&total, &free_bytes)) {
        TELL_SPACE(st, total, free_bytes);
        return 0;
    }
    int (*real)(const char*, struct statvfs*) = (int (*)(const char*, struct statvfs*))dlsym(RTLD_NEXT, "statvfs");
    return real ? real(path, st) : -1;
}

int statvfs64(const char* path, struct statvfs64* st) {
    unsigned long long total, free_bytes;
    if (told_space(&total, &free_bytes)) {
        TELL_SPACE(st, total, free_bytes);
        return 0;
    }
    int (*real)(const char*, struct statvfs64*) =
        (int (*)(const char*, struct statvfs64*))dlsym(RTLD_NEXT, "statvfs64");
    return real ? real(path, st) : -1;
}
