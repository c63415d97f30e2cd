// The risk bands and their statements: one table of signals (ATA, SAS and
// the controller's, with growth), then the signals that built disks give.
#include <gtest/gtest.h>

#include "drivedb.h"
#include "health.h"
#include "risk.h"
#include "risk_check.h"
#include "util.h"

namespace {

using namespace rpt;
using S = Signal;
using B = RiskBand;
using Values = std::vector<std::pair<Signal, uint64_t>>;

Signals signals(Protocol p, const Values& v, std::optional<uint64_t> hours = {}) {
    Signals s;
    s.protocol = p;
    for (auto& [k, n] : v) s[k] = n;
    s.power_on_hours = hours;
    return s;
}

TEST(Risk, BandsAndStatements) {
    constexpr auto A = Protocol::Ata, SAS = Protocol::Scsi;
    struct Row {
        const char* name;
        Signals now;
        std::optional<Values> previous;  // 30 days before
        B band;
        std::optional<Signal> signal;
        std::optional<unsigned> horizon;
        std::vector<std::string> said;  // parts of the statement
    };
    const Row rows[] = {
        {"nothing read", signals(A, {}, 20000), {}, B::Unknown, {}, {}, {"no forecast"}},
        {"clean ATA drive of unknown age",
         signals(A, {{S::ReallocatedSectors, 0}, {S::PendingSectors, 0}}),
         {},
         B::Base,
         {},
         365,
         {"every failure counter read (2) is 0", "1-4% a year (about 0.2-0.7% within 60 days)", "Schroeder and Gibson",
          "over 36%", "no signal is not no risk"}},
        {"clean ATA drive of 2.3 years",
         signals(A, {{S::ReallocatedSectors, 0}}, 20000),
         {},
         B::Base,
         {},
         365,
         {"At 2.3 years (20000 hours powered on)", "about 8% a year at 2 and 3 years, about 1.3% within 60 days"}},
        {"clean SAS disk of 5 years",
         signals(SAS, {{S::GrownDefects, 0}}, 44000),
         {},
         B::Base,
         {},
         365,
         {"rate is carried over", "several times the data sheets' rate"}},
        {"one reallocated sector",
         signals(A, {{S::ReallocatedSectors, 1}}),
         {},
         B::Elevated,
         S::ReallocatedSectors,
         60,
         {"reallocated sectors (attribute 5) 1: over 14 times", "about 85% still worked 8 months", "Pinheiro et al."}},
        {"40 reallocated sectors",
         signals(A, {{S::ReallocatedSectors, 40}}),
         {},
         B::Elevated,
         S::ReallocatedSectors,
         60,
         {"over 14 times"}},
        {"41 reallocated sectors",
         signals(A, {{S::ReallocatedSectors, 41}}),
         {},
         B::High,
         S::ReallocatedSectors,
         {},
         {"more than half of the drives with more than 40", "RAIDShield"}},
        {"200 reallocated sectors",
         signals(A, {{S::ReallocatedSectors, 200}}),
         {},
         B::Imminent,
         S::ReallocatedSectors,
         {},
         {"half of the drives failed within days"}},
        {"pending sectors beat reallocations of the same band",
         signals(A, {{S::ReallocatedSectors, 3}, {S::PendingSectors, 2}}),
         {},
         B::Elevated,
         S::PendingSectors,
         60,
         {"sectors pending reallocation (attribute 197) 2: 16 times"}},
        {"offline uncorrectable sectors",
         signals(A, {{S::OfflineUncorrectable, 1}}),
         {},
         B::Elevated,
         S::OfflineUncorrectable,
         60,
         {"over 21 times"}},
        {"reported uncorrectables",
         signals(A, {{S::ReportedUncorrect, 4}}),
         {},
         B::Elevated,
         S::ReportedUncorrect,
         {},
         {"76.7% of failed drives and 4.2% of working drives", "Backblaze"}},
        {"the drive's self-assessment beats 300 reallocations",
         signals(A, {{S::SelfAssessmentFailed, 1}, {S::ReallocatedSectors, 300}}),
         {},
         B::Imminent,
         S::SelfAssessmentFailed,
         {},
         {"own health says it fails", "SMART RETURN STATUS"}},
        {"a SAS disk's grown defects, by analogy",
         signals(SAS, {{S::GrownDefects, 50}}),
         {},
         B::High,
         S::GrownDefects,
         {},
         {"grown defects (READ DEFECT DATA) 50: by analogy with the SATA studies, as reallocated sectors"}},
        {"background-scan medium errors",
         signals(SAS, {{S::ScanMediumErrors, 1}, {S::GrownDefects, 2}}),
         {},
         B::Elevated,
         S::ScanMediumErrors,
         60,
         {"by analogy with the SATA studies, as scan errors: 39 times", "a little over 70%"}},
        {"uncorrected read errors",
         signals(SAS, {{S::ReadUncorrected, 3}}),
         {},
         B::Elevated,
         S::ReadUncorrected,
         60,
         {"uncorrected read errors (page 03h) 3: by analogy with the SATA studies, as offline uncorrectable"}},
        {"informational exception",
         signals(SAS, {{S::InformationalException, 1}}),
         {},
         B::Imminent,
         S::InformationalException,
         {},
         {"page 2Fh"}},
        {"the controller's media errors of a SATA drive",
         signals(A, {{S::ControllerMediaErrors, 2}, {S::ReallocatedSectors, 0}}),
         {},
         B::Elevated,
         S::ControllerMediaErrors,
         60,
         {"media errors the controller counts (drive list) 2: by analogy with the SATA studies"}},
        {"the controller's predictive failure",
         signals(SAS, {{S::PredictiveFailure, 1}}),
         {},
         B::Imminent,
         S::PredictiveFailure,
         {},
         {"counts predictive failures"}},
        {"reallocations that grew raise the band",
         signals(A, {{S::ReallocatedSectors, 5}}),
         Values{{S::ReallocatedSectors, 2}},
         B::High,
         S::ReallocatedSectors,
         60,
         {"It grew by 3 (from 2 to 5) in 30 days", "cluster in time", "raised by one"}},
        {"another signal's growth keeps high at high",
         signals(A, {{S::ReallocatedSectors, 50}, {S::PendingSectors, 1}}),
         Values{{S::ReallocatedSectors, 50}, {S::PendingSectors, 0}},
         B::High,
         S::ReallocatedSectors,
         {},
         {"sectors pending reallocation (attribute 197) grew by 1", "to high at most"}},
        {"imminent stays imminent",
         signals(A, {{S::ReallocatedSectors, 250}}),
         Values{{S::ReallocatedSectors, 210}},
         B::Imminent,
         S::ReallocatedSectors,
         {},
         {"grew by 40"}},
        {"a count that went down did not grow",
         signals(SAS, {{S::GrownDefects, 3}}),
         Values{{S::GrownDefects, 7}},
         B::Elevated,
         S::GrownDefects,
         60,
         {}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Signals before = r.previous ? signals(r.now.protocol, *r.previous) : Signals{};
        const Risk k = assess_risk(r.now, r.previous ? &before : nullptr, 30);
        EXPECT_STREQ(band_name(k.band), band_name(r.band));
        EXPECT_EQ(k.signal ? signal_name(*k.signal) : "", r.signal ? signal_name(*r.signal) : "");
        EXPECT_EQ(k.horizon_days, r.horizon);
        EXPECT_EQ(k.value, r.signal ? r.now[*r.signal] : std::nullopt);
        for (auto& part : r.said) EXPECT_NE(k.statement.find(part), std::string::npos) << part << "\n" << k.statement;
        EXPECT_EQ(k.grew.has_value(), k.statement.find(" grew by ") != std::string::npos);
        EXPECT_EQ(k.grew && k.grew->raised, k.statement.find("raised by one") != std::string::npos);
        EXPECT_EQ(classify_risk(r.now, r.previous ? &before : nullptr, 30).band, k.band);
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
    // prediction only at its weight, counters only of their protocol and of
    // the disk as a whole.
    auto disk = [](Protocol p, std::vector<CounterValue> counters, std::vector<std::pair<Rule, Severity>> found) {
        Disk d;
        d.protocol = p;
        d.counters = std::move(counters);
        for (auto& [rule, severity] : found) {
            d.findings.push_back(finding(rule, "x"));
            d.findings.back().severity = severity;
        }
        return d;
    };
    struct DiskRow {
        const char* name;
        Disk disk;
        B band;
        std::optional<Signal> signal;
    };
    const DiskRow disks[] = {
        {"SAS disk", disk(Protocol::Scsi, {{Counter::GrownDefects, 50, {}}, {Counter::SelftestFailures, 0, {}}}, {}),
         B::High, S::GrownDefects},
        {"an exception that predicts nothing",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 0, {}}}, {{Rule::Exception, Severity::Warn}}),
         B::Base,
         {}},
        {"a failure prediction",
         disk(Protocol::Scsi, {{Counter::GrownDefects, 0, {}}}, {{Rule::Exception, Severity::Fail}}), B::Imminent,
         S::InformationalException},
        {"the controller's predictive failure of a drive it alone lists",
         disk(Protocol::Ata, {}, {{Rule::DrivePredictiveFailure, Severity::Warn}}), B::Imminent, S::PredictiveFailure},
        {"a SATA drive's self-tests and a phy's count are no signal",
         disk(Protocol::Ata, {{Counter::SelftestFailures, 2, {}}, {Counter::ControllerMediaErrors, 4, 1u}}, {}),
         B::Unknown,
         {}},
    };
    for (auto& r : disks) {
        SCOPED_TRACE(r.name);
        const Risk k = disk_risk(r.disk);
        EXPECT_STREQ(band_name(k.band), band_name(r.band));
        EXPECT_EQ(k.signal, r.signal);
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
