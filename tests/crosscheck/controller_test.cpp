// The simulated CLI and the report agree on the controller logs: every
// field that the simulator's text writer puts into a log, for every
// statement that sets one, is read back by the report's readers with the
// value the scenario gave, and no reader has anything to say of the text.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/config.h"
#include "cli/logtext.h"
#include "common/cli_variants.h"
#include "common/controller_model.h"
#include "common/scenario.h"
#include "controller.h"

namespace {

using rpt::ControllerLog;

// Every statement that sets what the CLI writes, on two controllers; the
// second keeps the mirrors that "lds" stands for.
const char* kScenario = R"SCN(
controller 0
device 0 0 sas vendor OKAPIHD product KZA1200TX rev A440 serial Z1X2Y3W4
device 0 1 sas
device 0 2 sata
device 0 3 sas
device 0 4 sas
device 0 5 sas
device 0 6 sas
device 0 7 sas
device 0 9 enclosure
pd 0 1 state Offline media-errors 22 other-errors 3 predictive-failures 1 smart-alert yes answers no
pd 0 2 state Rebuild progress 45 foreign yes device-speed 6.0Gb/s link-speed 3.0Gb/s temperature 51
pd 0 3 enclosure 6 slot 11 temperature -5
pd 0 6 state Hotspare
pd 0 7 state Unconfigured(bad) other-errors 120
vd 0 0 raid 1 drives "0 1" state Degraded name sys cache-now WriteThrough
vd 0 1 raid 10 drives "2 3 4 5" state "Partially Degraded" bad-blocks yes cache WriteThrough
vd 0 3 raid 0 drives "7" state Offline
adapter 0 memory-correctable 12 memory-uncorrectable 1 bbu absent alarm present critical-disks 4
event 0 "2024-06-05 22:41:07" pd 1 cdb "28 00 0a 1b 2c 30 00 00 08 00" sense 3/11/00 repeat 3 every 95
event 0 "2024-06-05 22:47:12" pd 1 code 0x5e class 1 text "Predictive failure: {pd}"
event 0 "2024-06-05 22:52:03" pd 3 code 0x72 class 2 text "State change on {pd} from ONLINE(18) to OFFLINE(10)"
event 0 "2024-06-07 01:00:00" code 0x51 class 4 locale 0x01 text "Controller dead"
event 0 "2024-05-01 00:00:00" pd 4 cdb "8a 00 00 00 00 01 00 00 00 10 00 00 00 08 00 00" sense 4/44/00 class -2
controller 1 lds 2
device 1 0 sas
device 1 1 sas
device 1 2 sas
)SCN";

constexpr int64_t kStart = 1717664400;  // the simulated controller's start: 2024-06-06 09:00:00

// One field as the simulator wrote it and as the report read it.
struct Field {
    std::string name, wrote, read;
};

template <class T>
std::string text(const std::optional<T>& v) {
    return v ? std::to_string(*v) : "-";
}

void expect_same(const std::vector<Field>& fields, const std::string& what) {
    for (const auto& f : fields) EXPECT_EQ(f.read, f.wrote) << what << ": " << f.name;
}

std::string sas_address_of(const sim::Device& d) {
    const uint64_t addr = (uint64_t{d.ctrl & 0xFF} << 16) | d.id;
    const uint64_t a = d.kind == sim::DeviceKind::Sata ? (0x500605b0ULL << 32 | addr << 8 | 0x80)
                                                       : (0x5000c500ULL << 32 | addr << 8 | 0x5d);
    return std::to_string(a);
}

void expect_drive(const sim::Device& d, const sim::cli::ShownConfig& config, const rpt::PhysicalDrive& p,
                  const std::string& where) {
    const sim::DriveView& v = d.view;
    const bool sata = d.kind == sim::DeviceKind::Sata;
    auto at = config.positions.find(d.id);
    const bool placed = at != config.positions.end();
    const std::string speed = sata ? "6.0Gb/s" : "12.0Gb/s";
    expect_same({{"enclosure", std::to_string(sim::cli::enclosure_of(d)), text(p.enclosure)},
                 {"slot", std::to_string(sim::cli::slot_of(d)), text(p.slot)},
                 {"device id", std::to_string(d.id), text(p.device_id)},
                 {"disk group", placed ? std::to_string(at->second.group) : "-", text(p.disk_group)},
                 {"span", placed ? std::to_string(at->second.span) : "-", text(p.span)},
                 {"arm", placed ? std::to_string(at->second.arm) : "-", text(p.arm)},
                 {"media errors", std::to_string(v.mediaErrors), text(p.media_errors)},
                 {"other errors", std::to_string(v.otherErrors), text(p.other_errors)},
                 {"predictive failures", std::to_string(v.predictiveFailures), text(p.predictive_failures)},
                 {"type", sata ? "SATA" : "SAS", p.pd_type},
                 {"raw sectors", std::to_string(d.blocks), text(p.raw_sectors)},
                 {"firmware state", v.state, p.firmware_state},
                 {"progress", text(v.progress), text(p.progress)},
                 {"SAS address", sas_address_of(d), p.sas_addresses.empty() ? "-" : std::to_string(p.sas_addresses[0])},
                 {"vendor", d.vendor, p.vendor},
                 {"product", d.product, p.product},
                 {"revision", d.rev, p.revision},
                 {"serial", d.serial, p.serial},
                 {"foreign state", v.foreign ? "Foreign" : "None", p.foreign_state},
                 {"device speed", v.deviceSpeed.empty() ? speed : v.deviceSpeed, p.device_speed},
                 {"link speed", v.linkSpeed.empty() ? speed : v.linkSpeed, p.link_speed},
                 {"temperature", std::to_string(sim::cli::temperature_of(d)), text(p.temperature)},
                 {"S.M.A.R.T alert", v.smartAlert ? "1" : "0", text(p.smart_alert)}},
                where + " drive " + std::to_string(d.id));
}

void expect_virtual_drive(const sim::cli::ShownVirtualDrive& s, const rpt::VirtualDrive& r, const std::string& where) {
    const sim::VirtualDrive& def = s.def;
    std::string members, read_members;
    for (const sim::Device* d : s.members) members += std::to_string(d->id) + " ";
    for (const auto& m : r.members) read_members += text(m.device_id) + " ";
    expect_same({{"id", std::to_string(def.id), text(r.id)},
                 {"target", std::to_string(def.id), text(r.target)},
                 {"name", def.name.empty() ? "VD" + std::to_string(def.id) : def.name, r.name},
                 {"RAID level", "RAID " + std::to_string(def.level), r.raid_level},
                 {"state", def.state, r.state},
                 {"drives", std::to_string(s.drivesShown), text(r.drives)},
                 {"span depth", std::to_string(def.spans), text(r.span_depth)},
                 {"write cache", def.writeBack ? "WriteBack" : "WriteThrough",
                  r.cache_default.substr(0, r.cache_default.find(','))},
                 {"write cache now", def.writeBackNow ? "WriteBack" : "WriteThrough",
                  r.cache_current.substr(0, r.cache_current.find(','))},
                 {"bad blocks", def.badBlocks ? "1" : "0", text(r.bad_blocks)},
                 {"members", members, read_members}},
                where + " virtual drive " + std::to_string(def.id));
}

// The scenario's events as the CLI writes them, in time order.
struct Written {
    int64_t time;
    const sim::ControllerEvent* e;
};
std::vector<Written> scenario_events(const sim::Controller& c) {
    std::vector<Written> out;
    for (const auto& e : c.events)
        for (unsigned k = 0; k < e.repeat; ++k) out.push_back({e.time + int64_t{k} * e.every, &e});
    std::stable_sort(out.begin(), out.end(), [](const Written& a, const Written& b) { return a.time < b.time; });
    return out;
}

void expect_events(const sim::Scenario& sc, unsigned ctrl, const std::vector<rpt::ControllerEvent>& read) {
    // The start's events are 7 s apart from 09:00:00: two, one or two per
    // device, two, one per virtual drive, one.
    const sim::Controller& c = sc.controllers.at(ctrl);
    size_t start = 2 + 2 + 1 + std::max<size_t>(c.virtualDrives.size(), 1);
    for (const sim::Device* d : sc.devices_of(ctrl))
        start += d->kind != sim::DeviceKind::Silent && d->ptype == 0 ? 2 : 1;
    const auto written = scenario_events(c);
    ASSERT_EQ(read.size(), start + written.size()) << "controller " << ctrl;
    size_t next = 0;
    for (size_t i = 0; i < read.size(); ++i) {
        const rpt::ControllerEvent& r = read[i];
        EXPECT_EQ(r.seq, 0x1A20u + i);
        ASSERT_TRUE(r.time.has_value()) << i;
        if (*r.time >= kStart && *r.time < kStart + 7 * static_cast<int64_t>(start)) continue;  // the start's
        ASSERT_LT(next, written.size());
        const Written& w = written[next++];
        const sim::ControllerEvent& e = *w.e;
        std::string sense = "-", read_sense = "-", cdb, read_cdb;
        if (e.sense)
            sense = std::to_string((*e.sense)[0]) + "/" + std::to_string((*e.sense)[1]) + "/" +
                    std::to_string((*e.sense)[2]);
        if (r.sense && r.sense->key)
            read_sense = text(r.sense->key) + "/" + text(r.sense->asc) + "/" + text(r.sense->ascq);
        for (uint8_t b : e.cdb) cdb += std::to_string(b) + " ";
        if (r.sense)
            for (uint8_t b : r.sense->cdb) read_cdb += std::to_string(b) + " ";
        const sim::Device* d = e.device ? sc.device(ctrl, *e.device) : nullptr;
        expect_same({{"time", std::to_string(w.time), text(r.time)},
                     {"code", std::to_string(e.code), text(r.code)},
                     {"class", std::to_string(e.cls), text(r.cls)},
                     {"locale", e.locale, r.locale},
                     {"device", d ? std::to_string(d->id) : "-", text(r.device_id)},
                     {"enclosure", d ? std::to_string(sim::cli::enclosure_of(*d)) : "-", text(r.enclosure)},
                     {"slot", d ? std::to_string(sim::cli::slot_of(*d)) : "-", text(r.slot)},
                     {"cdb", cdb, read_cdb},
                     {"sense", sense, read_sense}},
                    "event " + std::to_string(i));
        if (!e.sense) {
            std::string description = e.text;
            if (d) description.replace(description.find("{pd}"), 4, sim::cli::drive_name(*d));
            EXPECT_EQ(r.description, description);
        }
    }
    EXPECT_EQ(next, written.size());
}

// `with_variants`: as the CLI prints the logs, with the variants of its
// text that the scenario asks for (the event log is a file of its own).
std::map<unsigned, rpt::Controller> read_back(const sim::Scenario& sc, bool with_variants = false) {
    std::map<unsigned, rpt::Controller> into;
    using Writer = std::string (*)(const sim::Scenario&, unsigned);
    const std::pair<ControllerLog, Writer> logs[] = {
        {ControllerLog::Configuration, sim::cli::cfgdsply}, {ControllerLog::Adapter, sim::cli::adpallinfo},
        {ControllerLog::Drives, sim::cli::pdlist},          {ControllerLog::VirtualDrives, sim::cli::ldinfo},
        {ControllerLog::Members, sim::cli::ldpdinfo},       {ControllerLog::Events, sim::cli::eventlog},
    };
    for (const auto& [index, c] : sc.controllers)
        for (const auto& [kind, write] : logs)
            rpt::read_controller_log(kind,
                                     with_variants && kind != ControllerLog::Events
                                         ? sim::cli::with_variants(sc, index, write(sc, index), "./RaidCli64 -x -a0")
                                         : write(sc, index),
                                     "log " + std::to_string(static_cast<int>(kind)), index, into);
    for (auto& [index, c] : into) rpt::put_together(c);
    return into;
}

void cross_check(const sim::Scenario& sc) {
    const auto read = read_back(sc);
    ASSERT_EQ(read.size(), sc.controllers.size());
    for (const auto& [index, c] : sc.controllers) {
        const std::string where = "controller " + std::to_string(index);
        const rpt::Controller& r = read.at(index);
        for (const auto& p : r.problems) ADD_FAILURE() << where << ": " << p.text;
        const sim::cli::ShownConfig config = sim::cli::shown_config(sc, index);

        ASSERT_EQ(r.physical_drives.size(), config.disks.size()) << where;
        for (size_t i = 0; i < config.disks.size(); ++i)
            expect_drive(*config.disks[i], config, r.physical_drives[i], where);

        ASSERT_EQ(r.virtual_drives.size(), config.virtualDrives.size()) << where;
        for (size_t i = 0; i < config.virtualDrives.size(); ++i) {
            expect_virtual_drive(config.virtualDrives[i], r.virtual_drives[i], where);
            for (size_t m = 0; m < config.virtualDrives[i].members.size(); ++m)
                expect_drive(*config.virtualDrives[i].members[m], config, r.virtual_drives[i].members.at(m),
                             where + " member");
        }
        // The configuration log repeats the states (the mirror of virtual
        // drive 0 over every disk when none is declared).
        const auto groups =
            config.declared ? config.virtualDrives : std::vector{sim::cli::standing_mirror(config.disks, 0)};
        const auto& listed = r.listed.configuration;
        ASSERT_EQ(listed.size(), groups.size()) << where;
        for (size_t i = 0; i < groups.size(); ++i) {
            expect_virtual_drive(groups[i], listed[i], where + " configuration");
            for (size_t m = 0; m < groups[i].members.size(); ++m)
                expect_drive(*groups[i].members[m], config, listed[i].members.at(m), where + " configuration");
        }

        const sim::AdapterView& a = c.adapter;
        const sim::cli::AdapterCounts n = sim::cli::adapter_counts(sc, index, config);
        const rpt::AdapterInfo& ra = r.adapter;
        expect_same({{"product", sim::kController.product, ra.product},
                     {"serial", sim::controller_serial(index), ra.serial},
                     {"package", sim::kController.package, ra.package},
                     {"firmware", sim::kController.firmware, ra.firmware},
                     {"virtual drives", std::to_string(config.virtualDrives.size()), text(ra.virtual_drives)},
                     {"degraded", std::to_string(n.degraded), text(ra.degraded)},
                     {"offline", std::to_string(n.offline), text(ra.offline)},
                     {"disks", std::to_string(config.disks.size()), text(ra.disks)},
                     {"critical disks", std::to_string(n.critical), text(ra.critical_disks)},
                     {"failed disks", std::to_string(n.failed), text(ra.failed_disks)},
                     {"memory correctable", std::to_string(a.memoryCorrectable), text(ra.memory_correctable)},
                     {"memory uncorrectable", std::to_string(a.memoryUncorrectable), text(ra.memory_uncorrectable)},
                     {"battery", a.bbu ? "1" : "0", text(ra.bbu_present)},
                     {"alarm", a.alarm ? "1" : "0", text(ra.alarm_present)}},
                    where + " adapter");

        expect_events(sc, index, r.events);
    }
}

TEST(ControllerLogs, EveryFieldTheSimulatedCliWritesIsReadBack) { cross_check(sim::parse_scenario(kScenario, ".")); }

// Each variant of the CLI's text ("cli text"), alone and all at once: the
// report reads the same drives, virtual drives and adapter as from the
// text without it, and has nothing to say of the text. (A virtual drive's
// size is printed otherwise by one of them, and a SATA drive's inquiry
// without its "ATA" vendor by another, so those are left out.)
TEST(ControllerLogs, EachVariantOfTheCliTextReadsTheSame) {
    auto facts = [](const std::map<unsigned, rpt::Controller>& cs) {
        std::string s;
        for (const auto& [index, c] : cs) {
            for (const auto& d : c.physical_drives)
                s += "drive " + text(d.device_id) + " " + rpt::drive_place(d) + " " + rpt::state_label(d) + " " +
                     text(d.media_errors) + "/" + text(d.other_errors) + "/" + text(d.predictive_failures) + " " +
                     d.product + "|" + d.revision + "|" + d.serial + " " + text(d.temperature) + " " +
                     text(d.raw_sectors) + " " + text(d.arm) + "\n";
            for (const auto& v : c.virtual_drives) {
                s += "vd " + text(v.id) + "/" + text(v.target) + " " + v.raid_level + " " + rpt::state_label(v) + " " +
                     text(v.drives) + " " + text(v.span_depth) + ":";
                for (const auto& m : v.members) s += " " + text(m.device_id);
                s += "\n";
            }
            s += "adapter " + c.adapter.product + " " + text(c.adapter.degraded) + "\n";
            for (const auto& p : c.problems) s += "problem " + p.text + "\n";
        }
        return s;
    };
    const auto plain = facts(read_back(sim::parse_scenario(kScenario, ".")));
    std::string all = "cli text *";
    for (const auto& v : sim::cli_text_variant_table()) {
        SCOPED_TRACE(v.name);
        all += std::string(" ") + v.name;
        EXPECT_EQ(
            facts(read_back(sim::parse_scenario(kScenario + std::string("cli text * ") + v.name + "\n", "."), true)),
            plain);
    }
    SCOPED_TRACE(all);
    EXPECT_EQ(facts(read_back(sim::parse_scenario(kScenario + all + "\n", "."), true)), plain);
}

TEST(ControllerLogs, TheShippedScenariosReadBackToo) {
    for (const char* name : {"degraded.scn", "demo.scn", "health.scn", "mixed.scn", "pdlist-fails.scn"}) {
        SCOPED_TRACE(name);
        cross_check(sim::read_scenario_file(std::string(LOGDUMP_SOURCE_DIR) + "/sim/scenarios/" + name));
    }
}

}  // namespace
