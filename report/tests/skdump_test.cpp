// SATA drives against skdump (libatasmart), a SMART decoder written by
// others: the IDENTIFY, SMART status, SMART data and threshold bytes of each
// SATA drive log of the test data go to `skdump --load` as its blob; model,
// serial number, firmware, SMART status and every attribute's value, worst,
// threshold and raw bytes must agree. report/tests/sim_skdump.sh adds the
// SATA drives of a collection of the simulated system (the directory in
// REPORT_SATA_LOGS).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>

#include "disk.h"
#include "util.h"

namespace {

using namespace rpt;

// One blob record: a 4-byte tag, a 4-byte big-endian length, the bytes.
void record(std::string& blob, const char* tag, const std::vector<uint8_t>& bytes) {
    blob.append(tag, 4);
    for (int i = 3; i >= 0; --i) blob += static_cast<char>(bytes.size() >> (8 * i));
    blob.append(bytes.begin(), bytes.end());
}

std::string skdump(const std::string& blob) {
    char path[] = "/tmp/report-skdump-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || write(fd, blob.data(), blob.size()) != static_cast<ssize_t>(blob.size())) return "";
    close(fd);
    FILE* p = popen(("skdump --load=" + std::string(path) + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (p) pclose(p);
    unlink(path);
    return std::regex_replace(out, std::regex("\x1b\\[[0-9;]*m"), "");  // its bold lines
}

struct Theirs {
    std::map<std::string, std::string> fields;   // Model, Serial, Firmware, SMART Disk Health Good
    std::map<unsigned, std::string> attributes;  // id: "value worst threshold raw"
};

Theirs parse(const std::string& out) {
    static const std::regex field(R"(^(Model|Serial|Firmware): \[(.*)\]$)"),
        health(R"(^SMART Disk Health Good: (\S+)$)"),
        attribute(R"(^\s*(\d+) \S+\s+(\d+)\s+(\d+)\s+(\d+|n/a)\s.*\s0x([0-9a-f]{12})\s)");
    Theirs t;
    std::istringstream in(out);
    std::smatch m;
    for (std::string l; std::getline(in, l);) {
        if (std::regex_search(l, m, field)) t.fields[m[1]] = m[2];
        if (std::regex_search(l, m, health)) t.fields["health"] = m[1];
        if (std::regex_search(l, m, attribute))
            t.attributes[static_cast<unsigned>(std::stoul(m[1]))] = std::string(m[2]) + " " + std::string(m[3]) + " " +
                                                                    (m[4] == "n/a" ? "-" : std::string(m[4])) + " " +
                                                                    std::string(m[5]);
    }
    return t;
}

TEST(Skdump, SameIdentityStatusAndAttributesForEverySataDrive) {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(LOGPAGES_DIR))
        if (e.path().filename().string().starts_with("sata_")) files.push_back(e.path().string());
    ASSERT_GE(files.size(), 3u);
    if (const char* dir = getenv("REPORT_SATA_LOGS"))
        for (auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().filename().string().starts_with("MA") && read_drive_log(test::slurp(e.path())).ata())
                files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    size_t attributes = 0;
    for (auto& f : files) {
        SCOPED_TRACE(f);
        const std::string text = test::slurp(f);
        const DriveLog log = read_drive_log(text);
        const Disk d = build_disk("h", "MA0000.log", text);
        ASSERT_TRUE(d.ata);
        std::string blob;
        record(blob, "IDFY", log.find(BlockKind::AtaIdentify)->bytes);
        if (d.ata->smart_passed) record(blob, "SMST", {0, 0, 0, *d.ata->smart_passed ? uint8_t{1} : uint8_t{0}});
        record(blob, "SMDT", log.find(BlockKind::AtaSmartData)->bytes);
        record(blob, "SMTH", log.find(BlockKind::AtaSmartThresholds)->bytes);
        const Theirs t = parse(skdump(blob));
        EXPECT_EQ(t.fields.at("Model"), d.ata->model);
        EXPECT_EQ(t.fields.at("Serial"), d.ata->serial);
        EXPECT_EQ(t.fields.at("Firmware"), d.ata->firmware);
        if (d.ata->smart_passed) {
            EXPECT_EQ(t.fields.at("health"), *d.ata->smart_passed ? "yes" : "no");
        }
        std::map<unsigned, std::string> ours;
        for (auto& a : d.ata->attributes) {
            std::string raw;  // the six raw bytes in order, as skdump prints them
            for (int i = 0; i < 6; ++i) raw += hex((a.raw >> (8 * i)) & 0xff);
            ours[a.id] = std::to_string(a.value) + " " + std::to_string(a.worst) + " " +
                         (a.threshold ? std::to_string(*a.threshold) : "-") + " " + raw;
        }
        EXPECT_EQ(ours, t.attributes);
        attributes += ours.size();
    }
    std::printf("%zu drives, %zu attributes compared\n", files.size(), attributes);
}

}  // namespace
