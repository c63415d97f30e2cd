// Reader of the error log (logdperr.txt, kErrorLog of input.h): every record recognised by its
// pattern, SCSI and SATA detail lines decoded, anything else kept as it
// stands. Each record's fields are typed by the record's shape; the JSON
// renderer writes them.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "finding.h"
#include "helpers.h"

namespace rpt {

enum class RecordKind : uint8_t {
    Unrecognised,
    FileOpenError,
    FileWriteError,
    ControllerNotFound,
    MemoryAllocationError,
    LddError,
    BindFileOpenError,
    BindFileNotFound,
    LibraryLoadError,
    ControllerInfoError,
    PhysicalInfoError,
    InconsistentAnswer,
    ShortTransfer,
    LengthCapped,
    EmptyLog,
    SpaceReserveSkipped,
    SpaceReserve,
    ControllerCountTooLarge,
    FileInterrupted,
    TimeLimitExceeded,
    CliFailure,
    ScsiCommandError,
    SataCommandError,
    kCount
};

// The record's kind as the JSON document names it: "file_open_error".
const char* record_name(RecordKind k);

// The rule of the finding a record of this kind gives its collection when
// it names no drive log (or the drive log it names is missing).
Rule record_rule(RecordKind k);

// The detail of each shape of record. `fields` gives each field as f(key,
// value), a value of std::string, uint64_t or int64_t, keys in alphabetical
// order (the order of the JSON document).
struct PathDetail {  // a file the collector could not open, write or find
    std::string path;
    template <class F>
    void fields(F&& f) const {
        f("path", path);
    }
};

struct QueryDetail {  // a controller query that failed
    int64_t controller;
    uint64_t result;
    template <class F>
    void fields(F&& f) const {
        f("controller", controller);
        f("result", result);
    }
};

struct AnswerDetail {  // a page the drive answered inconsistently
    uint64_t controller, target, page, answered, claimed, arrived;
    template <class F>
    void fields(F&& f) const {
        f("answered", answered);
        f("arrived", arrived);
        f("claimed", claimed);
        f("controller", controller);
        f("page", page);
        f("target", target);
    }
};

struct TransferDetail {  // a block that arrived short
    uint64_t controller, target;
    std::string what;
    uint64_t arrived, asked;
    template <class F>
    void fields(F&& f) const {
        f("arrived", arrived);
        f("asked", asked);
        f("controller", controller);
        f("target", target);
        f("what", what);
    }
};

struct CappedDetail {  // a block longer than the collector could ask for
    uint64_t controller, target;
    std::string what;
    uint64_t needed, asked;
    template <class F>
    void fields(F&& f) const {
        f("asked", asked);
        f("controller", controller);
        f("needed", needed);
        f("target", target);
        f("what", what);
    }
};

struct ReserveDetail {  // a drive log cut to keep the space reserve
    std::string path;
    uint64_t needed, free, kept;
    template <class F>
    void fields(F&& f) const {
        f("free", free);
        f("kept", kept);
        f("needed", needed);
        f("path", path);
    }
};

struct CountDetail {  // a controller count too large
    int64_t count;
    template <class F>
    void fields(F&& f) const {
        f("count", count);
    }
};

struct TimeLimitDetail {  // a command that ran past its time limit
    uint64_t seconds;
    std::string command;
    template <class F>
    void fields(F&& f) const {
        f("command", command);
        f("seconds", seconds);
    }
};

struct CliDetail {  // a failure the vendor CLI printed
    std::string text;
    template <class F>
    void fields(F&& f) const {
        f("text", text);
    }
};

// SCSI sense data as sg3_utils names it.
struct Sense {
    uint8_t key = 0, asc = 0, ascq = 0;
    std::string key_name, asc_ascq_name;
};

// A SCSI command that failed: the CDB, the library's result and the sense
// bytes as the record gives them.
struct ScsiDetail {
    uint64_t controller = 0, target = 0;
    std::array<uint8_t, 10> cdb{};
    uint64_t result = 0;
    std::array<uint8_t, 20> sense{};
    std::string opcode_name;
    std::optional<Sense> decoded;  // none when the bytes are no sense data
    std::string summary;           // one line for people

    std::optional<uint8_t> page() const;  // of a LOG SENSE
    std::optional<uint8_t> subpage() const;
    std::optional<uint8_t> section_type() const;  // of an internal-log read

    template <class F>
    void fields(F&& f) const {
        auto maybe = [&](const char* key, std::optional<uint8_t> v) {
            if (v) f(key, uint64_t{*v});
        };
        if (decoded) {
            f("asc", uint64_t{decoded->asc});
            f("asc_ascq_name", decoded->asc_ascq_name);
            f("ascq", uint64_t{decoded->ascq});
        }
        f("cdb", hex_bytes(cdb.data(), cdb.size()));
        f("controller", controller);
        f("opcode", uint64_t{cdb[0]});
        f("opcode_name", opcode_name);
        maybe("page", page());
        f("result", result);
        maybe("section_type", section_type());
        f("sense", hex_bytes(sense.data(), sense.size()));
        if (decoded) {
            f("sense_key", uint64_t{decoded->key});
            f("sense_key_name", decoded->key_name);
        }
        maybe("subpage", subpage());
        f("summary", summary);
        f("target", target);
    }
};

// A SATA command that failed: the 20 bytes of the response FIS.
struct SataDetail {
    uint64_t controller = 0, target = 0;
    std::array<uint8_t, 20> fis{};

    std::optional<uint8_t> status() const;  // of a register FIS from the drive
    std::optional<uint8_t> error() const;

    template <class F>
    void fields(F&& f) const {
        f("controller", controller);
        if (auto e = error()) f("error", uint64_t{*e});
        f("fis", hex_bytes(fis.data(), fis.size()));
        if (auto s = status()) f("status", uint64_t{*s});
        f("target", target);
    }
};

// " (status 51h, error 04h)": the registers of a drive's answer, in hex.
std::string sata_registers(const SataDetail& s);

using RecordDetail = std::variant<std::monostate, PathDetail, QueryDetail, AnswerDetail, TransferDetail, CappedDetail,
                                  ReserveDetail, CountDetail, TimeLimitDetail, CliDetail, ScsiDetail, SataDetail>;

struct ErrRecord {
    RecordKind kind = RecordKind::Unrecognised;
    std::string text;                     // the record as it stands, line ends removed
    RecordDetail detail;                  // monostate when there is nothing to decode
    std::string disk;                     // the drive log file the record names, if any
    std::optional<Finding> disk_finding;  // what the record means for that disk
};

// Every field of a record's detail, as `fields` gives them.
template <class F>
void each_field(const RecordDetail& detail, F&& f) {
    std::visit(
        [&](const auto& d) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(d)>, std::monostate>) d.fields(f);
        },
        detail);
}

std::vector<ErrRecord> read_error_log(std::string_view text);

}  // namespace rpt
