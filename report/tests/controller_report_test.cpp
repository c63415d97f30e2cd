// The controller logs in a report: loaded with the other logs, read into
// the collection, and what cannot be read of them said with file and line.
#include <gtest/gtest.h>

#include "controller_texts.h"
#include "report.h"

namespace {

using namespace rpt;
using namespace rpt::test;

constexpr time_t kCollected = 1718892309;  // 2024-06-20 14:05:09

Collection collect(const std::vector<std::pair<std::string, std::string>>& files) {
    Host h{"srv01", "srv01", {}, {}, {}};
    for (auto& [name, text] : files) h.files.push_back({name, text, kCollected, wanted(name)});
    Report r = build_report({h});
    return r.collections.at(0);
}

std::vector<std::string> texts(const Findings& f, const char* code) {
    std::vector<std::string> out;
    for (auto& x : f)
        if (std::string(x.code()) == code) out.push_back(severity_name(x.severity) + std::string(" ") + x.text);
    return out;
}

TEST(ControllerReport, LogsAreReadIntoTheCollection) {
    const std::vector<std::pair<std::string, std::string>> all = {
        {"Controller_0_adpallinfo.log", kAdapter},   {"Controller_0_pdlist.log", kDriveList},
        {"Controller_0_ldinfo.log", kVirtualDrives}, {"Controller_0_ldpdinfo.log", kMembers},
        {"controller_0_Flashrom.log", kEvents},      {"Controller_0_cfgdsply.log", kConfiguration},
    };
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        size_t drives, virtual_drives, events;
        std::vector<std::string> unrecognised;
    } rows[] = {
        {"a directory of controller logs alone is read, none of them taken for a drive log", all, 2, 2, 3, {}},
        {"a drive list that is not the CLI's text is said with its file and line",
         {{"Controller_0_pdlist.log", "<html>\n<body>\n"}},
         0,
         0,
         0,
         {"INFO Controller_0_pdlist.log, line 1: not the CLI's text of this log"}},
        {"a bad value is said, the rest of the file read",
         {{"Controller_0_pdlist.log", std::string(kDriveList).replace(kDriveList.find("Count: 22"), 9, "Count: x")}},
         2,
         0,
         0,
         {"INFO Controller_0_pdlist.log, line 9: Media Error Count is \"x\", not a value of its form"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Collection c = collect(r.files);
        EXPECT_TRUE(c.disks.empty());
        ASSERT_EQ(c.controllers.size(), 1u);
        EXPECT_EQ(c.controllers[0].physical_drives.size(), r.drives);
        EXPECT_EQ(c.controllers[0].virtual_drives.size(), r.virtual_drives);
        EXPECT_EQ(c.controllers[0].events.size(), r.events);
        EXPECT_EQ(texts(c.findings, "controller-log-unrecognised"), r.unrecognised);
        EXPECT_TRUE(texts(c.findings, "empty-input").empty());
    }
}

}  // namespace
