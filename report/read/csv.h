// Records of comma-separated values (RFC 4180), read from a stream as it
// comes: fields separated by commas, records by LF or CR LF; a field in
// double quotes may hold commas, line breaks and doubled quotes. Memory is
// bounded by the longest record allowed, however long the stream. Blank
// lines are no records; a UTF-8 byte order mark at the start is dropped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

// Fills `into` with up to `room` bytes and returns how many: 0 at the end of
// the stream, -1 when it cannot be read (saying why in `error`).
using ByteSource = std::function<long(char* into, size_t room, std::string& error)>;

struct CsvRecord {
    uint64_t line = 0;                     // of its first line, from 1
    std::vector<std::string_view> fields;  // valid until the next record is read
    std::string error;                     // why it is malformed, "" when it is not (then no fields)
};

class CsvReader {
public:
    static constexpr size_t kLongestRecord = 1 << 20;

    explicit CsvReader(ByteSource source, size_t longest = kLongestRecord);
    // The next record; false at the end of the stream, or when the stream
    // cannot be read (`error()` says why).
    bool next(CsvRecord& r);
    const std::string& error() const { return error_; }

private:
    bool fill();  // more bytes at the end of the buffer; false at the end of the stream
    // Where the record at `begin_` ends: its line break, or `end_` where the
    // bytes read hold none (`open`: within a quoted field).
    size_t record_end(bool& open) const;
    void split(std::string_view text, bool quoted, CsvRecord& r);
    void skip_line();  // past the next line break, whatever quotes come before it

    ByteSource source_;
    size_t longest_;
    std::vector<char> buf_;
    size_t begin_ = 0, end_ = 0;  // the bytes not yet read as records
    bool at_end_ = false, started_ = false;
    uint64_t line_ = 1;
    std::string scratch_, error_;
};

}  // namespace rpt
