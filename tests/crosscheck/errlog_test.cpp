// The collector and the report agree on the error log: every record that
// one of the collector's reporters writes, for each failure class, is
// written through the reporter into an error log and read back by the
// report's reader, which must recognise it with the values the reporter was
// given and name the drive log it concerns.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "KstErr01.h"
#include <nlohmann/json.hpp>

#include "errlog.h"
#include "error_log.h"
#include "interrupt.h"
#include "libstoresata.h"
#include "queries.h"
#include "run_state.h"
#include "test_util.h"

namespace {

using json = nlohmann::json;

// What the reporter writes into the error log of a run without arguments.
std::string record_of(const std::function<void()>& report) {
    FILE* log = tmpfile();
    FILE* savedLog = gfpErrLog;
    const int savedFlag = iCommandFlg;
    gfpErrLog = log;
    iCommandFlg = 0;
    testutil::capture_stdout(report);  // the red console line is not looked at
    gfpErrLog = savedLog;
    iCommandFlg = savedFlag;
    std::string text(static_cast<size_t>(ftell(log)), '\0');
    rewind(log);
    text.resize(fread(text.data(), 1, text.size(), log));
    fclose(log);
    return text;
}

ERRINFO scsi_error() {
    ERRINFO e{};
    e.iApiErr = 4;
    const U8 cdb[] = {0x4d, 0, 0x6f, 0, 0, 0, 0, 0, 4, 0};  // LOG SENSE of page 2f
    const U8 sense[] = {0x70, 0, 5, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x24, 0};
    memcpy(e.ucCdb, cdb, sizeof cdb);
    memcpy(e.ucSense, sense, sizeof sense);
    return e;
}

ERRINFOSTP sata_error() {
    ERRINFOSTP e{};
    e.ucfisResBuff[0] = 0x34;  // a register FIS from the drive
    e.ucfisResBuff[2] = 0x51;  // status
    e.ucfisResBuff[3] = 0x04;  // error
    return e;
}

struct Row {
    const char* kind;              // the reader's name of the record
    std::function<void()> report;  // the reporter with its values
    json fields;                   // decoded fields that must be there (null: none at all)
    std::string disk = "";         // the drive log the record concerns
};

}  // namespace

TEST(ErrorLogRecords, EveryReporterIsReadBackWithItsFields) {
    static const ERRINFO scsi = scsi_error();
    static const ERRINFOSTP sata = sata_error();
    const std::string drive = "/o_tmp/my logs/MA0105.log";  // a blank and a parenthesis-free path
    const std::string command = "/root/RaidCli64 -pdlist -a0 > /o_tmp/TMP/KESTRA/Controller_0_pdlist.log";
    const std::vector<Row> rows = {
        {"file_open_error", [&] { file_open_err(drive.c_str()); }, {{"path", drive}}},
        {"file_write_error", [&] { file_write_err(drive.c_str()); }, {{"path", drive}}, "MA0105.log"},
        {"controller_not_found", [] { controller_none_err(); }, nullptr},
        {"memory_allocation_error", [] { mem_err(); }, nullptr},
        {"cli_failure",
         [] { sys_cmnd_err("Physical Drive List save error !"); },
         {{"text", "Physical Drive List save error !"}}},
        {"scsi_command_error",
         [] { sas_cmnd_err(1, 0x1f, &scsi); },
         {{"controller", 1},
          {"target", 0x1f},
          {"opcode", 0x4d},
          {"page", 0x2f},
          {"result", 4},
          {"sense_key", 5},
          {"asc", 0x24},
          {"ascq", 0}},
         "MA011f.log"},
        {"sata_command_error",
         [] { sata_cmnd_err(2, 3, &sata); },
         {{"controller", 2}, {"target", 3}, {"status", 0x51}, {"error", 4}},
         "MA0203.log"},
        {"controller_count_too_large", [] { controller_count_err(129); }, {{"count", 129}}},
        {"empty_log",
         [] { empty_log_err("/o_tmp/TMP/KESTRA/Controller_1_pdlist.log"); },
         {{"path", "/o_tmp/TMP/KESTRA/Controller_1_pdlist.log"}}},
        {"inconsistent_answer",
         [] { inconsistent_answer_err(1, 5, 0x0d, 0x02, 65536, 1000); },
         {{"controller", 1}, {"target", 5}, {"page", 0x0d}, {"answered", 2}, {"claimed", 65536}, {"arrived", 1000}},
         "MA0105.log"},
        {"short_transfer",
         [] { short_transfer_err(1, 5, "Section01", 100, 1048579); },
         {{"controller", 1}, {"target", 5}, {"what", "Section01"}, {"arrived", 100}, {"asked", 1048579}},
         "MA0105.log"},
        // The names of the extended collection's blocks (-e).
        {"short_transfer",
         [] { short_transfer_err(1, 5, "GplLog11.0000", 100, 512); },
         {{"controller", 1}, {"target", 5}, {"what", "GplLog11.0000"}, {"arrived", 100}, {"asked", 512}},
         "MA0105.log"},
        {"length_capped",
         [] { length_capped_err(1, 5, "Subpage15.01", 65539, 65535); },
         {{"controller", 1}, {"target", 5}, {"what", "Subpage15.01"}, {"needed", 65539}, {"asked", 65535}},
         "MA0105.log"},
        {"length_capped",
         [] { length_capped_err(1, 5, "Page30", 65536, 65535); },
         {{"controller", 1}, {"target", 5}, {"what", "Page30"}, {"needed", 65536}, {"asked", 65535}},
         "MA0105.log"},
        {"space_reserve",
         [&] { space_reserve_err(drive.c_str(), 312521, 102400, 1073741824); },
         {{"path", drive}, {"needed", 312521}, {"free", 102400}, {"kept", 1073741824}},
         "MA0105.log"},
        {"space_reserve_skipped", [&] { space_skip_err(drive.c_str()); }, {{"path", drive}}, "MA0105.log"},
        {"ldd_error", [] { ldd_err(); }, nullptr},
        {"bind_file_not_found",
         [] { dependency_missing_err("/usr/lib/dep dir/libdep.so.1"); },
         {{"path", "/usr/lib/dep dir/libdep.so.1"}}},
        {"bind_file_open_error", [] { bind_open_err("/tmp/ldd_out.txt"); }, {{"path", "/tmp/ldd_out.txt"}}},
        {"library_load_error",
         [] { library_load_err("/root/libraidstor.so.2"); },
         {{"path", "/root/libraidstor.so.2"}}},
        {"controller_info_error", [] { controller_info_err(2, 0x8010); }, {{"controller", 2}, {"result", 0x8010}}},
        {"physical_info_error", [] { physical_info_err(0, 0x8001); }, {{"controller", 0}, {"result", 0x8001}}},
        {"time_limit_exceeded",
         [&] { time_limit_err(900, command.c_str()); },
         {{"seconds", 900}, {"command", command}}},
        {"file_interrupted",
         [&] {
             file_write_begin(drive.c_str());
             file_interrupted_err();
             file_write_end();
         },
         {{"path", drive}},
         "MA0105.log"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        const std::string text = record_of(row.report);
        ASSERT_FALSE(text.empty()) << "the reporter wrote no record";
        const auto records = rpt::read_error_log(text);
        ASSERT_EQ(records.size(), 1u) << text;
        const rpt::ErrRecord& r = records[0];
        EXPECT_EQ(rpt::record_name(r.kind), std::string(row.kind)) << text;
        const json decoded = rpt::decoded_json(r.detail);  // as the report's JSON gives it
        if (row.fields.is_null()) {
            EXPECT_TRUE(decoded.is_null()) << decoded.dump();
        }
        for (auto& [key, value] : row.fields.items())
            EXPECT_EQ(decoded.is_object() ? decoded.value(key, json()) : json(), value) << key << " of " << text;
        EXPECT_EQ(r.disk, row.disk) << text;
        EXPECT_EQ(r.disk_finding.has_value(), !row.disk.empty()) << text;
    }
}
