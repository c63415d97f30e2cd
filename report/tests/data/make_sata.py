#!/usr/bin/env python3
"""Writes the SATA drive logs of the report's tests (sata_*.log) as the
collector writes them with -e: the identity lines, then IDENTIFY DEVICE,
SMART data, thresholds, RETURN STATUS and the SMART and GPL logs as hex-dump
blocks. Makers and models are invented. Run it in this directory:

    python3 make_sata.py
"""


def le(v, n):
    return bytes((v >> (8 * i)) & 0xFF for i in range(n))


def ata_string(s, n):
    """An IDENTIFY string: padded with blanks, each byte pair swapped."""
    b = s.ljust(n).encode()
    return bytes(b[i + (1 if i % 2 == 0 else -1)] for i in range(n))


def with_checksum(b, at=511):
    b = bytearray(b)
    b[at] = (-sum(b[:at])) & 0xFF
    return bytes(b)


def identify(model, serial, firmware, sectors, rpm, gpl=True, major=0x7F0):
    w = [0] * 256
    w[0] = 0x0040
    w[49] = 0x0300  # LBA and DMA
    w[60], w[61] = min(sectors, 0x0FFFFFFF) & 0xFFFF, min(sectors, 0x0FFFFFFF) >> 16
    w[76] = 0x070E  # SATA gen 1..3
    w[80] = major   # supported major versions (bit 10: ACS-3)
    w[81] = 0x011B
    w[82], w[85] = 0x746B, 0x7469  # SMART supported and enabled
    w[83], w[86] = 0x7D01 | 0x0400, 0xBC01 | 0x0400  # 48-bit addressing
    w[84] = 0x4163 if gpl else 0x4143  # bit 5: general purpose logging
    w[87] = w[84]
    w[100:104] = [(sectors >> (16 * i)) & 0xFFFF for i in range(4)]
    w[106] = 0x6003  # 4096-byte physical sectors, 512-byte logical
    w[217] = rpm
    w[255] = 0x00A5
    b = bytearray(b"".join(le(x, 2) for x in w))
    b[20:40] = ata_string(serial, 20)
    b[46:54] = ata_string(firmware, 8)
    b[54:94] = ata_string(model, 40)
    return with_checksum(b, 511)


def smart_data(attrs, selftest_status=0x00):
    b = bytearray(512)
    b[0:2] = le(0x0010, 2)
    for i, (aid, flags, value, worst, raw) in enumerate(attrs):
        o = 2 + 12 * i
        b[o] = aid
        b[o + 1:o + 3] = le(flags, 2)
        b[o + 3], b[o + 4] = value, worst
        b[o + 5:o + 11] = raw if isinstance(raw, bytes) else le(raw, 6)
    b[362] = 0x82  # off-line data collection completed without error
    b[363] = selftest_status
    b[364:366] = le(600, 2)
    b[367] = 0x7B
    b[368:370] = le(0x0003, 2)
    b[370] = 0x01
    b[372], b[373] = 2, 0xFF
    b[375:377] = le(480, 2)
    return with_checksum(b)


def thresholds(items):
    b = bytearray(512)
    b[0:2] = le(0x0010, 2)
    for i, (aid, thr) in enumerate(items):
        b[2 + 12 * i] = aid
        b[3 + 12 * i] = thr
    return with_checksum(b)


def directory(logs):
    """A SMART or GPL log directory: version 1, sectors per log address."""
    b = bytearray(512)
    b[0:2] = le(1, 2)
    for addr, count in logs.items():
        b[2 * addr:2 * addr + 2] = le(count, 2)
    return bytes(b)


def summary_error_log(count):
    b = bytearray(512)
    b[0] = 1
    if count:
        b[1] = 1  # the newest of the five records
        o = 2 + 60  # the error structure after the five command structures
        b[o + 1], b[o + 7] = 0x40, 0x51  # error register UNC, status DRDY DSC ERR
        b[o + 28:o + 30] = le(1234, 2)  # life timestamp (hours)
    b[452:454] = le(count, 2)
    return with_checksum(b)


def selftest_log(entries):
    """SMART self-test log; entries newest first: (type, status, hours, lba)."""
    b = bytearray(512)
    b[0:2] = le(1, 2)
    n = len(entries)
    for k, (kind, status, hours, lba) in enumerate(reversed(entries)):
        o = 2 + 24 * k
        b[o], b[o + 1] = kind, status
        b[o + 2:o + 4] = le(hours, 2)
        b[o + 5:o + 9] = le(lba, 4)
    b[508] = n
    return with_checksum(b)


def ext_selftest_log(entries):
    b = bytearray(512)
    b[0] = 1
    n = len(entries)
    b[2:4] = le(n, 2)
    for k, (kind, status, hours, lba) in enumerate(reversed(entries)):
        o = 4 + 26 * k
        b[o], b[o + 1] = kind, status
        b[o + 2:o + 4] = le(hours, 2)
        b[o + 5:o + 11] = le(lba, 6)
    return with_checksum(b)


def ext_error_log(count):
    b = bytearray(512)
    b[0] = 1
    b[500:502] = le(count, 2)
    return with_checksum(b)


FLAGS = 1 << 63 | 1 << 62  # supported, valid


def statistics(pages):
    """Device statistics: page 0 lists the pages, then each page of qwords."""
    numbers = [0] + sorted(pages)
    p0 = bytearray(512)
    p0[0:2] = le(1, 2)
    p0[8] = len(numbers)
    p0[9:9 + len(numbers)] = bytes(numbers)
    out = {0: bytes(p0)}
    for page, values in pages.items():
        b = bytearray(512)
        b[0:8] = le(1 | page << 16, 8)
        for off, v in values.items():
            flags = FLAGS if v is not None else 1 << 63
            b[off:off + 8] = le((v or 0) | flags, 8)
        out[page] = bytes(b)
    return out


def phy_events(counters):
    b = bytearray(512)
    o = 4
    for ident, size, value in counters:
        b[o:o + 2] = le(ident | (size // 2) << 12, 2)
        b[o + 2:o + 2 + size] = le(value, size)
        o += 2 + size
    return with_checksum(b)


def hexdump(b):
    lines = []
    for i in range(0, len(b), 16):
        lines.append("".join(" %02x" % x for x in b[i:i + 16]) + "\r\n")
    return "".join(lines)


def drive_log(model, serial, firmware, blocks):
    s = "Device code   : %s%s\r\nSerial number : %s\r\n" % (model.ljust(40), firmware.ljust(8), serial.ljust(20))
    for tag, body in blocks:
        s += "<%s>\r\n" % tag
        s += body if isinstance(body, str) else hexdump(body)
    return s


def sata(model, serial, firmware, sectors, rpm, attrs, thr, status, smart_logs, gpl_logs=None, selftest=0):
    blocks = [("ATA IDENTIFY DEVICE", identify(model, serial, firmware, sectors, rpm, gpl_logs is not None)),
              ("ATA SMART READ DATA", smart_data(attrs, selftest)),
              ("ATA SMART READ THRESHOLDS", thresholds(thr)),
              ("ATA SMART RETURN STATUS", status + "\r\n"),
              ("ATA SMART LOG 00", directory({a: len(b) // 512 for a, b in smart_logs.items()}))]
    blocks += [("ATA SMART LOG %02x" % a, b) for a, b in sorted(smart_logs.items())]
    if gpl_logs is not None:
        blocks.append(("ATA GPL LOG 00 PAGE 0000", directory({a: 1 for a in gpl_logs})))
        for addr in (0x04, 0x07, 0x03, 0x10, 0x11):
            for page, b in sorted(gpl_logs.get(addr, {}).items()):
                blocks.append(("ATA GPL LOG %02x PAGE %04x" % (addr, page), b))
    return drive_log(model, serial, firmware, blocks)


PASSED, FAILED = "passed (4f c2)", "threshold exceeded (f4 2c)"
TEMP_RAW = bytes([0x23, 0x00, 0x12, 0x00, 0x2D, 0x00])  # 35 C, lowest 18, highest 45

HDD_ATTRS = [(1, 0x000F, 200, 200, 0), (3, 0x0027, 178, 176, 6075), (4, 0x0032, 100, 100, 412),
             (5, 0x0033, 200, 200, 0), (7, 0x002E, 200, 200, 0), (9, 0x0032, 72, 72, 21034),
             (10, 0x0032, 100, 100, 0), (12, 0x0032, 100, 100, 409), (192, 0x0032, 200, 200, 398),
             (193, 0x0032, 197, 197, 11287), (194, 0x0022, 117, 103, TEMP_RAW), (196, 0x0032, 200, 200, 0),
             (197, 0x0032, 200, 200, 0), (198, 0x0030, 100, 253, 0), (199, 0x0032, 200, 200, 0),
             (200, 0x0008, 100, 253, 0)]
HDD_THRESH = [(1, 51), (3, 21), (4, 0), (5, 140), (7, 0), (9, 0), (10, 0), (12, 0), (192, 0), (193, 0),
              (194, 0), (196, 0), (197, 0), (198, 0), (199, 0), (200, 0)]

healthy_hdd = sata(
    "ACME DH4000SA-1000", "AC1H0000000000004711", "AC01R007", 7814037168, 7200, HDD_ATTRS, HDD_THRESH, PASSED,
    {0x01: summary_error_log(0), 0x06: selftest_log([(2, 0x00, 21000, 0), (1, 0x00, 20500, 0)])},
    {0x03: {0: ext_error_log(0)},
     0x04: statistics({1: {0x08: 409, 0x10: 21034, 0x18: 91234567890, 0x28: 123456789012},
                       3: {0x08: 21030, 0x20: 0, 0x38: 0},
                       4: {0x08: 0, 0x10: 2},
                       5: {0x08: 35, 0x20: 45, 0x58: 60},
                       6: {0x08: 14, 0x18: 0}}),
     0x07: {0: ext_selftest_log([(2, 0x00, 21000, 0), (1, 0x00, 20500, 0)])},
     0x10: {0: bytes(512)},
     0x11: {0: phy_events([(0x001, 2, 0), (0x00A, 2, 3), (0x00B, 2, 0)])}})

SSD_ATTRS = [(5, 0x0033, 100, 100, bytes([0x02, 0x00, 0x00, 0x00, 0x07, 0x00])), (9, 0x0032, 100, 100, 8760),
             (12, 0x0032, 100, 100, 57), (171, 0x0032, 100, 100, 0), (172, 0x0032, 100, 100, 0),
             (173, 0x0032, 7, 7, 2900), (194, 0x0022, 67, 55, 33), (199, 0x003E, 100, 100, 0),
             (233, 0x0032, 7, 7, 0)]
SSD_THRESH = [(5, 10), (9, 0), (12, 0), (171, 0), (172, 0), (173, 0), (194, 0), (199, 0)]  # none for 233

worn_ssd = sata(
    "ZEPHYRA ZS960-SSD", "ZPH0000000000000960A", "ZS1.0.4", 1875385008, 1, SSD_ATTRS, SSD_THRESH, PASSED,
    {0x01: summary_error_log(3), 0x06: selftest_log([(1, 0x00, 8700, 0), (1, 0x73, 8600, 0x1A2B3C)])},
    {0x04: statistics({1: {0x10: 8760}, 7: {0x08: 93}}),
     0x11: {0: phy_events([(0x001, 2, 0), (0x00B, 4, 0)])}})

FAIL_ATTRS = [(1, 0x000F, 80, 75, 0), (5, 0x0033, 30, 30, 3280), (7, 0x000F, 60, 55, 0),
              (9, 0x0032, 40, 40, 52613), (187, 0x0032, 95, 95, 5), (190, 0x0022, 42, 30, 58),
              (194, 0x0022, 58, 70, bytes([58, 0, 0, 0, 0, 0])), (197, 0x0012, 100, 100, 12),
              (198, 0x0010, 100, 100, 4), (199, 0x003E, 200, 199, 17)]
FAIL_THRESH = [(1, 44), (5, 36), (7, 45), (9, 0), (187, 0), (190, 40), (194, 0), (197, 0), (198, 0), (199, 0)]

failing_hdd = sata(
    "ACME DH2000SA-0500", "AC2F0000000000000815", "AC01R003", 3907029168, 5400, FAIL_ATTRS, FAIL_THRESH, FAILED,
    {0x01: summary_error_log(41),
     0x06: selftest_log([(2, 0x79, 52600, 0x0123ABCD), (1, 0x00, 52000, 0)])}, selftest=0x79)

for name, text in (("sata_hdd.log", healthy_hdd), ("sata_ssd.log", worn_ssd), ("sata_failing.log", failing_hdd)):
    with open(name, "w", newline="") as f:
        f.write(text)
