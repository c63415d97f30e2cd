// The logs a simulated SATA drive keeps: SMART logs (SMART READ LOG) and
// general-purpose logs (READ LOG EXT). A drive without declared logs gets a
// generated set that a healthy drive would show; its numbers are made from
// the controller and device id so that drives differ.
#include <cstring>

#include "state.h"

namespace sim {

namespace {

using Log = std::vector<U8>;
using Logs = std::map<U8, Log>;

constexpr size_t kPage = 512;

void put_le(U8* p, U64 v, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<U8>(v >> (8 * i));
}

// Byte 511 makes the page sum to zero, as ATA's data structures do.
void checksum(U8* page) {
    U8 sum = 0;
    for (size_t i = 0; i < kPage - 1; ++i) sum = static_cast<U8>(sum + page[i]);
    page[kPage - 1] = static_cast<U8>(0x100 - sum);
}

Log pages(size_t n) { return Log(n * kPage, 0); }

// A device statistic: the value with its flags (supported, valid).
void statistic(U8* page, size_t at, U64 value) {
    put_le(page + at, value, 6);
    page[at + 7] = 0xC0;
}

// Header of a device statistics page: revision 1 and the page number.
void statistics_header(U8* page, U8 number) {
    page[0] = 0x01;
    page[2] = number;
}

Log device_statistics(U64 seed) {
    Log log = pages(8);
    U8* p0 = log.data();
    statistics_header(p0, 0);
    const U8 listed[] = {0x00, 0x01, 0x05};
    p0[8] = sizeof listed;
    memcpy(p0 + 9, listed, sizeof listed);
    U8* general = log.data() + 1 * kPage;
    statistics_header(general, 1);
    statistic(general, 8, 24 + seed % 7);                 // lifetime power-on resets
    statistic(general, 16, 21000 + seed * 13);            // power-on hours
    statistic(general, 24, 81234567890ULL + seed * 977);  // logical sectors written
    statistic(general, 32, 912345678ULL + seed);          // write commands
    statistic(general, 40, 92345678901ULL + seed * 31);   // logical sectors read
    statistic(general, 48, 1012345678ULL + seed);         // read commands
    U8* temperature = log.data() + 5 * kPage;
    statistics_header(temperature, 5);
    statistic(temperature, 8, 36 + seed % 5);  // current
    statistic(temperature, 16, 35);            // average short term
    statistic(temperature, 24, 34);            // average long term
    statistic(temperature, 32, 45);            // highest
    statistic(temperature, 40, 21);            // lowest
    statistic(temperature, 88, 60);            // specified maximum operating
    return log;
}

// Extended self-test log: one short self-test that completed without error.
Log extended_self_test(U64 seed) {
    Log log = pages(1);
    U8* p = log.data();
    p[0] = 0x01;
    put_le(p + 2, 1, 2);  // the newest descriptor is the first
    p[4] = 0x01;          // short self-test, off-line
    p[5] = 0x00;          // completed without error
    put_le(p + 6, 20000 + seed * 13, 2);
    checksum(p);
    return log;
}

// Extended comprehensive error log: version 1, no error logged.
Log extended_errors() {
    Log log = pages(1);
    log[0] = 0x01;
    checksum(log.data());
    return log;
}

// SATA phy event counters: identifier words (counter id in bits 11..0,
// size in bits 14..12: 1 = 16 bits), each followed by its value; id 0 ends.
Log phy_events(U64 seed) {
    Log log = pages(1);
    U8* p = log.data() + 4;
    const U16 counters[][2] = {
        {0x1001, 0},                           // command failed, ICRC error
        {0x100A, static_cast<U16>(seed % 3)},  // device-to-host register FIS retries
        {0x100B, 1},                           // PHYRDY to PHYRDYn transitions
        {0x100D, 0},                           // host-to-device non-data FIS retries
    };
    for (const auto& c : counters) {
        put_le(p, c[0], 2);
        put_le(p + 2, c[1], 2);
        p += 4;
    }
    checksum(log.data());
    return log;
}

// A directory: version 1, word N the pages of log N.
Log directory(const Logs& logs) {
    Log dir = pages(1);
    dir[0] = 0x01;
    for (const auto& [address, log] : logs)
        if (address != 0) put_le(dir.data() + 2 * address, log.size() / kPage, 2);
    return dir;
}

U64 seed_of(const Device& d) { return static_cast<U64>(d.ctrl) * 131 + d.id; }

}  // namespace

std::map<U8, std::vector<U8>> smart_logs(const Device& d) {
    Logs logs = d.ata.smartLogs;
    if (logs.empty()) {
        for (U8 address : {U8{0x01}, U8{0x06}}) {
            Log log = pages(1);
            log[0] = 0x01;
            checksum(log.data());
            logs[address] = log;
        }
    }
    if (!logs.count(0)) logs[0] = directory(logs);
    return logs;
}

std::map<U8, std::vector<U8>> gpl_logs(const Device& d) {
    Logs logs = d.ata.gplLogs;
    if (logs.empty()) {
        const U64 seed = seed_of(d);
        logs[0x03] = extended_errors();
        logs[0x04] = device_statistics(seed);
        logs[0x07] = extended_self_test(seed);
        logs[0x10] = pages(1);
        logs[0x11] = phy_events(seed);
    }
    if (!logs.count(0)) logs[0] = directory(logs);
    return logs;
}

}  // namespace sim
