// Entry point of the simulated storage library: dispatch, trace and the
// fault rules.
#include <cstdio>
#include <cstring>

#include "codes.h"
#include "common/trace.h"
#include "common/util.h"
#include "sim.h"
#include "state.h"

namespace sim {

Library& library() {
    static Library lib{Scenario::standard(), {}, {}, {}};
    return lib;
}

DeviceState& device_state(unsigned ctrl, U16 id) { return library().devices[{ctrl, id}]; }

ControllerState& controller_state(unsigned ctrl) {
    auto& map = library().controllers;
    auto it = map.find(ctrl);
    if (it != map.end()) return it->second;
    ControllerState& st = map[ctrl];
    // Patrol read properties as a controller leaves the factory: automatic
    // mode, a run every 168 hours, 30 % of the bandwidth.
    st.patrolProperties[0] = 1;
    st.patrolProperties[4] = 168;
    st.patrolProperties[8] = 30;
    return st;
}

namespace {

// A new scenario starts from nothing: no device state, no send counts, no trace.
void install(Scenario sc) {
    Library& lib = library();
    lib.scenario = std::move(sc);
    lib.devices.clear();
    lib.controllers.clear();
    lib.counters.clear();
    clear_trace();
}

}  // namespace

void load_scenario(const std::string& text, const std::string& base_dir) { install(parse_scenario(text, base_dir)); }

void load_scenario_file(const std::string& path) { install(read_scenario_file(path)); }

// ---------------------------------------------------------------- rules

Outcome apply_rules(unsigned ctrl, U16 id, const std::vector<std::string>& keys) {
    Library& lib = library();
    // Counters per controller (or any), per device (or any), per WHAT.
    auto counter = [&](int c, int d, const std::string& key) -> unsigned& {
        char prefix[32];
        snprintf(prefix, sizeof prefix, "%d/%d/", c, d);
        return lib.counters[prefix + key];
    };
    for (const auto& key : keys) {
        const int cs[2] = {static_cast<int>(ctrl), kAny};
        const int ds[2] = {static_cast<int>(id), kAny};
        for (int c : cs)
            for (int d : ds) ++counter(c, d, key);
    }
    Outcome out;
    for (const Rule& r : lib.scenario.rules) {
        if (r.ctrl != kAny && r.ctrl != static_cast<int>(ctrl)) continue;
        if (r.id != kAny && r.id != static_cast<int>(id)) continue;
        bool matches = false;
        for (const auto& key : keys) matches = matches || key == r.what;
        if (!matches) continue;
        if (r.nth != 0 && counter(r.ctrl, r.id, r.what) != r.nth) continue;
        switch (r.action) {
        case RuleAction::Delay: out.delayMs += r.ms; break;
        case RuleAction::Fault:
            if (!out.fault) out.fault = &r;
            break;
        case RuleAction::AtaError:
            if (!out.ataError) out.ataError = &r;
            break;
        case RuleAction::Transfer:
            if (!out.transfer) out.transfer = &r;
            break;
        }
    }
    return out;
}

// ---------------------------------------------------------------- medium

void Medium::read(U64 lba, U8* out, size_t len) const {
    while (len > 0) {
        size_t n = len < 512 ? len : 512;
        auto it = blocks_.find(lba);
        if (it == blocks_.end())
            memset(out, 0, n);
        else
            memcpy(out, it->second->data(), n);
        out += n;
        len -= n;
        ++lba;
    }
}

void Medium::write(U64 lba, const U8* in, size_t len) {
    while (len > 0) {
        size_t n = len < 512 ? len : 512;
        auto block = std::make_shared<Block>();
        if (n < 512) read(lba, block->data(), 512);
        memcpy(block->data(), in, n);
        blocks_[lba] = std::move(block);
        in += n;
        len -= n;
        ++lba;
    }
}

void Medium::fill(U64 lba, U32 count, const Block& block) {
    auto shared = std::make_shared<const Block>(block);
    for (U32 i = 0; i < count; ++i) blocks_[lba + i] = shared;
}

// ---------------------------------------------------------------- entry

namespace {

std::string scsi_fields(const wire::Request& req) {
    namespace scsi = wire::scsi;
    const U8* pt = req.data();
    if (pt == nullptr || req.data_size() < scsi::kHeader) return "";
    unsigned cdblen = pt[scsi::kCdbLen];
    char buf[160];
    snprintf(buf, sizeof buf,
             " tgt=%u one=%u zero=%u dir=%u timeout=%u cdblen=%u cdb=", wire::le16(pt + scsi::kTargetId),
             pt[scsi::kFixedOne], pt[scsi::kFixedZero], pt[scsi::kDir], wire::le16(pt + scsi::kTimeout), cdblen);
    std::string s = buf;
    s += to_hex(pt + scsi::kCdb, cdblen < scsi::kCdbMax ? cdblen : scsi::kCdbMax);
    snprintf(buf, sizeof buf, " datalen=%u", wire::le32(pt + scsi::kDataLen));
    return s + buf;
}

std::string stp_fields(const wire::Request& req) {
    namespace stp = wire::stp;
    const U8* p = req.data();
    if (p == nullptr || req.data_size() < stp::kResponse) return "";
    char buf[160];
    snprintf(buf, sizeof buf, " tgt=%u dir=%u timeout=%u flags=%08x resplen=%u datalen=%u fis=", p[stp::kTargetId],
             p[stp::kDir], wire::le16(p + stp::kTimeout), wire::le32(p + stp::kFlags),
             wire::le32(p + stp::kResponseLen), wire::le32(p + stp::kDataLen));
    return buf + to_hex(p + stp::kFis, stp::kFisLen);
}

}  // namespace

int ProcessLibCommand(SL_LIB_CMD_PARAM_T* request) {
    if (request == nullptr) return kErrBadBuffer;
    const wire::Request req(request);
    const U8* r = req.bytes();
    char head[200];
    snprintf(head, sizeof head, "lib type=%u cmd=%u ctrl=%u ref=%s param=%s rsv0=%s rsv1=%u size=%u", req.cmd_type(),
             req.cmd(), req.ctrl(), to_hex(r + wire::req::kDevRef, 8).c_str(), to_hex(r + wire::req::kParam, 8).c_str(),
             to_hex(r + wire::req::kReserved0, 2).c_str(), req.reserved1(), req.data_size());
    std::string line = head;
    int rc;
    const U8 type = req.cmd_type(), cmd = req.cmd();
    if (type == wire::kTypePassthru && cmd == wire::kPassthruScsi) {
        line += scsi_fields(req);
        rc = scsi_passthru(req);
    } else if (type == wire::kTypePassthru && cmd == wire::kPassthruStp) {
        line += stp_fields(req);
        rc = stp_passthru(req);
    } else {
        if ((type == wire::kTypePd && cmd == 11) || (type == wire::kTypeController && cmd == 16))
            line += " data=" + (req.data() ? to_hex(req.data(), req.data_size()) : std::string());
        rc = management(req);
    }
    line += " rc=" + std::to_string(rc);
    trace_add(line);
    return rc;
}

}  // namespace sim
