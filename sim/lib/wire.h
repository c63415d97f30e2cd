// Where the simulated library finds the fields of the records it receives
// and answers: byte offsets and little-endian accessors of its own, taken
// from the library's interface description and kept apart from the tool's
// record declarations. A field the tool puts at a wrong place then shows as
// a wrong answer, instead of being read back through the same mistake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sim::wire {

using U8 = uint8_t;
using U16 = uint16_t;
using U32 = uint32_t;

inline U16 le16(const U8* p) { return static_cast<U16>(p[0] | p[1] << 8); }
inline U32 le32(const U8* p) { return static_cast<U32>(le16(p)) | static_cast<U32>(le16(p + 2)) << 16; }
inline void put_le16(U8* p, U32 v) {
    p[0] = static_cast<U8>(v);
    p[1] = static_cast<U8>(v >> 8);
}
inline void put_le32(U8* p, U32 v) {
    put_le16(p, v);
    put_le16(p + 2, v >> 16);
}

// The request record of every call: 36 bytes with 4-byte pointers, 40 with
// 8-byte ones; the data pointer is the last field.
namespace req {
constexpr size_t kCmdType = 0;
constexpr size_t kCmd = 1;
constexpr size_t kReserved0 = 2;   // 2 bytes
constexpr size_t kCtrlId = 4;      // 32 bits
constexpr size_t kDevRef = 8;      // 8-byte union; the device id in its first 16 bits
constexpr size_t kParam = 16;      // 8-byte union
constexpr size_t kReserved1 = 24;  // 32 bits
constexpr size_t kDataSize = 28;   // 32 bits
constexpr size_t kData = 32;       // pointer
}  // namespace req

// Command classes and commands.
constexpr U8 kTypeSystem = 0;
constexpr U8 kTypeController = 1;
constexpr U8 kTypePd = 2;
constexpr U8 kTypeLd = 3;
constexpr U8 kTypePassthru = 6;
constexpr U8 kPassthruScsi = 0;
constexpr U8 kPassthruStp = 2;

// A request record seen as bytes.
class Request {
public:
    explicit Request(void* raw) : p_(static_cast<U8*>(raw)) {}
    const U8* bytes() const { return p_; }
    U8 cmd_type() const { return p_[req::kCmdType]; }
    U8 cmd() const { return p_[req::kCmd]; }
    U32 ctrl() const { return le32(p_ + req::kCtrlId); }
    U16 device_id() const { return le16(p_ + req::kDevRef); }
    U32 reserved1() const { return le32(p_ + req::kReserved1); }
    U32 data_size() const { return le32(p_ + req::kDataSize); }
    U8* data() const {
        void* d;
        memcpy(&d, p_ + req::kData, sizeof d);
        return static_cast<U8*>(d);
    }

private:
    U8* p_;
};

// SCSI pass-through: a 64-byte header, then the data area.
namespace scsi {
constexpr size_t kTargetId = 0;  // 16 bits
constexpr size_t kFixedOne = 2;
constexpr size_t kFixedZero = 3;
constexpr size_t kDir = 4;
constexpr size_t kTimeout = 8;  // 16 bits
constexpr size_t kStatus = 10;
constexpr size_t kCdbLen = 11;
constexpr size_t kCdb = 12;
constexpr size_t kCdbMax = 16;
constexpr size_t kSense = 28;
constexpr size_t kSenseLen = 32;
constexpr size_t kDataLen = 60;  // 32 bits
constexpr size_t kHeader = 64;   // the data area begins here
}  // namespace scsi

// STP pass-through: the header, a 20-byte response area at 40, the data
// area at 60.
namespace stp {
constexpr size_t kTargetId = 0;
constexpr size_t kDir = 1;
constexpr size_t kTimeout = 2;  // 16 bits
constexpr size_t kFlags = 4;    // 32 bits
constexpr size_t kFis = 8;      // 20 bytes
constexpr size_t kFisLen = 20;
constexpr size_t kResponseLen = 32;  // 32 bits
constexpr size_t kDataLen = 36;      // 32 bits
constexpr size_t kResponse = 40;     // 20 bytes
constexpr size_t kResponseSize = 20;
constexpr size_t kHeader = 60;  // the data area begins here
}  // namespace stp

// Result records: their sizes, and the two fields the tool reads.
constexpr size_t kCtrlListSize = 68;
constexpr size_t kCtrlInfoSize = 2048;
constexpr size_t kCtrlInfoDeviceIdCount = 111;
constexpr size_t kPdInfoSize = 512;
constexpr size_t kPdInfoInterface = 189;  // interface type in bits 7..4
constexpr size_t kLdInfoSize = 384;
constexpr size_t kSpareInfoSize = 40;
constexpr size_t kArrayListSize = 33;
constexpr size_t kPatrolPropertiesSize = 208;
constexpr size_t kPatrolStatusSize = 16;

}  // namespace sim::wire
