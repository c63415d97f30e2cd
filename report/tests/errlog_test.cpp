// The error-log reader: every record the collector writes, the SCSI detail
// line decoded with its names, and damaged or unknown lines kept as they
// stand.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "errlog.h"
#include "queries.h"
#include "report.h"
#include "text.h"

namespace {

using namespace rpt;

TEST(ErrorLog, EveryRecordRecognised) {
    struct Row {
        std::string text;
        std::string kind;
        std::string disk;          // drive log the record names
        std::string key, value;    // one decoded field, as JSON
        std::string finding = "";  // what it means for that disk: severity, kind and code
    };
    const std::string scsi =
        "H00T05 Command error , 4d 00 40 00 00 00 00 00 00 00 , 00000004, "
        "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00 \r\n";
    const std::vector<Row> rows = {
        {scsi, "scsi_command_error", "MA0005.log", "asc_ascq_name", "\"Invalid field in cdb\"",
         "INFO collection command-rejected"},
        {"H00T05 Command error , 4d 00 40 00 00 00 00 00 00 00 , 00000000, "
         "70 00 03 00 00 00 00 0a 00 00 00 00 11 00 00 00 00 00 00 00 \r\n",
         "scsi_command_error", "MA0005.log", "sense_key", "3", "WARN health command-medium-error"},
        {"H00T05 Command error , 4d 00 40 00 00 00 00 00 00 00 , 00000004, "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n",
         "scsi_command_error", "MA0005.log", "result", "4", "WARN collection command-error"},
        {scsi, "scsi_command_error", "MA0005.log", "sense_key_name", "\"Illegal Request\""},
        {scsi, "scsi_command_error", "MA0005.log", "opcode_name", "\"Log sense\""},
        {"H01T0a Command error , fe 04 00 00 00 00 00 00 04 00 , ffffffff, "
         "72 04 44 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n",
         "scsi_command_error", "MA010a.log", "asc", "68", "FAIL health command-hardware-error"},
        {scsi.substr(0, 60) + "\r\n", "unrecognised", "", "", ""},  // cut short
        {"H00T03 Command error ,  34 40 51 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n",
         "sata_command_error", "MA0003.log", "error", "4", "INFO collection command-rejected"},
        {"H00T03 Command error ,  34 40 51 40 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n",
         "sata_command_error", "MA0003.log", "error", "64", "WARN health command-medium-error"},
        {"H00T03 Command error ,  34 40 51 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n",
         "sata_command_error", "MA0003.log", "error", "16", "WARN health command-medium-error"},
        {"H00T03 Command error ,  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n",
         "sata_command_error", "MA0003.log", "fis", "\"0000000000000000000000000000000000000000\"",
         "WARN collection command-error"},
        {" File Open Error(/o_tmp/TMP/KESTRA/MA0000.log)\n", "file_open_error", "", "path",
         "\"/o_tmp/TMP/KESTRA/MA0000.log\""},
        {" RAID Contoroller is not Found\n", "controller_not_found", "", "", ""},
        {" Memory Allocation Error\n", "memory_allocation_error", "", "", ""},
        {" Uart Log save error !\n\n", "cli_failure", "", "text", "\"Uart Log save error !\""},
        {"ldd Command Error.\n", "ldd_error", "", "", ""},
        {"File Open Error(/tmp/ldd_out.txt).\n", "bind_file_open_error", "", "path", "\"/tmp/ldd_out.txt\""},
        {"File is not Found(libm.so.6).\n", "bind_file_not_found", "", "path", "\"libm.so.6\""},
        {"Library Load Error(libraidstor.so.2).\n", "library_load_error", "", "path", "\"libraidstor.so.2\""},
        {"Controller 1 : Controller Information Get Error. 00000022\n", "controller_info_error", "", "result", "34"},
        {"Controller 0 : Physical Information Get Error. 00008001\n", "physical_info_error", "", "result", "32769"},
        {" Inconsistent Answer(H00T01 Page0d: page 0e, 16 bytes claimed, 12 arrived)\n", "inconsistent_answer",
         "MA0001.log", "answered", "14"},
        {" Short Transfer(H00T02 Section04: 100 of 4096 bytes)\n", "short_transfer", "MA0002.log", "what",
         "\"Section04\""},
        {" Length Capped(H00T02 Page30: 65536 bytes needed, 65532 asked)\n", "length_capped", "MA0002.log", "needed",
         "65536", "INFO collection errlog-length_capped"},
        {" Length Capped(H00T02 Page30: 65536 bytes needed, 65532 asked)\n", "length_capped", "MA0002.log", "what",
         "\"Page30\""},
        {" Empty Log(/o_tmp/TMP/KESTRA/Controller_0_ldinfo.log)\n", "empty_log", "", "", ""},
        {" Space Reserve(/o_tmp/TMP/KESTRA/MA0003.log: 50000000 bytes needed, 1000 free, 1048576 kept)\n",
         "space_reserve", "MA0003.log", "free", "1000"},
        {" Space Reserve(/o_tmp/TMP/KESTRA/MA0004.log: skipped)\n", "space_reserve_skipped", "MA0004.log", "", ""},
        {" Controller Count Too Large(300)\n", "controller_count_too_large", "", "count", "300"},
        {" File Interrupted(/o_tmp/TMP/KESTRA/MA0100.log)\n", "file_interrupted", "MA0100.log", "", ""},
        {" Time Limit Exceeded(60 s: ./RaidCli64 -AdpAllInfo -a0 > x)\n", "time_limit_exceeded", "", "seconds", "60"},
        {" Inconsistent Answer(H00T01 Page0d: page 0e, many bytes claimed)\n", "unrecognised", "", "", ""},
        {"something else entirely\n", "unrecognised", "", "", ""},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.text);
        auto recs = read_error_log(r.text);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(record_name(recs[0].kind), r.kind);
        EXPECT_EQ(recs[0].disk, r.disk);
        EXPECT_EQ(recs[0].disk_finding.has_value(), !r.disk.empty());
        if (!r.finding.empty() && recs[0].disk_finding) {
            const Finding& f = *recs[0].disk_finding;
            EXPECT_EQ(std::string(severity_name(f.severity)) + " " + kind_name(f.kind()) + " " + f.code(), r.finding);
        }
        if (!r.key.empty()) {
            EXPECT_EQ(decoded_json(recs[0].detail).value(r.key, nlohmann::json()).dump(), r.value);
        }
        const std::string stripped = r.text.substr(0, r.text.find_first_of("\r\n"));
        EXPECT_EQ(recs[0].text, stripped);
    }
    // Records follow each other; LF and CR LF line ends mixed as written.
    auto recs = read_error_log(" Uart Log save error !\n\n" + rows[0].text + " Memory Allocation Error\n");
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[2].kind, RecordKind::MemoryAllocationError);
}

}  // namespace

namespace {

// The text report shows under each record its decode on one line: the
// summary of a SCSI command, else the fields in the JSON document's order.
TEST(ErrorLog, DecodedLineInTheText) {
    const std::pair<std::string, std::string> rows[] = {
        {"H00T05 Command error , 4d 00 40 00 00 00 00 00 00 00 , 00000004, "
         "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00 \r\n",
         "target 5 of controller 0, LOG SENSE of page 00h: Illegal Request, Invalid field in cdb (24/00), result "
         "00000004"},
        {"H00T03 Command error ,  34 40 51 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n",
         "target 3 of controller 0 (status 51h, error 04h), FIS 3440510400000000000000000000000000000000"},
        {" Short Transfer(H00T02 Section04: 100 of 4096 bytes)\n",
         "arrived 100, asked 4096, controller 0, target 2, what Section04"},
    };
    for (auto& [record, line] : rows) {
        Report r;
        r.collections.emplace_back().errors = read_error_log(record);
        EXPECT_NE(render_text(r).find("\n      " + line + "\n"), std::string::npos) << render_text(r);
    }
}

}  // namespace
