// Result codes of the simulated storage library (0 is success).
#pragma once

#include <cstdint>

namespace sim {

inline constexpr int32_t kOk = 0;
// The device ended the SCSI command with CHECK CONDITION; status and sense
// data are in the pass-through header.
inline constexpr int32_t kErrScsiStatus = 0x0004;
inline constexpr int32_t kErrInvalidCommand = 0x8001;     // unknown cmdType/cmd
inline constexpr int32_t kErrInvalidController = 0x8002;  // ctrlId not present
inline constexpr int32_t kErrNoDevice = 0x8003;           // nothing answers at the device id
inline constexpr int32_t kErrBadBuffer = 0x8004;          // pData null or dataSize too small
inline constexpr int32_t kErrInvalidParameter = 0x8005;   // malformed pass-through header
inline constexpr int32_t kErrNotSata = 0x8006;            // STP to a device that is not SATA
inline constexpr int32_t kErrInvalidState = 0x8007;       // e.g. removing a spare that is none

}  // namespace sim
