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

std::string sg_logs_output(const std::string& file) {
    FILE* p = popen(("sg_logs --inhex=" + file + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (p) pclose(p);
    return out;
}

// "label = value" and "label: value" pairs of sg_logs' output, in order.
Pairs sg_logs(const std::string& file) {
    const std::string out = sg_logs_output(file);
    static const std::regex sk(R"(\[sk,asc,ascq: (0x[0-9a-f]+),(0x[0-9a-f]+),(0x[0-9a-f]+)\])"),
        listed(R"(^\s*(0x[0-9a-f]{2})(?:,(0x[0-9a-f]{2}))?\s\s)"),
        scan(R"(^\s*(medium scan parameter #) (\d+))", std::regex::icase),
        pair(R"(^\s*(.*?)\s*[=:]\s*(0x[0-9a-fA-F]+|\d+)(?![\d.]))"), coded(R"(^\s*(.*?):.*\[(\d+)\]\s*$)");
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
            pairs.push_back({"supported", m[2].matched ? number(m[1]) << 8 | number(m[2]) : number(m[1])});
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

// Where sg_logs names a value otherwise than the report (by page and the
// report's name, lower case; "e" scopes a background scan result).
const std::map<std::string, std::string> kAlias = {
    {"0d/temperature", "current temperature"},
    {"10/address of first failure", "address of first error"},
    {"15/accumulated power-on minutes", "accumulated power on minutes"},
    {"15e/accumulated power-on minutes", "power on minutes when error detected"},
    {"15/logical block address", "lba (associated with medium error)"},
    {"19/idle time", "idle time intervals"},
    {"2f/informational exception additional sense code", "ie asc"},
    {"2f/informational exception additional sense code qualifier", "ie ascq"},
    {"2f/most recent temperature reading", "current temperature"},
};

std::string page_key(const Page& p) {
    char pg[8];
    snprintf(pg, sizeof pg, p.subpage ? "%02x.%02x" : "%02x", p.page, p.subpage);
    return pg;
}

// The report's values as (sg_logs label, value); a label starting with '@'
// opens a scope (one parameter or phy) in which the next values are sought.
Pairs ours(const Page& p) {
    const std::string pg = page_key(p);
    auto label = [&](const std::string& mine, const char* scope = "") {
        auto it = kAlias.find(pg + scope + "/" + lower(mine));
        if (it == kAlias.end() && *scope) it = kAlias.find(pg + "/" + lower(mine));
        return it != kAlias.end() ? it->second : lower(mine);
    };
    Pairs out;
    auto fields = [&](const FieldValues& fv, const char* scope = "") {
        for (auto& f : fv)  // words are compared as words
            if (f.def->format != Format::Word) out.push_back({label(f.def->name, scope), f.value});
    };
    for (auto& x : p.params) {
        if (p.page == 0x00) {  // sg_logs gives subpage 0 of a pair as the page alone
            out.push_back({"supported", x.code & 0xff || !p.subpage ? x.code : x.code >> 8u});
            continue;
        }
        if (p.page == 0x10) out.push_back({"@parameter code", x.code});
        if (p.page == 0x15 && p.subpage == 0 && x.code > 0) out.push_back({"@medium scan parameter #", x.code});
        if (p.page == 0x18) out.push_back({"@relative target port id", x.code});
        if (x.value) out.push_back({label(std::string(x.name())), *x.value});
        if (p.page == 0x0e && x.text.size() == 6) {
            out.push_back({"year", std::stoull(x.text.substr(0, 4))});
            out.push_back({"week", std::stoull(x.text.substr(4, 2))});
        }
        if (p.page != 0x0d || p.subpage) fields(x.fields, p.page == 0x15 && x.code > 0 ? "e" : "");
        for (auto& phy : x.phys) {
            out.push_back({"@phy identifier", phy.front().value});
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

std::vector<std::string> page_files() {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(LOGPAGES_DIR))
        if (e.path().extension() == ".hex") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SgLogs, SameValuesForEveryPage) {
    const std::vector<std::string> files = page_files();
    ASSERT_GE(files.size(), 15u);
    std::string notes;
    size_t compared = 0;
    for (auto& f : files) {
        SCOPED_TRACE(f);
        const Page page = decode_page(test::read_dump(f));
        std::vector<std::string> codes;
        for (auto& x : page.findings) codes.push_back(x.code());
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

// What sg_logs prints as words (reassign and background scan status, link
// rate, attached device type, reasons, self-test code and result): the
// report's word of each ends one of sg_logs' lines, in the same order.
TEST(SgLogs, SameWordsForEveryClassification) {
    size_t compared = 0;
    for (auto& f : page_files()) {
        SCOPED_TRACE(f);
        static const std::regex code(R"(\s*\[(0x)?[0-9a-f]+\]\s*$)");
        std::vector<std::string> lines;
        std::istringstream in(sg_logs_output(f));
        for (std::string l; std::getline(in, l);) lines.push_back(std::regex_replace(lower(l), code, ""));
        size_t at = 0;
        auto words = [&](const FieldValues& fv) {
            for (auto& v : fv) {
                std::string w = lower(field_text(*v.def, v.value));
                if (v.def->format != Format::Word || w.starts_with("reserved")) continue;
                if (auto g = w.find(" gbit/s"); g != std::string::npos) w.replace(g, 7, " gbps");
                size_t i = at;
                while (i < lines.size() && !lines[i].ends_with(w)) ++i;
                EXPECT_LT(i, lines.size()) << "\"" << w << "\" not printed by sg_logs after line " << at;
                at = i < lines.size() ? i + 1 : at;
                compared += i < lines.size();
            }
        };
        for (auto& x : decode_page(test::read_dump(f)).params) {
            if (std::all_of(x.raw.begin(), x.raw.end(), [](uint8_t c) { return c == 0; })) continue;
            words(x.fields);
            for (auto& phy : x.phys) words(phy);
        }
    }
    EXPECT_GE(compared, 90u);
    std::printf("%zu words compared\n", compared);
}

}  // namespace
