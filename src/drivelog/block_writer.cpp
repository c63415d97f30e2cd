#include "block_writer.h"

#include <cstdio>
#include <cstring>

#include "drive_log.h"
#include "dump_result.h"
#include "hexdump.h"
#include "interrupt.h"
#include "run_state.h"

namespace {

constexpr size_t kLineEnd = 2;  // CR LF

// A write and the flush after it; the stream keeps the error of either.
bool flushed(bool written) {
    const bool ok = written && fflush(fpLog) == 0;
    interrupt_point();
    return ok;
}

}  // namespace

bool BlockWriter::room(unsigned long long chars) const {
    char path[sizeof cLogFilePass + 32];
    // A path too long to name is not the reserve's concern: the file was
    // opened under it, so it fits.
    return !drive_log_path(path, sizeof path, iCtrl_, iTgtId_) || space_for(path, chars);
}

bool BlockWriter::tag(const char* tag) const { return line(tag); }

bool BlockWriter::begin(const char* tag, unsigned long long bytes) const {
    return !stopped() && room(strlen(tag) + kLineEnd + hex_text_size(bytes)) && this->tag(tag);
}

bool BlockWriter::begin_text(const char* tag, size_t chars) const {
    return !stopped() && room(strlen(tag) + kLineEnd + chars) && this->tag(tag);
}

bool BlockWriter::dump(const uint8_t* data, size_t len) const { return flushed(hex_dump(fpLog, data, len)); }

bool BlockWriter::block(const char* tag, const uint8_t* data, size_t len) const {
    return flushed(fprintf(fpLog, "%s\r\n", tag) >= 0 && fflush(fpLog) == 0 && hex_dump(fpLog, data, len));
}

bool BlockWriter::line(const char* text) const { return flushed(fprintf(fpLog, "%s\r\n", text) >= 0); }

bool BlockWriter::stopped() { return ferror(fpLog) != 0 || space_exhausted(); }

int BlockWriter::result() { return ferror(fpLog) != 0 ? DUMP_WRITE_FAILED : DUMP_DONE; }
