// The decoded values against those of sg_logs (sg3-utils), the field's
// decoder, for every page of the test data: same bytes, same numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>

#include "pages.h"
#include "util.h"

namespace {

using namespace rpt;
using Pairs = std::vector<std::pair<std::string, uint64_t>>;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

uint64_t number(const std::string& v) { return v.rfind("0x", 0) == 0 ? std::stoull(v, nullptr, 16) : std::stoull(v); }

// "label = value" and "label: value" pairs of sg_logs' output, in order.
Pairs sg_logs(const std::string& file) {
    FILE* p = popen(("sg_logs --inhex=" + file + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (p) pclose(p);
    static const std::regex sk(R"(\[sk,asc,ascq: (0x[0-9a-f]+),(0x[0-9a-f]+),(0x[0-9a-f]+)\])"),
        listed(R"(^\s*(0x[0-9a-f]{2})\s\s)"), scan(R"(^\s*(medium scan parameter #) (\d+))", std::regex::icase),
        pair(R"(^\s*(.*?)\s*[=:]\s*(0x[0-9a-fA-F]+|\d+))"), coded(R"(^\s*(.*?):.*\[(\d+)\]\s*$)");
    Pairs pairs;
    std::istringstream in(out);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, sk)) {
            pairs.push_back({"sense key", number(m[1])});
            pairs.push_back({"asc", number(m[2])});
            pairs.push_back({"ascq", number(m[3])});
        } else if (std::regex_search(line, m, listed)) {
            pairs.push_back({"supported", number(m[1])});
        } else if (std::regex_search(line, m, scan)) {
            pairs.push_back({lower(m[1]), number(m[2])});
        } else {
            std::istringstream chunks(line);
            std::string c;
            while (std::getline(chunks, c, ','))
                if (std::regex_search(c, m, pair) || std::regex_search(c, m, coded))
                    pairs.push_back({lower(m[1]), number(m[2])});
        }
    }
    return pairs;
}

// Where sg_logs names a value otherwise than the report.
const std::map<std::string, std::string> kAlias = {
    {"0d/Temperature", "current temperature"},
    {"10/power_on_hours", "accumulated power-on hours"},
    {"10/first_failure", "address of first error"},
    {"15/power_on_minutes", "accumulated power on minutes"},
    {"15/scans", "number of background scans performed"},
    {"15/medium_scans", "number of background medium scans performed"},
    {"15e/power_on_minutes", "power on minutes when error detected"},
    {"15/lba", "lba (associated with medium error)"},
    {"15/sense_key", "sense key"},
    {"18/phy", "phy identifier"},
    {"18/generation", "generation code"},
    {"18/phys", "number of phys"},
    {"18/invalid_dword", "invalid dword count"},
    {"18/disparity", "running disparity error count"},
    {"18/loss_of_sync", "loss of dword synchronization count"},
    {"18/reset_problem", "phy reset problem count"},
    {"18/sas_address", "sas address"},
    {"18/attached_sas_address", "attached sas address"},
    {"18/attached_phy", "attached phy identifier"},
    {"10/code", "self-test code"},
    {"10/result", "self-test result"},
    {"10/number", "self-test number"},
    {"10/sense_key", "sense key"},
    {"19/read_commands", "number of read commands"},
    {"19/write_commands", "number of write commands"},
    {"19/blocks_received", "number of logical blocks received"},
    {"19/blocks_transmitted", "number of logical blocks transmitted"},
    {"19/read_intervals", "read command processing intervals"},
    {"19/write_intervals", "write command processing intervals"},
    {"19/weighted_commands", "weighted number of read commands plus write commands"},
    {"19/weighted_intervals", "weighted read command processing plus write command processing"},
    {"19/Idle time", "idle time intervals"},
    {"19/exponent", "time interval negative exponent"},
    {"19/integer", "time interval integer"},
    {"2f/asc", "ie asc"},
    {"2f/temperature", "current temperature"},
};

// The report's values as (sg_logs label, value); a label starting with '@'
// opens a scope (one parameter or phy) in which the next values are sought.
Pairs ours(const Page& p) {
    char pg[3];
    snprintf(pg, sizeof pg, "%02x", p.page);
    auto label = [&](const std::string& mine, const char* scope = "") {
        auto it = kAlias.find(std::string(pg) + scope + "/" + mine);
        if (it == kAlias.end() && *scope) it = kAlias.find(std::string(pg) + "/" + mine);
        return it != kAlias.end() ? it->second : lower(mine);
    };
    Pairs out;
    auto fields = [&](const FieldValues& fv, const char* scope = "") {
        for (auto& [k, v] : fv) out.push_back({label(k, scope), v});
    };
    for (auto& x : p.params) {
        if (p.page == 0x00) {
            out.push_back({"supported", x.code});
            continue;
        }
        if (p.page == 0x10) out.push_back({"@parameter code", x.code});
        if (p.page == 0x15 && x.code > 0) out.push_back({"@medium scan parameter #", x.code});
        if (p.page == 0x18) out.push_back({"@relative target port id", x.code});
        if (x.value) out.push_back({label(x.name), *x.value});
        if (p.page == 0x0e && x.text.size() == 6) {
            out.push_back({"year", std::stoull(x.text.substr(0, 4))});
            out.push_back({"week", std::stoull(x.text.substr(4, 2))});
        }
        if (p.page != 0x0d) fields(x.fields, p.page == 0x15 && x.code > 0 ? "e" : "");
        for (auto& phy : x.phys) {
            out.push_back({"@phy identifier", phy.front().second});
            fields(phy);
        }
    }
    return out;
}

// Pages of the tests that are malformed on purpose, and what the report
// finds in them (sg_logs reads past their ends instead).
const std::map<std::string, std::vector<std::string>> kMalformed = {
    {"page_02_short.hex", {"param-length"}},
    {"page_2f_demo.hex", {"param-length"}},
    {"page_2f_short.hex", {"param-length"}},
};

TEST(SgLogs, SameValuesForEveryPage) {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(LOGPAGES_DIR))
        if (e.path().extension() == ".hex") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 15u);
    std::string notes;
    size_t compared = 0;
    for (auto& f : files) {
        SCOPED_TRACE(f);
        const Page page = decode_page(test::read_dump(f));
        std::vector<std::string> codes;
        for (auto& x : page.findings) codes.push_back(x.code);
        auto bad = kMalformed.find(std::filesystem::path(f).filename().string());
        EXPECT_EQ(codes, bad == kMalformed.end() ? std::vector<std::string>{} : bad->second);
        const Pairs theirs = sg_logs(f);
        size_t from = 0, to = theirs.size();
        bool skip = false;
        std::vector<bool> used(theirs.size());
        for (auto& [k, v] : ours(page)) {
            auto find = [&](const std::string& key, size_t a, size_t b) {
                for (size_t i = a; i < b; ++i)
                    if (theirs[i].first == key && !used[i]) return i;
                return b;
            };
            if (k[0] == '@') {  // a new scope: up to the next value of the same label
                const std::string key = k.substr(1);
                size_t i = 0;
                while ((i = find(key, i, theirs.size())) < theirs.size() && theirs[i].second != v) ++i;
                from = i;
                to = i < theirs.size() ? find(key, i + 1, theirs.size()) : i;
                skip = i == theirs.size();
                if (skip)
                    notes += std::filesystem::path(f).filename().string() + ": " + key + " " + std::to_string(v) +
                             " not printed by sg_logs\n";
                continue;
            }
            if (skip) continue;
            size_t i = find(k, from, to);
            if (i == to) {
                notes += std::filesystem::path(f).filename().string() + ": " + k + " = " + std::to_string(v) +
                         " not printed by sg_logs\n";
                continue;
            }
            EXPECT_EQ(theirs[i].second, v) << k;
            ++compared;
            used[i] = true;
        }
    }
    EXPECT_GE(compared, 110u);
    std::printf("%s%zu values compared\n", notes.c_str(), compared);
}

}  // namespace
