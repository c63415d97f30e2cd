// The command descriptor blocks, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SasCdb.h"
#include "bytes.h"

namespace {

template <size_t N>
std::string hex(const std::array<U8, N>& c) {
    return testbytes::hex(c.data(), N, " ");
}

struct Case {
    const char* name;
    std::string got;
    const char* want;
};

TEST(SasCdb, EveryBuilderLaysOutItsBytes) {
    const Case cases[] = {
        {"INQUIRY asks for 96 bytes", hex(cdb::inquiry()), "12 00 00 00 60 00"},
        {"TEST UNIT READY is six zero bytes", hex(cdb::test_unit_ready()), "00 00 00 00 00 00"},
        {"REQUEST SENSE asks for 32 bytes", hex(cdb::request_sense()), "03 00 00 00 20 00"},
        {"READ CAPACITY(10)", hex(cdb::read_capacity10()), "25 00 00 00 00 00 00 00 00 00"},
        {"READ(10) 8 blocks at 0", hex(cdb::read10(0, 8)), "28 00 00 00 00 00 00 00 08 00"},
        {"READ(10) big-endian lba", hex(cdb::read10(0x12345678, 0x0102)), "28 00 12 34 56 78 00 01 02 00"},
        {"READ(10) keeps the low 16 bits of the count", hex(cdb::read10(1, 0x00ABCDEF)),
         "28 00 00 00 00 01 00 cd ef 00"},
        {"WRITE(10)", hex(cdb::write10(0xFFFFFFFF, 1)), "2a 00 ff ff ff ff 00 00 01 00"},
        {"WRITE SAME(10)", hex(cdb::write_same10(0x10, 0x20)), "41 00 00 00 00 10 00 00 20 00"},
        {"VERIFY(10) without byte compare", hex(cdb::verify10(0x0A0B0C0D, 0xFFFF)), "2f 00 0a 0b 0c 0d 00 ff ff 00"},
        {"MODE SENSE(6) 300 bytes keeps the low 8 bits", hex(cdb::mode_sense6(0x3F, 0xFF, 300)), "1a 00 3f ff 2c 00"},
        {"MODE SENSE(6) page byte passed whole", hex(cdb::mode_sense6(0xC8, 0x00, 0x18)), "1a 00 c8 00 18 00"},
        {"MODE SELECT(6) flags whole, length low 8 bits", hex(cdb::mode_select6(0x11, 0x1FF)), "15 11 00 00 ff 00"},
        {"START STOP UNIT condition whole", hex(cdb::start_stop_unit(0xF3)), "1b 00 00 00 f3 00"},
        {"SEND DIAGNOSTIC self-test 1", hex(cdb::send_diagnostic(1)), "1d 20 00 00 00 00"},
        {"SEND DIAGNOSTIC self-test 2", hex(cdb::send_diagnostic(2)), "1d 40 00 00 00 00"},
        {"SEND DIAGNOSTIC self-test 3", hex(cdb::send_diagnostic(3)), "1d 60 00 00 00 00"},
        {"SEND DIAGNOSTIC self-test 4 keeps two bits", hex(cdb::send_diagnostic(4)), "1d 00 00 00 00 00"},
        {"WRITE BUFFER mode 3 bits, 24-bit fields", hex(cdb::write_buffer(0xFF, 0x123456, 0x789ABC)),
         "3b 07 00 12 34 56 78 9a bc 00"},
        {"WRITE BUFFER drops bits above 24", hex(cdb::write_buffer(5, 0x7F000001, 0x01000002)),
         "3b 05 00 00 00 01 00 00 02 00"},
        {"LOG SENSE header of page 0", hex(cdb::log_sense(0x00, 0, 4)), "4d 00 40 00 00 00 00 00 04 00"},
        {"LOG SENSE page 0x0d", hex(cdb::log_sense(0x0D, 0, 0x1234)), "4d 00 4d 00 00 00 00 12 34 00"},
        {"LOG SENSE page 0xc0 keeps 6 bits", hex(cdb::log_sense(0xC0, 0, 4)), "4d 00 40 00 00 00 00 00 04 00"},
        {"LOG SENSE page 0x3f", hex(cdb::log_sense(0xFF, 0, 0)), "4d 00 7f 00 00 00 00 00 00 00"},
        {"LOG SENSE parameter pointer", hex(cdb::log_sense(0x02, 0xA1B2, 0xFFFF)), "4d 00 42 00 00 a1 b2 ff ff 00"},
        {"LOG SENSE subpage 0d/01", hex(cdb::log_sense_subpage(0x0D, 0x01, 0, 4)), "4d 00 4d 01 00 00 00 00 04 00"},
        {"LOG SENSE page 00, all subpages", hex(cdb::log_sense_subpage(0xC0, 0xFF, 0, 0x0104)),
         "4d 00 40 ff 00 00 00 01 04 00"},
        {"READ DEFECT DATA(10) grown list header", hex(cdb::read_defect_data10(false, true, 4, 4)),
         "37 00 0c 00 00 00 00 00 04 00"},
        {"READ DEFECT DATA(10) both lists, format 3 bits", hex(cdb::read_defect_data10(true, true, 0xFD, 0xFFFF)),
         "37 00 1d 00 00 00 00 ff ff 00"},
        {"READ DEFECT DATA(10) primary list", hex(cdb::read_defect_data10(true, false, 0, 8)),
         "37 00 10 00 00 00 00 00 08 00"},
        {"internal log type 2, 4 bytes", hex(cdb::internal_log(2, 0, 4)), "fe 02 00 00 00 00 00 00 04 00"},
        {"internal log largest section", hex(cdb::internal_log(8, 0, 0xFFFFFF + 3)), "fe 08 00 00 00 00 00 00 02 00"},
        {"internal log offset", hex(cdb::internal_log(1, 0xABCDEF, 0x10)), "fe 01 00 ab cd ef 00 00 10 00"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(SasCdb, BlockTransferLengthIs32BitWithTheBlockSizeSignExtended) {
    struct {
        int16_t block;
        int32_t blocks;
        U32 want;
    } cases[] = {
        {512, 8, 4096},
        {512, 0, 0},
        {-1, 1, 0xFFFFFFFFu},  // a negative size widens with its sign
        {-512, 2, 0xFFFFFC00u},
        {4096, 0x00100000, 0x00000000u},  // wraps at 32 bits
        {0x7FFF, 0x00010001, 0x7FFF7FFFu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cdb::block_transfer_length(c.block, c.blocks), c.want) << c.block << " x " << c.blocks;
    }
}

}  // namespace
