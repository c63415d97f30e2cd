// The space reserve of the log directory. The log directory usually lies on
// the server's root file system, and one disk of the internal-log family
// alone yields up to 200 MB of text: the drive logs must never fill the file
// system that the server's own services live on.
#include <sys/statvfs.h>

#include "KstErr01.h"
#include "drive_log.h"
#include "run_state.h"

namespace {

constexpr unsigned long long kReserveMax = 1ULL << 30;  // 1 GiB
constexpr unsigned kReservePercent = 5;

bool g_exhausted = false;

}  // namespace

unsigned long long hex_text_size(unsigned long long bytes) {
    // 16 bytes a line as " xx" and CR LF: 50 characters; a short last line
    // 3 per byte and CR LF.
    const unsigned long long rest = bytes % 16;
    return bytes / 16 * 50 + (rest ? rest * 3 + 2 : 0);
}

void space_reset() { g_exhausted = false; }

bool space_exhausted() { return g_exhausted; }

bool space_for(const char* path, unsigned long long need) {
    struct statvfs vfs;
    // Unknown free space is no reason to collect nothing: the writes report
    // their own failures.
    if (statvfs(cLogFilePass[0] != '\0' ? cLogFilePass : "/", &vfs) != 0) return true;
    const unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    const unsigned long long total = static_cast<unsigned long long>(vfs.f_blocks) * unit;
    // What the running user may write: root's own reserve of the file system
    // is not ours to use either.
    const unsigned long long available = static_cast<unsigned long long>(vfs.f_bavail) * unit;
    unsigned long long kept = total / 100 * kReservePercent + total % 100 * kReservePercent / 100;
    if (kept > kReserveMax) kept = kReserveMax;
    if (available >= kept && available - kept >= need) return true;
    g_exhausted = true;
    space_reserve_err(path, need, available, kept);
    return false;
}
