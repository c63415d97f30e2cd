// STP pass-through (6/2): what a simulated SATA drive answers. The drive's
// answer is a Device-to-Host Register FIS in the response area.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "codes.h"
#include "common/util.h"
#include "state.h"
#include "wire.h"

namespace sim {

namespace {

constexpr U8 kFisHostToDevice = 0x27;
constexpr U8 kFisDeviceToHost = 0x34;
constexpr U8 kStatusGood = 0x50;   // DRDY, DSC
constexpr U8 kStatusError = 0x51;  // DRDY, DSC, ERR
constexpr U8 kErrAbort = 0x04;
constexpr U8 kErrIdNotFound = 0x10;

// ATA strings hold two characters per word, the first in the high byte.
void put_ata_string(U8* dst, const std::string& text, size_t len) {
    put_padded(dst, text, len);
    for (size_t i = 0; i + 1 < len; i += 2) std::swap(dst[i], dst[i + 1]);
}

void put_word(U8* p, unsigned word, U16 v) {
    p[2 * word] = static_cast<U8>(v);
    p[2 * word + 1] = static_cast<U8>(v >> 8);
}

void set_checksum(U8* p) {
    U8 sum = 0;
    for (int i = 0; i < 511; ++i) sum = static_cast<U8>(sum + p[i]);
    p[511] = static_cast<U8>(0x100 - sum);
}

std::array<U8, 512> identify_data(const Device& d, bool smart_enabled) {
    if (d.ata.identify) return *d.ata.identify;
    std::array<U8, 512> a{};
    U8* p = a.data();
    put_word(p, 0, 0x0040);
    put_word(p, 1, 16383);
    put_word(p, 3, 16);
    put_word(p, 6, 63);
    put_ata_string(p + 20, d.serial, 20);
    put_ata_string(p + 46, d.ata.firmware.empty() ? d.rev : d.ata.firmware, 8);
    put_ata_string(p + 54, d.ata.model.empty() ? d.product : d.ata.model, 40);
    put_word(p, 47, 0x8010);
    put_word(p, 49, 0x2F00);
    put_word(p, 50, 0x4000);
    put_word(p, 53, 0x0007);
    const U64 lba28 = std::min<U64>(d.blocks, 0x0FFFFFFF);
    put_word(p, 60, static_cast<U16>(lba28));
    put_word(p, 61, static_cast<U16>(lba28 >> 16));
    put_word(p, 63, 0x0007);
    put_word(p, 64, 0x0003);
    for (unsigned w = 65; w <= 68; ++w) put_word(p, w, 120);
    put_word(p, 75, 31);
    put_word(p, 76, 0x070E);
    put_word(p, 80, 0x01F0);
    put_word(p, 82, 0x746B);           // SMART feature set supported (bit 0)
    put_word(p, 83, 0x7D01 | 0x0400);  // 48-bit address feature set
    // Words 84 and 87, bit 5: the general-purpose logging feature set.
    const U16 gpl = d.ata.gpl ? 0x0020 : 0x0000;
    put_word(p, 84, 0x6103 | gpl);
    put_word(p, 85, static_cast<U16>(0x7468 | (smart_enabled ? 1 : 0)));
    put_word(p, 86, 0xBC01 | 0x0400);
    put_word(p, 87, 0x6103 | gpl);
    put_word(p, 88, 0x407F);
    for (unsigned w = 0; w < 4; ++w) put_word(p, 100 + w, static_cast<U16>(d.blocks >> (16 * w)));
    put_word(p, 106, 0x4000);
    put_word(p, 217, 7200);
    p[510] = 0xA5;  // integrity word: signature, then the checksum
    set_checksum(p);
    return a;
}

std::array<U8, 512> smart_thresholds() {
    static const U8 ids[][2] = {{1, 6},   {3, 0},   {4, 20},  {5, 36},  {9, 0},
                                {12, 20}, {194, 0}, {197, 0}, {198, 0}, {199, 0}};
    std::array<U8, 512> a{};
    a[0] = 0x10;
    for (size_t i = 0; i < sizeof ids / sizeof ids[0]; ++i) {
        a[2 + 12 * i] = ids[i][0];
        a[3 + 12 * i] = ids[i][1];
    }
    set_checksum(a.data());
    return a;
}

class AtaCommand {
public:
    AtaCommand(U8* buf, U32 dataLen, const Device& dev, DeviceState& st, const Rule* transfer)
        : buf_(buf), len_(dataLen), d_(dev), st_(st), t_(transfer) {}

    // Runs the command; the response FIS reports the outcome.
    void run() {
        switch (fis()[2]) {
        case 0xEC: return deliver(identify_data(d_, st_.smartEnabled).data(), 512);
        case 0xB0: return smart();
        case 0x24:
        case 0x25: return read_ext();
        case 0x34:
        case 0x35: return write_ext();
        case 0x42: return verify_ext();
        case 0x2F: return read_log_ext();
        default: return fail(kErrAbort);
        }
    }

    void respond(U8 status, U8 error) {
        U8* r = buf_ + wire::stp::kResponse;
        const U8* f = fis();
        memset(r, 0, wire::stp::kResponseSize);
        r[0] = kFisDeviceToHost;
        r[1] = 0x40;  // interrupt
        r[2] = status;
        r[3] = error;
        r[4] = f[4];
        r[5] = f[5];
        r[6] = f[6];
        r[7] = f[7];
        r[8] = f[8];
        r[9] = f[9];
        r[10] = f[10];
        r[12] = f[12];
        r[13] = f[13];
    }

private:
    U8* buf_;
    U32 len_;
    const Device& d_;
    DeviceState& st_;
    const Rule* t_;  // a transfer rule for this call, or null

    const U8* fis() const { return buf_ + wire::stp::kFis; }
    U8* data() { return buf_ + wire::stp::kHeader; }

    void ok() { respond(kStatusGood, 0); }
    void fail(U8 error) { respond(kStatusError, error); }

    // Copies the answer, cut to the data area and to what a transfer rule
    // lets through; such a rule may hand back dataLen as the bytes sent.
    void deliver(const U8* src, size_t n) {
        n = std::min<size_t>(n, len_);
        if (t_ && t_->bytes && *t_->bytes < n) n = *t_->bytes;
        if (t_ && t_->setDataLen) wire::put_le32(buf_ + wire::stp::kDataLen, static_cast<U32>(n));
        memcpy(data(), src, n);
        ok();
    }

    U64 lba() const {
        const U8* f = fis();
        return static_cast<U64>(f[4]) | static_cast<U64>(f[5]) << 8 | static_cast<U64>(f[6]) << 16 |
               static_cast<U64>(f[8]) << 24 | static_cast<U64>(f[9]) << 32 | static_cast<U64>(f[10]) << 40;
    }
    U32 count() const {
        U32 c = fis()[12] | static_cast<U32>(fis()[13]) << 8;
        return c == 0 ? 65536 : c;
    }

    void read_ext() {
        if (lba() + count() > d_.blocks) return fail(kErrIdNotFound);
        st_.medium.read(lba(), data(), std::min<U64>(static_cast<U64>(count()) * 512, len_));
        ok();
    }
    void write_ext() {
        if (lba() + count() > d_.blocks) return fail(kErrIdNotFound);
        st_.medium.write(lba(), data(), std::min<U64>(static_cast<U64>(count()) * 512, len_));
        ok();
    }
    void verify_ext() {
        if (lba() + count() > d_.blocks) return fail(kErrIdNotFound);
        ok();
    }

    void smart() {
        const U8* f = fis();
        if (f[5] != 0x4F || f[6] != 0xC2) return fail(kErrAbort);
        const U8 sub = f[3];
        if (sub == 0xD8) {
            st_.smartEnabled = true;
            return ok();
        }
        if (!st_.smartEnabled) return fail(kErrAbort);
        switch (sub) {
        case 0xD0: return deliver(smart_data(d_).data(), 512);
        case 0xD1: return deliver(d_.ata.thresholds ? d_.ata.thresholds->data() : smart_thresholds().data(), 512);
        case 0xD5: return read_log();
        case 0xD9: st_.smartEnabled = false; return ok();
        case 0xD2:  // attribute autosave
        case 0xD3:  // save attribute values
        case 0xD4:  // off-line immediate
        case 0xDA: return return_status();
        case 0xD6:  // write log
        case 0xDB:  // automatic off-line
            return ok();
        default: return fail(kErrAbort);
        }
    }

    // LBA mid/high stay 4F/C2 while no threshold is exceeded, F4/2C after.
    void return_status() {
        ok();
        if (!d_.ata.smartFailed) return;
        buf_[wire::stp::kResponse + 5] = 0xF4;
        buf_[wire::stp::kResponse + 6] = 0x2C;
    }

    // A log's pages [first, first + count); a log that is not kept, or pages
    // beyond its end, abort the command.
    void log_pages(const std::map<U8, std::vector<U8>>& logs, U8 address, U32 first, U32 count) {
        auto it = logs.find(address);
        if (count == 0 || it == logs.end() || static_cast<U64>(first + count) * 512 > it->second.size())
            return fail(kErrAbort);
        deliver(it->second.data() + static_cast<size_t>(first) * 512, static_cast<size_t>(count) * 512);
    }

    // SMART READ LOG: log address in LBA 7:0, sectors in Count 7:0, always
    // from the log's first sector.
    void read_log() { log_pages(smart_logs(d_), fis()[4], 0, fis()[12]); }

    // READ LOG EXT: log address in LBA 7:0, first page in LBA 15:8 and 39:32,
    // pages in Count.
    void read_log_ext() {
        const U8* f = fis();
        if (!d_.ata.gpl) return fail(kErrAbort);
        const U32 page = f[5] | static_cast<U32>(f[9]) << 8;
        log_pages(gpl_logs(d_), f[4], page, f[12] | static_cast<U32>(f[13]) << 8);
    }
};

}  // namespace

std::array<U8, 512> smart_data(const Device& d) {
    if (d.smart) return *d.smart;
    // Attribute table: id, flags, value, worst, raw value.
    struct Attr {
        U8 id;
        U16 flags;
        U8 value, worst;
        U64 raw;
    };
    const U64 seed = static_cast<U64>(d.ctrl) * 131 + d.id;
    const Attr attrs[] = {
        {1, 0x000F, 117, 99, 160000000 + seed * 977},
        {3, 0x0003, 97, 97, 0},
        {4, 0x0032, 100, 100, 24 + seed % 7},
        {5, 0x0033, 100, 100, seed % 3},
        {9, 0x0032, 76, 76, 21000 + seed * 13},
        {12, 0x0032, 100, 100, 24 + seed % 7},
        {194, 0x0022, 36, 45, 36 + (seed % 5)},
        {197, 0x0012, 100, 100, 0},
        {198, 0x0010, 100, 100, 0},
        {199, 0x003E, 200, 200, 0},
    };
    std::array<U8, 512> a{};
    a[0] = 0x10;  // data structure revision
    for (size_t i = 0; i < sizeof attrs / sizeof attrs[0]; ++i) {
        U8* e = a.data() + 2 + 12 * i;
        e[0] = attrs[i].id;
        e[1] = static_cast<U8>(attrs[i].flags);
        e[2] = static_cast<U8>(attrs[i].flags >> 8);
        e[3] = attrs[i].value;
        e[4] = attrs[i].worst;
        for (int b = 0; b < 6; ++b) e[5 + b] = static_cast<U8>(attrs[i].raw >> (8 * b));
    }
    a[362] = 0x82;  // off-line data collection completed
    a[363] = 0x00;  // last self-test completed without error
    a[364] = 0x59;  // off-line collection time: 600 s
    a[365] = 0x02;
    a[367] = 0x7B;  // off-line capabilities
    a[368] = 0x03;  // SMART capabilities
    a[370] = 0x01;  // error logging supported
    a[372] = 1;     // short self-test: 1 minute
    a[373] = 0xAB;  // extended self-test: 171 minutes
    set_checksum(a.data());
    return a;
}

int stp_passthru(const wire::Request& req) {
    U8* buf = req.data();
    if (buf == nullptr || req.data_size() < wire::stp::kHeader) return kErrBadBuffer;
    const U32 dataLen = wire::le32(buf + wire::stp::kDataLen);
    if (static_cast<U64>(req.data_size()) < wire::stp::kHeader + static_cast<U64>(dataLen)) return kErrBadBuffer;
    const U8* fis = buf + wire::stp::kFis;

    const unsigned ctrl = req.ctrl();
    const U16 id = req.device_id();
    char key[32];
    std::vector<std::string> keys = {"stp"};
    snprintf(key, sizeof key, "stp:%02x", fis[2]);
    keys.push_back(key);
    if (fis[2] == 0xB0) {
        snprintf(key, sizeof key, "smart:%02x", fis[3]);
        keys.push_back(key);
        if (fis[3] == 0xD5) {
            snprintf(key, sizeof key, "smartlog:%02x", fis[4]);
            keys.push_back(key);
        }
    }
    if (fis[2] == 0x2F) {
        snprintf(key, sizeof key, "gpl:%02x", fis[4]);
        keys.push_back(key);
    }
    Outcome o = apply_rules(ctrl, id, keys);
    if (o.delayMs) wait_ms(o.delayMs);
    if (o.fault) return o.fault->code;

    const Library& lib = library();
    if (!lib.scenario.controllers.count(ctrl)) return kErrInvalidController;
    if (fis[0] != kFisHostToDevice) return kErrInvalidParameter;
    const Device* d = lib.scenario.device(ctrl, id);
    if (d == nullptr || d->kind == DeviceKind::Silent) return kErrNoDevice;
    if (d->kind != DeviceKind::Sata) return kErrNotSata;

    AtaCommand cmd(buf, dataLen, *d, device_state(ctrl, id), o.transfer);
    if (o.ataError && (o.ataError->ataStatus & 0x01)) {
        cmd.respond(o.ataError->ataStatus, o.ataError->ataError);
        return kOk;
    }
    cmd.run();
    if (o.ataError) cmd.respond(o.ataError->ataStatus, o.ataError->ataError);
    return kOk;
}

}  // namespace sim
