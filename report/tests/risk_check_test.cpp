// --risk-check on small files of the drive-stats layout: a valid file, then
// the same with one thing changed (header, quoting, gzip, order of days,
// malformed rows, empty file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "csv.h"
#include "harness.h"
#include "risk_check.h"

namespace {

namespace fs = std::filesystem;
using namespace rpt;

const std::string kHeader =
    "date,serial_number,model,capacity_bytes,failure,smart_5_raw,smart_5_normalized,smart_197_raw\n";
// S1 elevated (its last day), S2 imminent and failed, S3 unknown, S4 base.
const std::string kRows =
    "2024-01-01,S1,ACME X,1000,0,0,100,0\n"
    "2024-01-02,S1,ACME X,1000,0,3,100,0\n"
    "2024-01-02,S2,ACME X,1000,1,250,100,\n"
    "2024-01-02,S3,ACME X,1000,0,,,\n"
    "2024-01-02,S4,ACME X,1000,0,0,100,0\n";

// A quoted field's value: a doubled quote is one, a comma and a line end
// are kept.
TEST(Csv, QuotedFieldsAsTheyRead) {
    const std::string text = "\"ACME \"\"X\"\", 2\",\"a\nb\"\n";
    size_t at = 0;
    CsvReader reader([&](char* into, size_t room, std::string&) -> long {
        const size_t n = std::min(room, text.size() - at);
        text.copy(into, n, at);
        at += n;
        return static_cast<long>(n);
    });
    CsvRecord r;
    ASSERT_TRUE(reader.next(r));
    ASSERT_EQ(r.fields.size(), 2u) << r.error;
    EXPECT_EQ(r.fields[0], "ACME \"X\", 2");
    EXPECT_EQ(r.fields[1], "a\nb");
}

TEST(RiskCheck, Files) {
    struct Row {
        const char* name;
        std::string csv;
        bool gzip;
        int status;
        std::string got;                                          // the rows, then drives/failed of each band
        std::vector<std::pair<uint64_t, std::string>> malformed;  // line, part of the reason
    };
    const std::string valid = kHeader + kRows, valid_got = "5 rows: 1/0 1/0 1/0 0/0 1/1, recall 1, flagged 0.333333";
    const std::string reordered =
        "\xEF\xBB\xBF\"smart_197_raw\",smart_9_raw,failure,\"serial_number\",date,smart_5_raw,extra\r\n"
        "0,100,0,S1,2024-01-02,3,\r\n,,1,S2,2024-01-02,250,x\r\n,,0,S3,2024-01-02,,\r\n0,,0,S4,2024-01-02,0,\r\n";
    const std::string ours =
        "date,serial_number,failure,grown_defects,controller_media_errors,non_medium_errors,power_on_hours\n"
        "2024-01-02,S1,0,50,0,7,1000\n2024-01-02,S2,0,0,1,0,\n2024-01-02,S3,1,0,0,,\n";
    const std::string days = kHeader + "2024-01-03,S1,ACME X,1000,0,0,100,0\n2024-01-02,S1,ACME X,1000,0,3,100,0\n";
    const std::string quoted = kHeader +
                               "2024-01-02,S1,\"ACME \"\"X\"\", 2\",1000,0,3,100,0\n"
                               "2024-01-02,S2,\"ACME\nX\",1000,0,0,100,0\n"
                               "2024-01-02,S3,ACME X,1000,2,0,100,0\n";
    const std::string malformed = kHeader + kRows +
                                  "2024-01-02,S5,ACME X,1000,0,1\n"
                                  "2024-1-2,S6,ACME X,1000,0,1,100,0\n"
                                  "2024-01-02,,ACME X,1000,0,1,100,0\n"
                                  "2024-01-02,S7,ACME X,1000,0,-1,100,0\n"
                                  "2024-01-02,S7,ACME X,1000,0,281474976710656,100,0\n"
                                  "2024-01-02,S7,ACME X,1000,0,1\x01"
                                  "e3,100,0\n"
                                  "2024-01-02,S8,AC\"ME,1000,0,1,100,0\n"
                                  "2024-01-02,S8,\"ACME\"X,1000,0,1,100,0\n"
                                  "2024-01-02,S9," +
                                  std::string(CsvReader::kLongestRecord, 'x') +
                                  ",1000,0,1,100,0\n"
                                  "2024-01-02,S9,\"ACME,1000,0,1,100,0\n"
                                  "2024-01-02,S4,ACME X,1000,0,0,100,0\n";
    const Row rows[] = {
        {"valid", valid, false, 0, valid_got, {}},
        {"gzip", valid, true, 0, valid_got, {}},
        {"columns reordered and quoted, unknown ones, CR LF and a byte order mark",
         reordered,
         false,
         0,
         "4 rows: 1/0 1/0 1/0 0/0 1/1, recall 1, flagged 0.333333",
         {}},
        {"the SAS and controller columns of our own files",
         ours,
         false,
         0,
         "3 rows: 0/0 1/1 1/0 1/0 0/0, recall 0, flagged 1",
         {}},
        {"the last day decides, not the last line",
         days,
         false,
         0,
         "2 rows: 0/0 1/0 0/0 0/0 0/0, recall null, flagged 0",
         {}},
        {"quoted commas, quotes and a line break in a field",
         quoted,
         false,
         1,
         "3 rows: 0/0 1/0 1/0 0/0 0/0, recall null, flagged 0.5",
         {{5, "failure \"2\" is neither 0 nor 1"}}},
        {"malformed rows by line, never guessed",
         malformed,
         false,
         1,
         "16 rows: 1/0 1/0 1/0 0/0 1/1, recall 1, flagged 0.333333",
         {{7, "6 fields where the header names 8"},
          {8, "date \"2024-1-2\" is not YYYY-MM-DD"},
          {9, "no serial_number"},
          {10, "smart_5_raw \"-1\" is not a count of 48 bits"},
          {11, "smart_5_raw \"281474976710656\""},
          {12, "smart_5_raw \"1?e3\""},  // a control byte shown as ?
          {13, "a quote inside unquoted field 3"},
          {14, "text after the closing quote of field 3"},
          {15, "longer than 1048576 bytes"},
          {16, "a quoted field is not closed"}}},
        {"header only", kHeader, false, 0, "0 rows: 0/0 0/0 0/0 0/0 0/0, recall null, flagged null", {}},
        {"empty file", "", false, 3, "", {}},
        {"no serial_number column", "date,serial,failure\n2024-01-02,S1,0\n", false, 3, "", {}},
        {"a column named twice", "date,serial_number,failure,smart_5_raw,smart_5_raw\n", false, 3, "", {}},
    };
    const fs::path dir = fs::temp_directory_path() / ("risk-check-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path file = dir / (r.gzip ? "stats.csv.gz" : "stats.csv");
        std::ofstream(dir / "stats.csv", std::ios::binary) << r.csv;
        if (r.gzip) {
            ASSERT_EQ(std::system(("gzip -nf " + (dir / "stats.csv").string()).c_str()), 0);
        }
        const e2e::RunResult run = e2e::run_program({REPORT_BIN, "--json", "--risk-check", file.string()});
        fs::remove(file);
        EXPECT_EQ(run.status, r.status);
        if (r.status == 3) {
            EXPECT_EQ(run.out, "");
            continue;
        }
        const auto j = nlohmann::json::parse(run.out);
        std::string got = j["rows"].dump() + " rows:";
        uint64_t drives = 0, failed = 0;
        for (size_t b = 0; b < 5; ++b) {
            EXPECT_EQ(j["bands"][b]["band"], band_name(static_cast<RiskBand>(b)));
            got += " " + j["bands"][b]["drives"].dump() + "/" + j["bands"][b]["failed"].dump();
            drives += j["bands"][b]["drives"].get<uint64_t>();
            failed += j["bands"][b]["failed"].get<uint64_t>();
        }
        got += ", recall " + j["recall"].dump() + ", flagged " + j["flagged_working"].dump();
        EXPECT_EQ(got, r.got);
        EXPECT_EQ(j["drives"], drives);
        EXPECT_EQ(j["failed"], failed);
        ASSERT_EQ(j["malformed"]["rows"], r.malformed.size());
        for (size_t i = 0; i < r.malformed.size(); ++i) {
            EXPECT_EQ(j["malformed"]["lines"][i]["line"], r.malformed[i].first);
            EXPECT_NE(j["malformed"]["lines"][i]["reason"].get<std::string>().find(r.malformed[i].second),
                      std::string::npos)
                << j["malformed"]["lines"][i];
        }
    }
    // The valid file in text: each band's shares, the recall and the working
    // drives flagged.
    std::ofstream(dir / "stats.csv", std::ios::binary) << valid;
    const std::string text = e2e::run_program({REPORT_BIN, "--risk-check", (dir / "stats.csv").string()}).out;
    EXPECT_NE(text.find("\nelevated           1        0         0.00%              0.00%\n"), std::string::npos);
    EXPECT_NE(text.find("\nimminent           1        1       100.00%            100.00%\n"), std::string::npos);
    EXPECT_NE(text.find("recall: 100.00% of the failed drives were elevated or worse (1 of 1)"), std::string::npos);
    EXPECT_NE(text.find("working drives flagged elevated or worse: 33.33% (1 of 3)"), std::string::npos) << text;
    // Malformed rows past those shown are counted, not listed.
    std::string many = kHeader;
    for (size_t i = 0; i <= RiskCheck::kMalformedShown; ++i) many += "2024-1-2,S6,ACME X,1000,0,1,100,0\n";
    std::ofstream(dir / "many.csv", std::ios::binary) << many;
    const RiskCheck c = risk_check((dir / "many.csv").string());
    EXPECT_EQ(c.malformed, RiskCheck::kMalformedShown + 1);
    EXPECT_EQ(c.malformed_lines.size(), RiskCheck::kMalformedShown);
    fs::remove_all(dir);
}

}  // namespace
