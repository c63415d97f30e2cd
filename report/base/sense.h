// Names of SCSI operations and sense codes, from sg3-utils' tables (the
// report's one sense table). Each name is looked up once per process and
// kept, since an event log may repeat the same few codes thousands of times.
#pragma once
#include <cstdint>
#include <string>

namespace rpt {

// "Read(10)" for 28h (of a direct-access block device).
const std::string& operation_name(uint8_t opcode);

// "Medium Error" for sense key 3.
const std::string& sense_key_name(uint8_t key);

// "Unrecovered read error" for 11h/00h.
const std::string& asc_name(uint8_t asc, uint8_t ascq);
// The same as sg3-utils words it: "Additional sense: Unrecovered read error".
const std::string& asc_sentence(uint8_t asc, uint8_t ascq);

}  // namespace rpt
