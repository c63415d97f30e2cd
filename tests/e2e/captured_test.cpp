// A disk answering with the log pages captured from real SAS disks
// (shared/data/logpages): every listed page dumped whole, and one read back
// by an independent decoder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "harness.h"

using namespace e2e;

namespace {

class Captured : public E2E {};

const Disk kDisk;  // the default disk

}  // namespace

// A disk answering with pages captured from real SAS disks: every listed
// page is dumped whole, and an independent decoder (sg_logs --inhex) reads
// a dumped page back.
TEST_P(Captured, CapturedPagesDecode) {
    auto c = make_case();
    c->scenario("controller 0\n" + kDisk.device() + "captured-pages 0 0\n");
    auto r = c->run({"x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + kSaving + kDisk.saving() + kReset) << show(r.out);
    std::string log = c->log("MA0000.log");
    ASSERT_EQ(log.rfind(kDisk.identity(), 0), 0u);
    auto blocks = page_blocks(log);

    std::string dir = std::string(LOGDUMP_SOURCE_DIR) + "/../shared/data/logpages";
    auto file_bytes = [&](const std::string& code) -> std::optional<Bytes> {
        std::ifstream in(dir + "/page_" + code + ".hex");
        if (!in) return std::nullopt;
        std::stringstream ss;
        ss << in.rdbuf();
        return bytes_of(ss.str());
    };
    auto p00 = file_bytes("00");
    if (p00) {
        std::vector<std::string> listed;
        for (size_t i = 4; i < p00->size(); ++i) {
            char b[4];
            snprintf(b, sizeof b, "%02x", (*p00)[i]);
            listed.push_back(b);
        }
        ASSERT_EQ(blocks.size(), listed.size());
        for (size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(blocks[i].first, listed[i]);
            auto want = file_bytes(listed[i]);
            Bytes empty{static_cast<unsigned char>(std::stoi(listed[i], nullptr, 16)), 0, 0, 0};
            EXPECT_EQ(blocks[i].second, want ? *want : empty) << "page " << listed[i];
        }
    }

    if (!std::filesystem::exists("/usr/bin/sg_logs")) GTEST_SKIP() << "sg_logs (sg3-utils) is not installed";
    std::string block;
    size_t at = log.find("<Page0e>\r\n");
    ASSERT_NE(at, std::string::npos);
    at += 10;
    size_t end = log.find('<', at);
    block = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
    std::string hexfile = c->dir + "/page0e.txt";
    std::ofstream(hexfile, std::ios::binary) << block;
    std::string out;
    FILE* p = popen(("/usr/bin/sg_logs --inhex=" + hexfile + " 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512];
    while (fgets(buf, sizeof buf, p)) out += buf;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find("Start-stop cycle counter"), std::string::npos) << out;
    EXPECT_NE(out.find("Date of manufacture, year: 2013, week: 47"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Both, Captured, ::testing::ValuesIn(tools()), tool_param_name);
