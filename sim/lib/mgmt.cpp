// Management commands: controller list and information, drive and logical
// drive information, spares, patrol read, online/offline.
#include <cstdio>
#include <cstring>

#include "codes.h"
#include "common/controller_model.h"
#include "common/util.h"
#include "state.h"
#include "wire.h"

namespace sim {

namespace {

void put_le(U8* p, U64 v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<U8>(v >> (8 * i));
}

void put_text(U8* p, const std::string& s, size_t len) {
    memset(p, 0, len);
    memcpy(p, s.data(), s.size() < len ? s.size() : len - 1);
}

// The answer record must fit; only its own size is written.
U8* record(const wire::Request& req, size_t size) {
    if (req.data() == nullptr || req.data_size() < size) return nullptr;
    U8* p = req.data();
    memset(p, 0, size);
    return p;
}

int controller_list(const wire::Request& req) {
    U8* p = record(req, wire::kCtrlListSize);
    if (!p) return kErrBadBuffer;
    // Count, then up to 16 controller indices, all 32-bit.
    const auto& ctrls = library().scenario.controllers;
    U32 n = 0;
    for (const auto& [index, c] : ctrls) {
        if (n == 16) break;
        put_le(p + 4 + 4 * n, index, 4);
        ++n;
    }
    put_le(p, ctrls.size(), 4);
    return kOk;
}

int controller_info(const wire::Request& req, const Controller& c) {
    if (c.infoError) return *c.infoError;
    U8* p = record(req, wire::kCtrlInfoSize);
    if (!p) return kErrBadBuffer;
    const Scenario& sc = library().scenario;
    const ControllerModel& m = kController;
    put_le(p + 0, m.pciVendor, 2);
    put_le(p + 2, m.pciDevice, 2);
    put_le(p + 4, m.subVendor, 2);
    put_le(p + 6, m.subDevice, 2);
    put_text(p + 8, m.product, 32);
    put_text(p + 40, controller_serial(c.index), 32);
    put_text(p + 72, m.package, 24);
    put_le(p + 96, c.index, 4);
    put_le(p + 100, m.memoryMiB, 2);
    p[102] = static_cast<U8>(m.ports);
    p[103] = static_cast<U8>(c.logicalDrives);
    U8 pds = 0;
    for (const Device* d : sc.devices_of(c.index))
        if (d->kind != DeviceKind::Silent && d->ptype == 0) ++pds;
    p[104] = pds;
    p[wire::kCtrlInfoDeviceIdCount] = static_cast<U8>(sc.device_id_count(c.index));
    put_text(p + 112, "Jun 06 2024", 16);
    return kOk;
}

// Firmware states of a physical drive.
U8 pd_state(const DeviceState& st) {
    if (st.offline) return 0x10;
    if (st.spare != SpareRole::None) return 0x02;
    return 0x18;  // online
}

int physical_info(const wire::Request& req, const Device& d) {
    if (d.pdinfoError) return *d.pdinfoError;
    U8* p = record(req, wire::kPdInfoSize);
    if (!p) return kErrBadBuffer;
    const DeviceState& st = device_state(d.ctrl, d.id);
    put_le(p + 0, d.id, 2);
    put_le(p + 2, 1, 2);           // sequence number
    put_le(p + 4, 0xFC, 2);        // enclosure device id
    p[6] = static_cast<U8>(d.id);  // slot
    put_le(p + 8, 0x5000C50000000000ULL | static_cast<U64>(d.ctrl) << 24 | static_cast<U64>(d.id) << 8, 8);
    put_le(p + 16, d.blocks, 8);
    put_le(p + 24, d.blocks & ~0x7FFULL, 8);  // coerced to 1 MiB
    p[32] = pd_state(st);
    p[33] = d.kind == DeviceKind::Sata ? 6 : 12;  // link speed, Gb/s
    fill_inquiry(d, p + 40);
    p[wire::kPdInfoInterface] = static_cast<U8>(d.interface << 4);
    p[190] = d.ptype;
    return kOk;
}

int logical_info(const wire::Request& req, const Controller& c) {
    const U16 ld = req.device_id();
    if (ld >= c.logicalDrives) return kErrNoDevice;
    U8* p = record(req, wire::kLdInfoSize);
    if (!p) return kErrBadBuffer;
    put_le(p + 0, ld, 2);
    p[2] = static_cast<U8>(ld);  // target id
    p[4] = 1;                    // RAID level
    p[5] = 3;                    // optimal
    p[6] = 2;                    // drives in the span
    put_le(p + 8, 1171062784ULL, 8);
    char name[16];
    snprintf(name, sizeof name, "VD%u", ld);
    put_text(p + 16, name, 16);
    p[32] = 0x01;            // write back
    p[33] = 0x01;            // read ahead
    put_le(p + 34, 256, 2);  // strip size, KiB
    return kOk;
}

}  // namespace

int management(const wire::Request& req) {
    const unsigned ctrl = req.ctrl();
    const U16 id = req.device_id();
    const U8 type = req.cmd_type(), cmd = req.cmd();
    char key[32];
    snprintf(key, sizeof key, "mgmt:%u/%u", type, cmd);
    std::vector<std::string> keys = {key};
    if (type == wire::kTypePd && cmd == 0) keys.push_back("pdinfo");
    Outcome o = apply_rules(ctrl, id, keys);
    if (o.delayMs) wait_ms(o.delayMs);
    if (o.fault) return o.fault->code;

    if (type == wire::kTypeSystem && cmd == 0) return controller_list(req);

    const Scenario& sc = library().scenario;
    auto cit = sc.controllers.find(ctrl);
    const bool known = type == wire::kTypeController || type == wire::kTypeLd || type == wire::kTypePd;
    if (!known) return kErrInvalidCommand;
    if (cit == sc.controllers.end()) return kErrInvalidController;
    const Controller& c = cit->second;

    if (type == wire::kTypeController) {
        ControllerState& cs = controller_state(ctrl);
        switch (cmd) {
        case 0: return controller_info(req, c);
        case 14: {  // patrol read status
            U8* p = record(req, wire::kPatrolStatusSize);
            if (!p) return kErrBadBuffer;
            p[0] = cs.patrolActive ? 1 : 0;
            put_le(p + 4, cs.patrolIterations, 4);
            put_le(p + 8, cs.patrolActive ? 12 : 0, 4);  // progress, percent
            return kOk;
        }
        case 15: {  // patrol read properties
            U8* p = record(req, wire::kPatrolPropertiesSize);
            if (!p) return kErrBadBuffer;
            memcpy(p, cs.patrolProperties.data(), cs.patrolProperties.size());
            return kOk;
        }
        case 16:  // set patrol read properties
            if (req.data() == nullptr || req.data_size() < wire::kPatrolPropertiesSize) return kErrBadBuffer;
            memcpy(cs.patrolProperties.data(), req.data(), cs.patrolProperties.size());
            return kOk;
        case 17:
            if (cs.patrolActive) return kErrInvalidState;
            cs.patrolActive = true;
            ++cs.patrolIterations;
            return kOk;
        case 18:
            if (!cs.patrolActive) return kErrInvalidState;
            cs.patrolActive = false;
            return kOk;
        default: return kErrInvalidCommand;
        }
    }
    if (type == wire::kTypeLd) return cmd == 0 ? logical_info(req, c) : kErrInvalidCommand;

    // Physical drive commands.
    if (cmd != 0 && cmd != 1 && cmd != 2 && (cmd < 10 || cmd > 13)) return kErrInvalidCommand;
    const Device* d = sc.device(ctrl, id);
    if (d == nullptr || d->silent()) return kErrNoDevice;
    if (cmd == 0) return physical_info(req, *d);
    if (d->ptype != 0) return kErrInvalidParameter;  // not a disk
    DeviceState& st = device_state(ctrl, id);
    switch (cmd) {
    case 1: st.offline = false; return kOk;
    case 2: st.offline = true; return kOk;
    case 10:
        if (st.spare != SpareRole::None) return kErrInvalidState;
        st.spare = SpareRole::Global;
        return kOk;
    case 11:
        if (req.data() == nullptr || req.data_size() < wire::kArrayListSize) return kErrBadBuffer;
        if (st.spare != SpareRole::None) return kErrInvalidState;
        st.spare = SpareRole::Dedicated;
        memcpy(st.spareArrays.data(), req.data(), st.spareArrays.size());
        return kOk;
    case 12: {
        if (st.spare != SpareRole::Dedicated) return kErrInvalidState;
        U8* p = record(req, wire::kSpareInfoSize);
        if (!p) return kErrBadBuffer;
        put_le(p, id, 2);
        memcpy(p + 4, st.spareArrays.data(), 33);
        return kOk;
    }
    case 13:
        if (st.spare == SpareRole::None) return kErrInvalidState;
        st.spare = SpareRole::None;
        st.spareArrays.fill(0);
        return kOk;
    }
    return kErrInvalidCommand;
}

}  // namespace sim
