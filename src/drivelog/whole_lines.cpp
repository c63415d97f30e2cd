// A drive log that could not be written to its end (a full file system, an
// I/O error) is cut back to its last whole line: a reader then sees every
// line that was complete, and no half line that looks like data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "drive_log.h"

bool keep_whole_lines(const char* path) {
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
        // Every line of a drive log is far shorter than this.
        char tail[4096];
        const off_t want = st.st_size < static_cast<off_t>(sizeof tail) ? st.st_size : static_cast<off_t>(sizeof tail);
        const off_t from = st.st_size - want;
        ssize_t got = pread(fd, tail, static_cast<size_t>(want), from);
        ok = got == want;
        if (ok && tail[want - 1] != '\n') {
            off_t keep = 0;
            for (off_t k = want; k > 0; --k) {
                if (tail[k - 1] == '\n') {
                    keep = from + k;
                    break;
                }
            }
            ok = ftruncate(fd, keep) == 0;
        }
    }
    if (close(fd) != 0) ok = false;
    return ok;
}
