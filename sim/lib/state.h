// The simulated library's run-time state: the scenario, what the host has
// changed since (written blocks, spares, patrol read) and the send counters
// of the fault rules.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/scenario.h"
#include "types.h"
#include "wire.h"

namespace sim {

using Block = std::array<U8, 512>;

// A sparse medium: blocks never written read as zeros. WRITE SAME shares one
// block among many addresses.
class Medium {
public:
    void read(U64 lba, U8* out, size_t len) const;  // len bytes from lba on
    void write(U64 lba, const U8* in, size_t len);  // partial last block merged
    void fill(U64 lba, U32 count, const Block& block);

private:
    std::map<U64, std::shared_ptr<const Block>> blocks_;
};

enum class SpareRole : U8 { None, Global, Dedicated };

struct DeviceState {
    Medium medium;
    bool smartEnabled = true;
    bool offline = false;
    SpareRole spare = SpareRole::None;
    std::array<U8, 33> spareArrays{};
};

struct ControllerState {
    std::array<U8, 208> patrolProperties{};
    bool patrolActive = false;
    U32 patrolIterations = 0;
};

struct Library {
    Scenario scenario;
    std::map<std::pair<unsigned, U16>, DeviceState> devices;
    std::map<unsigned, ControllerState> controllers;
    std::map<std::string, unsigned> counters;
};

Library& library();
DeviceState& device_state(unsigned ctrl, U16 id);
ControllerState& controller_state(unsigned ctrl);

// What the rules say about one request: how long to stall and which rule, if
// any, makes it fail. Counts the request for every WHAT in keys.
struct Outcome {
    unsigned delayMs = 0;
    const Rule* fault = nullptr;
    const Rule* ataError = nullptr;
    const Rule* transfer = nullptr;
};
Outcome apply_rules(unsigned ctrl, U16 id, const std::vector<std::string>& keys);

// The handlers; each returns the library's result code.
int scsi_passthru(const wire::Request& req);
int stp_passthru(const wire::Request& req);
int management(const wire::Request& req);

// Identity and records shared by several handlers.
void fill_inquiry(const Device& d, U8 out[96]);
std::array<U8, 512> smart_data(const Device& d);
// A SATA drive's SMART logs and general-purpose logs by address, each in
// whole 512-byte pages; address 0 is the directory.
std::map<U8, std::vector<U8>> smart_logs(const Device& d);
std::map<U8, std::vector<U8>> gpl_logs(const Device& d);

}  // namespace sim
