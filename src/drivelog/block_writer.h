// The one way a block goes into the open drive log, for SAS disks and SATA
// drives alike: its tag line, within the log directory's reserve, flushed
// before the block's command goes out; then the bytes that arrived as hex
// dump lines (or one text line), flushed too; a safe point for an interrupt
// after each write.
//
// The writer keeps no state of its own: a failed write leaves the stream's
// error indicator set (every later block is then left out and the driver
// reports the file when it closes it), and a block that would cut into the
// reserve leaves the drive scan marked as out of room (space_exhausted).
// So the writers of one drive log, nested or one after the other, all see
// the same state.
#pragma once

#include <cstddef>
#include <cstdint>

class BlockWriter {
public:
    // The drive log of controller iCtrl, device id iTgtId, open in fpLog.
    BlockWriter(int iCtrl, int iTgtId) : iCtrl_(iCtrl), iTgtId_(iTgtId) {}

    // Room for `chars` more characters of text above the reserve. When there
    // is none, space_for has reported it and nothing more is written.
    bool room(unsigned long long chars) const;

    // The tag line "<tag>\r\n" (tag given with its angle brackets).
    bool tag(const char* tag) const;
    // Room for the tag and at most `bytes` bytes of hex dump, then the tag.
    bool begin(const char* tag, unsigned long long bytes) const;
    // Room for the tag and a text of at most `chars` characters, then the tag.
    bool begin_text(const char* tag, size_t chars) const;

    // The bytes that arrived, as hex dump lines.
    bool dump(const uint8_t* data, size_t len) const;
    // A block whose bytes were read before its tag: both at once, with no
    // safe point between them that would lose what arrived.
    bool block(const char* tag, const uint8_t* data, size_t len) const;
    // One text line, "\r\n" added.
    bool line(const char* text) const;

    // True once a write failed or the reserve was reached: nothing more goes
    // into this drive log.
    static bool stopped();
    // DUMP_WRITE_FAILED once a write failed, else DUMP_DONE.
    static int result();

    int ctrl() const { return iCtrl_; }
    int target() const { return iTgtId_; }

private:
    int iCtrl_;
    int iTgtId_;
};
