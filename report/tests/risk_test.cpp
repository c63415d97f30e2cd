// The risk bands and their statements: one table of signals (ATA, SAS and
// the controller's, with growth), then the signals that built disks give.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "disk.h"
#include "drivedb.h"
#include "risk.h"
#include "risk_check.h"
#include "util.h"

namespace {

using namespace rpt;
using S = Signal;
using B = RiskBand;

// "ATA ata_reallocated_sectors=3 hours=20000": the protocol (ATA or SAS),
// then signals by name and the power-on hours.
Signals signals(const std::string& text) {
    Signals s;
    std::istringstream in(text);
    std::string word;
    in >> word;
    s.protocol = word == "SAS" ? Protocol::Scsi : Protocol::Ata;
    while (in >> word) {
        const size_t eq = word.find('=');
        const std::string name = word.substr(0, eq);
        const uint64_t v = std::stoull(word.substr(eq + 1));
        bool known = name == "hours";
        if (known) s.power_on_hours = v;
        for (auto& d : signal_defs())
            if (name == signal_name(d.signal)) s[d.signal] = v, known = true;
        if (!known) ADD_FAILURE() << "no signal " << name;
    }
    return s;
}

TEST(Risk, BandsAndStatements) {
    struct Row {
        const char* name;
        std::string now, previous;  // signals, and those of 30 days before ("": none)
        std::string got;            // band, signal, horizon in days
        std::string said;           // parts of the statement, separated by " | "
    };
    const Row rows[] = {
        {"nothing read", "ATA hours=20000", "", "unknown - -", "no forecast"},
        {"clean ATA drive of unknown age", "ATA ata_reallocated_sectors=0 ata_pending_sectors=0", "", "base - 365",
         "every failure counter read (2) is 0 | 1-4% a year (about 0.2-0.7% within 60 days) | Schroeder and Gibson | "
         "over 36% | no signal is not no risk"},
        {"clean ATA drive of 2.3 years", "ATA ata_reallocated_sectors=0 hours=20000", "", "base - 365",
         "At 2.3 years (20000 hours powered on) | about 8% a year at 2 and 3 years, about 1.3% within 60 days"},
        {"clean SAS disk of 5 years", "SAS grown_defects=0 hours=44000", "", "base - 365",
         "rate is carried over | several times the data sheets' rate"},
        {"one reallocated sector", "ATA ata_reallocated_sectors=1", "", "elevated ata_reallocated_sectors 60",
         "reallocated sectors (attribute 5) 1: over 14 times | about 85% still worked 8 months | Pinheiro et al."},
        {"40 reallocated sectors", "ATA ata_reallocated_sectors=40", "", "elevated ata_reallocated_sectors 60",
         "over 14 times"},
        {"41 reallocated sectors", "ATA ata_reallocated_sectors=41", "", "high ata_reallocated_sectors -",
         "more than half of the drives with more than 40 | RAIDShield"},
        {"200 reallocated sectors", "ATA ata_reallocated_sectors=200", "", "imminent ata_reallocated_sectors -",
         "half of the drives failed within days"},
        {"pending sectors beat reallocations of the same band", "ATA ata_reallocated_sectors=3 ata_pending_sectors=2",
         "", "elevated ata_pending_sectors 60", "sectors pending reallocation (attribute 197) 2: 16 times"},
        {"offline uncorrectable sectors", "ATA ata_offline_uncorrectable=1", "",
         "elevated ata_offline_uncorrectable 60", "over 21 times"},
        {"reported uncorrectables", "ATA ata_reported_uncorrect=4", "", "elevated ata_reported_uncorrect -",
         "76.7% of failed drives and 4.2% of working drives | Backblaze"},
        {"the drive's self-assessment beats 300 reallocations",
         "ATA self_assessment_failed=1 ata_reallocated_sectors=300", "", "imminent self_assessment_failed -",
         "own health says it fails | SMART RETURN STATUS"},
        {"a SAS disk's grown defects, by analogy", "SAS grown_defects=50", "", "high grown_defects -",
         "grown defects (READ DEFECT DATA) 50: by analogy with the SATA studies, as reallocated sectors"},
        {"background-scan medium errors", "SAS bms_medium_errors=1 grown_defects=2", "",
         "elevated bms_medium_errors 60",
         "by analogy with the SATA studies, as scan errors: 39 times | a little over 70%"},
        {"uncorrected read errors", "SAS read_uncorrected=3", "", "elevated read_uncorrected 60",
         "uncorrected read errors (page 03h) 3: by analogy with the SATA studies, as offline uncorrectable"},
        {"informational exception", "SAS informational_exception=1", "", "imminent informational_exception -",
         "page 2Fh"},
        {"the controller's media errors of a SATA drive", "ATA controller_media_errors=2 ata_reallocated_sectors=0", "",
         "elevated controller_media_errors 60",
         "media errors the controller counts (drive list) 2: by analogy with the SATA studies"},
        {"the controller's predictive failure", "SAS predictive_failure=1", "", "imminent predictive_failure -",
         "counts predictive failures"},
        {"reallocations that grew raise the band", "ATA ata_reallocated_sectors=5", "ATA ata_reallocated_sectors=2",
         "high ata_reallocated_sectors 60", "It grew by 3 (from 2 to 5) in 30 days | cluster in time | raised by one"},
        {"another signal's growth keeps high at high", "ATA ata_reallocated_sectors=50 ata_pending_sectors=1",
         "ATA ata_reallocated_sectors=50 ata_pending_sectors=0", "high ata_reallocated_sectors -",
         "sectors pending reallocation (attribute 197) grew by 1 | to high at most"},
        {"imminent stays imminent", "ATA ata_reallocated_sectors=250", "ATA ata_reallocated_sectors=210",
         "imminent ata_reallocated_sectors -", "grew by 40"},
        {"a count that went down did not grow", "SAS grown_defects=3", "SAS grown_defects=7",
         "elevated grown_defects 60", ""},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Signals now = signals(r.now), before = signals(r.previous);
        const Signals* previous = r.previous.empty() ? nullptr : &before;
        const Risk k = assess_risk(now, previous, 30);
        EXPECT_EQ(std::string(band_name(k.band)) + " " + (k.signal ? signal_name(*k.signal) : "-") + " " +
                      (k.horizon_days ? std::to_string(*k.horizon_days) : "-"),
                  r.got);
        EXPECT_EQ(k.value, k.signal ? now[*k.signal] : std::nullopt);
        for (size_t at = 0, bar; at < r.said.size(); at = bar + 3) {
            bar = std::min(r.said.find(" | ", at), r.said.size());
            EXPECT_NE(k.statement.find(r.said.substr(at, bar - at)), std::string::npos) << k.statement;
        }
        EXPECT_EQ(k.grew.has_value(), k.statement.find(" grew by ") != std::string::npos);
        EXPECT_EQ(k.grew && k.grew->raised, k.statement.find("raised by one") != std::string::npos);
        EXPECT_EQ(classify_risk(now, previous, 30).band, k.band);
    }
}

TEST(Risk, SignalsOfBuiltDisks) {
    // The sample SATA drives, with a database that may name attribute 187's
    // format: a format that gives no count gives no signal.
    struct Row {
        const char* name;
        std::string sample, presets;
        B band;
        std::optional<Signal> signal;
        std::optional<uint64_t> reported_uncorrect;
    };
    const Row rows[] = {
        {"healthy drive", "hdd", "", B::Base, {}, {}},
        {"failing drive", "failing", "", B::Imminent, S::SelfAssessmentFailed, 5},
        {"187 in a format of no count", "failing", "-v 187,hex48", B::Imminent, S::SelfAssessmentFailed, {}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const DriveDb db = parse_drivedb(
            "{\"DEFAULT\", \"-\", \"-\", \"\", \"\"},\n{\"Acme DH\", \"ACME DH.*\", "
            "\"\", \"\", \"" +
                r.presets + "\"}",
            "test");
        const Disk d = build_disk("h", "MA0000.log",
                                  test::slurp(std::string(LOGPAGES_DIR) + "/sata_" + r.sample + ".log"), {}, &db);
        const Signals s = risk_signals(d);
        const Risk k = disk_risk(d);
        EXPECT_STREQ(band_name(k.band), band_name(r.band));
        EXPECT_EQ(k.signal, r.signal);
        EXPECT_EQ(s[S::ReportedUncorrect], r.reported_uncorrect);
        EXPECT_EQ(s.power_on_hours.has_value(), d.power_on_hours.has_value());
    }

    // Disks as the report builds them: a finding of the disk's own
    // prediction only at its weight (with the drive list's count of it,
    // where it gives one), counters only of their protocol and of the disk
    // as a whole, growth from the previous collection of its history.
    auto disk = [](Protocol p, std::vector<CounterValue> counters, std::vector<std::pair<Rule, Severity>> found,
                   std::optional<uint64_t> predictive = {}, std::vector<CounterValue> before = {}) {
        Disk d;
        d.protocol = p;
        d.counters = std::move(counters);
        for (auto& [rule, severity] : found) {
            d.findings.push_back(finding(rule, "x"));
            d.findings.back().severity = severity;
        }
        if (predictive) {
            static std::deque<PhysicalDrive> listed;  // the controller's rows the views point to
            listed.emplace_back().predictive_failures = predictive;
            d.view.emplace().drive = &listed.back();
        }
        if (!before.empty()) d.history = {{86400 * 40, "h", {}, {}, d.counters}, {86400 * 26, "h", {}, {}, before}};
        return d;
    };
    struct DiskRow {
        const char* name;
        Disk disk;
        B band;
        std::optional<Signal> signal;
        std::optional<uint64_t> value;
        std::optional<double> grew_days;
    };
    const DiskRow disks[] = {
        {"SAS disk",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 50, {}}, {Counter::SelftestFailures, 0, {}}}, {}),
         B::High,
         S::GrownDefects,
         50,
         {}},
        {"an exception that predicts nothing",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 0, {}}}, {{Rule::Exception, Severity::Warn}}),
         B::Base,
         {},
         {},
         {}},
        {"a failure prediction",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 0, {}}}, {{Rule::Exception, Severity::Fail}}),
         B::Imminent,
         S::InformationalException,
         1,
         {}},
        {"the controller's predictive failure of a drive it alone lists",
         disk(Protocol::Ata, {}, {{Rule::DrivePredictiveFailure, Severity::Warn}}),
         B::Imminent,
         S::PredictiveFailure,
         1,
         {}},
        {"the drive list's count of predictive failures is the value",
         disk(Protocol::Ata, {}, {{Rule::DrivePredictiveFailure, Severity::Warn}}, 3),
         B::Imminent,
         S::PredictiveFailure,
         3,
         {}},
        {"a count the rules do not weigh is no prediction", disk(Protocol::Ata, {}, {}, 3), B::Unknown, {}, {}, {}},
        {"a SATA drive's self-tests and a phy's count are no signal",
         disk(Protocol::Ata, {{Counter::SelftestFailures, 2, {}}, {Counter::ControllerMediaErrors, 4, 1u}}, {}),
         B::Unknown,
         {},
         {},
         {}},
        {"grown defects that grew since the previous collection",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 5, {}}}, {}, {}, {{Counter::GrownDefects, 2, {}}}), B::High,
         S::GrownDefects, 5, 14},
        {"the same count in the previous collection",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 5, {}}}, {}, {}, {{Counter::GrownDefects, 5, {}}}),
         B::Elevated,
         S::GrownDefects,
         5,
         {}},
    };
    for (auto& r : disks) {
        SCOPED_TRACE(r.name);
        const Risk k = disk_risk(r.disk);
        EXPECT_STREQ(band_name(k.band), band_name(r.band));
        EXPECT_EQ(k.signal, r.signal);
        EXPECT_EQ(k.value, r.value);
        EXPECT_EQ(k.grew ? std::optional(k.grew->days) : std::nullopt, r.grew_days);
    }
}

// logdump-report(1) lists every signal of the table, row for row, and every
// column of the drive-stats layout that gives one.
TEST(Risk, ManPageListsTheSignals) {
    const std::string man = test::man_section("RISK");
    size_t rows = 0;
    for (size_t at = 0; (at = man.find("\tT{\n", at)) != std::string::npos; ++at) ++rows;
    EXPECT_EQ(rows, signal_defs().size());
    for (auto& d : signal_defs()) EXPECT_NE(man.find(std::string("\n") + signal_name(d.signal) + "\tT{\n"), man.npos);
    for (auto& c : drive_stats_columns()) EXPECT_NE(man.find(c.name), man.npos) << c.name;
}

}  // namespace
