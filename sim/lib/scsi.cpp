// SCSI pass-through (6/0): what a simulated disk or enclosure answers.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "codes.h"
#include "common/util.h"
#include "state.h"
#include "wire.h"

namespace sim {

namespace {

namespace scsi = wire::scsi;

constexpr U8 kGood = 0x00;
constexpr U8 kCheckCondition = 0x02;

// Sense keys and additional sense codes used here.
constexpr U8 kIllegalRequest = 0x05;
constexpr U8 kAscInvalidOpcode = 0x20;
constexpr U8 kAscLbaOutOfRange = 0x21;
constexpr U8 kAscInvalidFieldInCdb = 0x24;

U16 get16(const U8* p) { return static_cast<U16>(p[0] << 8 | p[1]); }
U32 get24(const U8* p) { return static_cast<U32>(p[0]) << 16 | static_cast<U32>(p[1]) << 8 | p[2]; }
U32 get32(const U8* p) { return static_cast<U32>(p[0]) << 24 | get24(p + 1); }
void put16(U8* p, U32 v) {
    p[0] = static_cast<U8>(v >> 8);
    p[1] = static_cast<U8>(v);
}
void put32(U8* p, U32 v) {
    put16(p, v >> 16);
    put16(p + 2, v);
}

class Command {
public:
    Command(U8* pt, const Device& dev, DeviceState& st, const Rule* transfer)
        : pt_(pt), d_(dev), st_(st), t_(transfer) {}

    int run() {
        const U8* cdb = cdb_bytes();
        switch (cdb[0]) {
        case 0x00: return good();  // TEST UNIT READY
        case 0x03: return request_sense();
        case 0x12: return inquiry();
        case 0x15: return good();  // MODE SELECT(6): parameters accepted
        case 0x1A: return mode_sense();
        case 0x1B: return good();  // START STOP UNIT
        case 0x1D: return good();  // SEND DIAGNOSTIC: the self-test passes
        case 0x25: return read_capacity();
        case 0x28: return read10();
        case 0x2A: return write10();
        case 0x2F: return verify10();
        case 0x37: return read_defect_data();
        case 0x3B: return good();  // WRITE BUFFER
        case 0x41: return write_same10();
        case 0x4D: return log_sense();
        case 0xFE: return internal_log();
        default: return check(kIllegalRequest, kAscInvalidOpcode);
        }
    }

private:
    U8* pt_;  // the pass-through record, as bytes
    const Device& d_;
    DeviceState& st_;
    const Rule* t_;  // a transfer rule for this call, or null

    U8* data() { return pt_ + scsi::kHeader; }
    const U8* cdb_bytes() const { return pt_ + scsi::kCdb; }
    U32 data_len() const { return wire::le32(pt_ + scsi::kDataLen); }

    // The bytes a transfer rule lets through of n, and the dataLen it hands
    // back.
    size_t sent(size_t n) {
        if (t_ && t_->bytes && *t_->bytes < n) n = *t_->bytes;
        if (t_ && t_->setDataLen) wire::put_le32(pt_ + scsi::kDataLen, static_cast<U32>(n));
        return n;
    }

    int good() {
        pt_[scsi::kStatus] = kGood;
        memset(pt_ + scsi::kSense, 0, scsi::kSenseLen);
        return kOk;
    }

    int check(U8 key, U8 asc, U8 ascq = 0) {
        pt_[scsi::kStatus] = kCheckCondition;
        U8* s = pt_ + scsi::kSense;
        memset(s, 0, scsi::kSenseLen);
        s[0] = 0x70;  // current error, fixed format
        s[2] = key;
        s[7] = 0x0A;  // additional sense length
        s[12] = asc;
        s[13] = ascq;
        return kErrScsiStatus;
    }

    // Copies the answer, cut to the allocation length and to the data area.
    int deliver(const U8* src, size_t len, U32 alloc) {
        size_t n = sent(std::min<size_t>({len, alloc, data_len()}));
        if (n > 0) memcpy(data(), src, n);
        return good();
    }

    bool has_medium() const { return d_.blocks > 0 && d_.ptype == 0; }

    int request_sense() {
        U8 sense[18] = {0x70, 0, 0, 0, 0, 0, 0, 0x0A};
        return deliver(sense, sizeof sense, cdb_bytes()[4]);
    }

    int inquiry() {
        const U8* cdb = cdb_bytes();
        U32 alloc = get16(cdb + 3);
        if ((cdb[1] & 0x01) == 0) {
            if (cdb[2] != 0) return check(kIllegalRequest, kAscInvalidFieldInCdb);
            U8 std_data[96];
            fill_inquiry(d_, std_data);
            return deliver(std_data, sizeof std_data, alloc);
        }
        U8 vpd[64] = {};
        vpd[0] = d_.ptype;
        vpd[1] = cdb[2];
        size_t len;
        switch (cdb[2]) {
        case 0x00:  // supported VPD pages
            vpd[3] = 3;
            vpd[4] = 0x00;
            vpd[5] = 0x80;
            vpd[6] = 0x83;
            len = 7;
            break;
        case 0x80:  // unit serial number
            vpd[3] = 20;
            put_padded(vpd + 4, d_.serial, 20);
            len = 24;
            break;
        case 0x83:  // device identification: one NAA designator
            vpd[3] = 12;
            vpd[4] = 0x01;  // binary
            vpd[5] = 0x03;  // NAA, logical unit
            vpd[7] = 8;
            vpd[8] = 0x50;
            vpd[9] = 0x00;
            vpd[10] = 0xC5;
            vpd[11] = 0x00;
            vpd[12] = static_cast<U8>(d_.ctrl);
            vpd[13] = 0x5A;
            put16(vpd + 14, d_.id);
            len = 16;
            break;
        default: return check(kIllegalRequest, kAscInvalidFieldInCdb);
        }
        return deliver(vpd, len, alloc);
    }

    int mode_sense() {
        const U8* cdb = cdb_bytes();
        const U8 page = cdb[2] & 0x3F;
        if (cdb[3] != 0 && cdb[3] != 0xFF) return check(kIllegalRequest, kAscInvalidFieldInCdb);
        const bool dbd = (cdb[1] & 0x08) != 0;
        static const U8 recovery[] = {0x01, 0x0A, 0xC0, 0x14, 0, 0, 0, 0, 0x14, 0, 0xFF, 0xFF};
        static const U8 caching[] = {0x08, 0x12, 0x14, 0,    0xFF, 0xFF, 0, 0, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0x80, 0x14, 0,    0,    0, 0, 0,    0};
        static const U8 control[] = {0x0A, 0x0A, 0x02, 0, 0, 0x80, 0, 0, 0, 0, 0x1F, 0xFF};
        U8 buf[4 + 8 + sizeof recovery + sizeof caching + sizeof control] = {};
        size_t len = 4;
        buf[2] = 0x10;  // DPOFUA
        if (!dbd && has_medium()) {
            buf[3] = 8;
            put32(buf + 4, d_.blocks > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<U32>(d_.blocks));
            buf[10] = 0x02;  // block length 512
            len += 8;
        }
        auto add = [&](const U8* p, size_t n) {
            memcpy(buf + len, p, n);
            len += n;
        };
        if (page == 0x01 || page == 0x3F) add(recovery, sizeof recovery);
        if (page == 0x08 || page == 0x3F) add(caching, sizeof caching);
        if (page == 0x0A || page == 0x3F) add(control, sizeof control);
        if (page != 0x01 && page != 0x08 && page != 0x0A && page != 0x3F)
            return check(kIllegalRequest, kAscInvalidFieldInCdb);
        buf[0] = static_cast<U8>(len - 1);
        return deliver(buf, len, cdb[4]);
    }

    int read_capacity() {
        if (!has_medium()) return check(kIllegalRequest, kAscInvalidOpcode);
        U8 cap[8];
        U64 last = d_.blocks - 1;
        put32(cap, last > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<U32>(last));
        put32(cap + 4, 512);
        return deliver(cap, sizeof cap, 8);
    }

    // READ/WRITE/VERIFY/WRITE SAME(10): LBA in bytes 2..5, blocks in 7..8.
    bool in_range(U64 lba, U32 count) const { return lba + count <= d_.blocks; }

    int read10() {
        if (!has_medium()) return check(kIllegalRequest, kAscInvalidOpcode);
        U32 lba = get32(cdb_bytes() + 2), count = get16(cdb_bytes() + 7);
        if (!in_range(lba, count)) return check(kIllegalRequest, kAscLbaOutOfRange);
        size_t n = std::min<U64>(static_cast<U64>(count) * 512, data_len());
        st_.medium.read(lba, data(), n);
        return good();
    }

    int write10() {
        if (!has_medium()) return check(kIllegalRequest, kAscInvalidOpcode);
        U32 lba = get32(cdb_bytes() + 2), count = get16(cdb_bytes() + 7);
        if (!in_range(lba, count)) return check(kIllegalRequest, kAscLbaOutOfRange);
        size_t n = std::min<U64>(static_cast<U64>(count) * 512, data_len());
        st_.medium.write(lba, data(), n);
        return good();
    }

    int verify10() {
        if (!has_medium()) return check(kIllegalRequest, kAscInvalidOpcode);
        U32 lba = get32(cdb_bytes() + 2), count = get16(cdb_bytes() + 7);
        if (!in_range(lba, count)) return check(kIllegalRequest, kAscLbaOutOfRange);
        return good();
    }

    int write_same10() {
        if (!has_medium()) return check(kIllegalRequest, kAscInvalidOpcode);
        U32 lba = get32(cdb_bytes() + 2), count = get16(cdb_bytes() + 7);
        // A count of 0 (to the end of the medium) is not supported.
        if (count == 0 || data_len() < 512) return check(kIllegalRequest, kAscInvalidFieldInCdb);
        if (!in_range(lba, count)) return check(kIllegalRequest, kAscLbaOutOfRange);
        Block block;
        memcpy(block.data(), data(), 512);
        st_.medium.fill(lba, count, block);
        return good();
    }

    int log_sense() {
        const U8* cdb = cdb_bytes();
        const U8 sub = cdb[3];
        const U8 code = t_ && t_->asPage ? *t_->asPage : cdb[2] & 0x3F;
        const U32 alloc = get16(cdb + 7);
        if (sub != 0) return log_subpage(cdb[2] & 0x3F, sub, alloc);
        if (const LogPage* p = d_.page(code)) return deliver(p->bytes.data(), p->bytes.size(), alloc);
        if (code != 0) return check(kIllegalRequest, kAscInvalidFieldInCdb);
        // Supported pages, generated from the declared ones.
        std::vector<U8> list = {0x00, 0x00, 0x00, 0x00};
        for (const auto& p : d_.pages) list.push_back(p.code);
        put16(list.data() + 2, static_cast<U32>(list.size() - 4));
        return deliver(list.data(), list.size(), alloc);
    }

    // Only a drive with subpages declared knows the subpage field; the list
    // of pages and subpages (00h/FFh) is generated from what is declared,
    // in page and subpage order, unless it is declared itself.
    int log_subpage(U8 code, U8 sub, U32 alloc) {
        if (const LogPage* p = d_.subpage(code, sub)) return deliver(p->bytes.data(), p->bytes.size(), alloc);
        if (d_.subpages.empty() || code != 0 || sub != 0xFF) return check(kIllegalRequest, kAscInvalidFieldInCdb);
        std::vector<std::pair<U8, U8>> pairs = {{0x00, 0x00}, {0x00, 0xFF}};
        for (const auto& p : d_.pages)
            if (p.code != 0) pairs.emplace_back(p.code, 0);
        for (const auto& p : d_.subpages) pairs.emplace_back(p.code, p.subpage);
        std::sort(pairs.begin(), pairs.end());
        std::vector<U8> list = {0x40, 0xFF, 0x00, 0x00};
        for (auto [c, s] : pairs) {
            list.push_back(c);
            list.push_back(s);
        }
        put16(list.data() + 2, static_cast<U32>(list.size() - 4));
        return deliver(list.data(), list.size(), alloc);
    }

    // READ DEFECT DATA(10): a header (format and list length) and as many
    // zero descriptors as the grown list holds; no primary list.
    int read_defect_data() {
        const U8* cdb = cdb_bytes();
        if (!has_medium() || !d_.defects.supported) return check(kIllegalRequest, kAscInvalidOpcode);
        const U8 format = d_.defects.format ? *d_.defects.format : static_cast<U8>(cdb[2] & 0x07);
        const bool grown = (cdb[2] & 0x08) != 0;
        const U32 size = format == 0 ? 4 : 8;
        const U64 want = grown ? U64{d_.defects.count} * size : 0;
        const auto len = static_cast<U32>(std::min<U64>(want, 0xFFFF / size * size));
        std::vector<U8> list(4 + len, 0);
        list[1] = static_cast<U8>((cdb[2] & 0x18) | format);
        put16(list.data() + 2, len);
        return deliver(list.data(), list.size(), get16(cdb + 7));
    }

    int internal_log() {
        const U8* cdb = cdb_bytes();
        if (d_.sections.empty()) return check(kIllegalRequest, kAscInvalidOpcode);
        const InternalSection* s = d_.section(cdb[1]);
        if (s == nullptr) return check(kIllegalRequest, kAscInvalidFieldInCdb);
        const U32 offset = get24(cdb + 3);
        // The CDB holds 24 bits of the length; a longer transfer (a whole
        // section of more than 0xFFFFFF bytes) is taken from the host's
        // transfer length.
        U32 want = get24(cdb + 6);
        if (data_len() > 0xFFFFFF && !(t_ && t_->cdbLength)) want = data_len();
        const U32 avail = offset < s->len ? s->len - offset : 0;
        const U32 n = static_cast<U32>(sent(std::min({want, data_len(), avail})));
        U8* out = data();
        U32 i = 0;
        for (; i < n && offset + i < 4; ++i) out[i] = internal_section_byte(s->type, s->len, offset + i);
        for (; i < n; ++i) out[i] = static_cast<U8>(offset + i - 4);
        return good();
    }
};

}  // namespace

void fill_inquiry(const Device& d, U8 out[96]) {
    memset(out, 0, 96);
    out[0] = d.ptype;
    out[2] = 0x06;  // SPC-4
    out[3] = 0x12;  // HiSup, response data format 2
    out[4] = 96 - 5;
    if (d.ptype == 0x0D)
        out[6] = 0x40;  // EncServ
    else
        out[7] = 0x02;  // CmdQue
    put_padded(out + 8, d.vendor, 8);
    put_padded(out + 16, d.product, 16);
    put_padded(out + 32, d.rev, 4);
    put_padded(out + 36, d.serial, 20);
}

int scsi_passthru(const wire::Request& req) {
    U8* pt = req.data();
    if (pt == nullptr || req.data_size() < scsi::kHeader) return kErrBadBuffer;
    const U32 dataLen = wire::le32(pt + scsi::kDataLen);
    if (static_cast<U64>(req.data_size()) < scsi::kHeader + static_cast<U64>(dataLen)) return kErrBadBuffer;
    const U8 cdbLen = pt[scsi::kCdbLen];
    if (cdbLen == 0 || cdbLen > scsi::kCdbMax) return kErrInvalidParameter;
    const U8* cdb = pt + scsi::kCdb;

    const unsigned ctrl = req.ctrl();
    const U16 id = req.device_id();
    const U8 op = cdb[0];
    char key[32];
    std::vector<std::string> keys;
    snprintf(key, sizeof key, "scsi:%02x", op);
    keys.push_back(key);
    if (op == 0x12) keys.push_back("inquiry");
    if (op == 0x4D) {
        keys.push_back("logsense");
        if (cdb[3] == 0)
            snprintf(key, sizeof key, "logsense:%02x", cdb[2] & 0x3F);
        else
            snprintf(key, sizeof key, "logsense:%02x.%02x", cdb[2] & 0x3F, cdb[3]);
        keys.push_back(key);
    }
    if (op == 0xFE) {
        keys.push_back("internal");
        snprintf(key, sizeof key, "internal:%x", cdb[1]);
        keys.push_back(key);
    }
    Outcome o = apply_rules(ctrl, id, keys);
    if (o.delayMs) wait_ms(o.delayMs);
    if (o.fault) {
        pt[scsi::kStatus] = o.fault->scsiStatus;
        memset(pt + scsi::kSense, 0, scsi::kSenseLen);
        if (!o.fault->sense.empty())
            memcpy(pt + scsi::kSense, o.fault->sense.data(), std::min<size_t>(o.fault->sense.size(), scsi::kSenseLen));
        return o.fault->code;
    }

    const Library& lib = library();
    if (!lib.scenario.controllers.count(ctrl)) return kErrInvalidController;
    const Device* d = lib.scenario.device(ctrl, id);
    if (d == nullptr || d->silent()) return kErrNoDevice;
    return Command(pt, *d, device_state(ctrl, id), o.transfer).run();
}

}  // namespace sim
