// The web page of a report: one table row per disk with its verdict class,
// the host column only in a fleet view, and no input text that could break
// out of the markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller_judge.h"
#include "history.h"
#include "html.h"
#include "json.h"
#include "report.h"
#include "rules.h"
#include "util.h"

namespace {

using namespace rpt;
using test::count;

// A finding of any weight, as the page shows it.
Finding weighed(Severity s, Rule rule, std::string text) {
    Finding f = finding(rule, std::move(text));
    f.severity = s;
    return f;
}

Disk disk(const std::string& host, const std::string& file, Severity verdict) {
    Disk d;
    d.host = host;
    d.file = file;
    d.controller = 0;
    d.device = 1;
    d.vendor = "ACMEDRV";
    d.product = "DK600SA0006";
    d.revision = "0004";
    d.serial = "S0M1";
    d.verdict = verdict;
    d.temperature = 41;
    d.reference_temperature = 60;
    d.power_on_hours = 1234;
    d.counters = {{Counter::ReadUncorrected, 3, {}}};
    d.findings = {weighed(verdict, Rule::ReadUncorrected, "3 uncorrected read errors")};
    return d;
}

Report report(std::vector<Disk> disks, std::vector<std::string> hosts = {"srv1"}) {
    Report r;
    for (auto& h : hosts) {
        Collection c;
        c.host = h;
        c.source = "/logs/" + h;
        for (auto& d : disks)
            if (d.host == h) c.disks.push_back(d);
        r.collections.push_back(std::move(c));
    }
    ErrRecord e;
    e.kind = RecordKind::ScsiCommandError;
    e.text = "H00T04 Command error";
    r.collections[0].errors.push_back(e);
    r.disks = disks.size();
    r.exit_status = 2;
    return r;
}

TEST(Html, OneRowPerDiskWithItsVerdictClass) {
    struct Row {
        Severity verdict;
        const char* cls;
    };
    const Row rows[] = {{Severity::Info, "v-ok"},
                        {Severity::Warn, "v-warn"},
                        {Severity::Fail, "v-fail"},
                        {Severity::Unknown, "v-unknown"}};
    std::vector<Disk> disks;
    for (size_t i = 0; i < std::size(rows); ++i)
        disks.push_back(disk("srv1", "MA000" + std::to_string(i) + ".log", rows[i].verdict));
    disks.back().protocol = Protocol::Ata;
    std::string page = render_html(report(disks));
    EXPECT_EQ(count(page, "<td>ATA</td>"), 1u) << "the SATA drive's protocol";
    EXPECT_EQ(count(page, "<tr class=\"disk "), std::size(rows));
    for (const Row& r : rows)
        EXPECT_EQ(count(page, std::string("<tr class=\"disk ") + r.cls + " r-unknown\">"), 1u) << r.cls;
    EXPECT_LT(page.find("v-fail"), page.find("v-ok")) << "the worst disks first";
    EXPECT_EQ(count(page, "<th>Host</th>"), 0u) << "one host: no host column";
    EXPECT_EQ(page.find("http"), page.find("http://www.w3.org/2000/svg")) << "nothing but the SVG namespace is a URL";
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // The error log's records decoded for people, as the text has them.
    Report with_detail = report(disks);
    with_detail.collections[0].errors[0].detail = CliDetail{"Adapter 0: no answer"};
    EXPECT_NE(render_html(with_detail).find("<td>text Adapter 0: no answer</td>"), std::string::npos);

    // A disk's findings in JSON come in the text's order: the weightiest first.
    Disk mixed = disks.front();
    mixed.findings.insert(mixed.findings.begin(), weighed(Severity::Info, Rule::ReadUncorrected, "first found"));
    mixed.findings.push_back(weighed(Severity::Fail, Rule::ReadUncorrected, "last found"));
    const std::string json = json_text(mixed);
    EXPECT_LT(json.find("last found"), json.find("first found"));

    std::string fleet = render_html(report(
        {disk("srv1", "MA0000.log", Severity::Info), disk("srv2", "MA0000.log", Severity::Fail)}, {"srv1", "srv2"}));
    EXPECT_EQ(count(fleet, "<th>Host</th>"), 2u) << "host column in the disk table and the error log";
    EXPECT_EQ(count(fleet, "<tr class=\"disk "), 2u);
}

// The riskiest disks first: by verdict, then band, then a count that grew;
// the band beside the verdict, the statement on the disk's entry.
TEST(Html, RiskiestDisksFirst) {
    struct Row {
        Severity verdict;
        RiskBand band;
        bool grew;
    };
    const Row rows[] = {{Severity::Warn, RiskBand::Base, false},
                        {Severity::Warn, RiskBand::Elevated, false},
                        {Severity::Info, RiskBand::Imminent, false},
                        {Severity::Warn, RiskBand::Elevated, true},
                        {Severity::Warn, RiskBand::High, false}};
    std::vector<Disk> disks;
    for (size_t i = 0; i < std::size(rows); ++i) {
        disks.push_back(disk("srv1", "MA000" + std::to_string(i) + ".log", rows[i].verdict));
        disks.back().risk.band = rows[i].band;
        disks.back().risk.statement = "statement " + std::to_string(i);
        if (rows[i].grew) disks.back().risk.grew = RiskGrowth{};
    }
    const std::string page = render_html(report(disks));
    std::string order;
    for (size_t at = 0; (at = page.find("<tr class=\"disk ", at)) != std::string::npos; ++at)
        order += page[page.find(".log", at) - 1];
    EXPECT_EQ(order, "43102");
    EXPECT_EQ(count(page, "<td class=\"risk\">elevated</td>"), 2u);
    EXPECT_NE(page.find("<b>Risk: high.</b> statement 4</p>"), std::string::npos);
}

TEST(Html, TemperatureBarsTakeTheDisksColour) {
    struct Row {
        std::optional<int64_t> temperature;
        std::optional<Severity> finding;  // of a temperature finding
        const char* cls;
    };
    const Row rows[] = {{36, {}, "f-ok"},
                        {71, Severity::Fail, "f-fail"},
                        {55, Severity::Warn, "f-warn"},
                        {71, {}, "f-fail"},
                        {{}, {}, "f-none"}};
    for (const Row& r : rows) {
        Disk d = disk("srv1", "MA0000.log", Severity::Info);
        d.temperature = r.temperature;
        d.findings.clear();
        if (r.finding) d.findings.push_back(weighed(*r.finding, Rule::Temperature, "t"));
        std::string page = render_html(report({d}));
        std::string chart = page.substr(page.find("<figure"), page.find("Error counts") - page.find("<figure"));
        EXPECT_EQ(count(chart, std::string("class=\"") + r.cls + "\""), 1u) << r.cls;
    }
}

TEST(Html, EscapesEveryInputString) {
    const std::string evil = "<script>alert('x')</script>&\"\x01\x1f";
    // The same text in each place the page shows input.
    std::string Disk::*fields[] = {&Disk::file,   &Disk::vendor,   &Disk::product,
                                   &Disk::serial, &Disk::revision, &Disk::host};
    for (auto f : fields) {
        Disk d = disk("srv1", "MA0000.log", Severity::Info);
        d.*f = evil;
        d.findings[0].text = evil;
        Report r = report({d}, {d.host});
        r.collections[0].source = evil;
        r.collections[0].findings = {finding(Rule::ErrlogUnrecognised, evil)};
        r.collections[0].errors[0].text = evil;
        r.collections[0].errors[0].detail = CliDetail{evil};
        std::string page = render_html(r);
        EXPECT_EQ(page.find("<script"), std::string::npos);
        EXPECT_EQ(page.find("alert('x')"), std::string::npos);
        EXPECT_EQ(page.find('\x01'), std::string::npos);
        EXPECT_EQ(page.find('\x1f'), std::string::npos);
        EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;&#xFFFD;&#xFFFD;"),
                  std::string::npos);
    }
}

TEST(Html, FiguresNotReadShowAsDashes) {
    Disk d = disk("srv1", "MA0000.log", Severity::Unknown);
    d.temperature = d.reference_temperature = d.power_on_hours = std::nullopt;
    d.controller = d.device = std::nullopt;
    d.counters.clear();
    std::string page = render_html(report({d}));
    EXPECT_EQ(count(page, "<td class=\"num\">&ndash;</td>"), 5u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
}

}  // namespace

namespace {

// A controller of a degraded RAID-1 (target 0 Online with its drive log,
// target 1 Offline with none), a hot spare in no virtual drive, and its
// events; drawn as the panel, the timeline and the disks' entries.
Report controller_report() {
    Controller ctl;
    ctl.adapter.read = true;
    ctl.adapter.product = "ACME RAID 8i";
    ctl.adapter.serial = "AR0001";
    ctl.adapter.firmware = "2.1.0";
    auto drive = [](unsigned slot, DriveState st, const char* state) {
        PhysicalDrive d;
        d.enclosure = 252;
        d.slot = d.device_id = slot;
        d.state = st;
        d.firmware_state = state;
        d.serial = "S0M" + std::to_string(slot);
        return d;
    };
    ctl.physical_drives = {drive(0, DriveState::Online, "Online, Spun Up"), drive(1, DriveState::Offline, "Offline"),
                           drive(2, DriveState::Hotspare, "Hotspare")};
    VirtualDrive vd;
    vd.id = 0;
    vd.name = "sys";
    vd.raid_level = "RAID 1";
    vd.state = "Degraded";
    vd.state_kind = VirtualDriveState::Degraded;
    vd.members = {ctl.physical_drives[0], ctl.physical_drives[1]};
    ctl.virtual_drives = {vd};
    auto event = [](int64_t time, int cls, const char* text) {
        ControllerEvent e;
        e.time = time;
        e.time_text = utc(static_cast<time_t>(time), "%a %b %e %H:%M:%S %Y");
        e.cls = cls;
        e.code = 0x72;
        e.description = text;
        e.device_id = e.slot = 1;
        e.enclosure = 252;
        return e;
    };
    ctl.events = {event(1717627200, 0, "info only"), event(1717627300, 1, "Predictive failure"),
                  event(1717627923, 2, "State change to OFFLINE")};
    // The join points a view at its controller's entry and events; here
    // they are copies of their own, which the tests' changes to the
    // controller leave.
    static const std::vector<PhysicalDrive> listed = ctl.physical_drives;
    Disk logged = disk("srv1", "MA0000.log", Severity::Info);
    logged.device = 0;
    logged.view = ControllerView{&listed[0], {0}, {}};
    Disk gone = disk("srv1", "", Severity::Fail);
    gone.logged = false;
    gone.view = ControllerView{&listed[1], {0}, {}};
    static const std::vector<ControllerEvent> seen = ctl.events;
    for (const ControllerEvent& e : seen) gone.view->events.push_back(&e);
    Report r = report({logged, gone});
    r.collections[0].controllers = {ctl};
    return r;
}

TEST(Html, ControllerPanelsAndTimeline) {
    struct Row {
        const char* name;
        void (*change)(Report&);
        std::vector<std::string> want, not_want;
    } rows[] = {
        {"the panel: members linked to their entries, states not well coloured, spare drives, tooltips",
         [](Report&) {},
         {"<section class=\"controller\" id=\"controller-0-0\">", "Controller 0 &mdash; ACME RAID 8i",
          "<tr class=\"vd v-fail\">", "<span class=\"st st-fail\">Degraded</span>",
          "<li><a href=\"#disk-0-0\">252:0</a>, target 0, Online, Spun Up</li>",
          "<li><a href=\"#disk-0-1\">252:1</a>, target 1, <span class=\"st st-fail\">Offline</span></li>",
          "<tr><td>252:2</td><td class=\"num\">2</td><td>Hotspare</td>",
          "<title>Wed Jun  5 22:52:03 2024 \u00b7 critical (2) \u00b7 code 0x00000072 \u00b7 State change to OFFLINE "
          "\u00b7 drive 252:1, target 1</title>",
          "2 drawn as 2 mark(s)</figcaption>",
          // The drive with no drive log: its table row and its entry.
          "<td><a href=\"#disk-0-1\"><i>none</i></a></td>", "<section class=\"disk\" id=\"disk-0-1\">",
          "<a href=\"#controller-0-0\">Controller 0</a>: 252:1, <span class=\"st st-fail\">Offline</span>",
          "3 event(s), 2 of them warning or worse. It left no drive log"},
         {"info only"}},
        {"well states keep the text's colour",
         [](Report& r) {
             auto& ctl = r.collections[0].controllers[0];
             ctl.virtual_drives[0].state = "Optimal";
             ctl.virtual_drives[0].state_kind = VirtualDriveState::Optimal;
             ctl.physical_drives[1].state = DriveState::Online;
             ctl.physical_drives[1].firmware_state = "Online";
         },
         {"<tr class=\"vd\">", "<td>Optimal</td>", "252:1</a>, target 1, Online</li>"},
         {}},
        {"a cache policy other than its default names the default",
         [](Report& r) {
             auto& vd = r.collections[0].controllers[0].virtual_drives[0];
             vd.cache_current = "WriteThrough";
             vd.cache_default = "WriteBack";
         },
         {"<td>WriteThrough <span class=\"muted\">(default WriteBack)</span></td>"},
         {}},
        {"a member not joined with a disk has no link",
         [](Report& r) { r.collections[0].disks[0].view.reset(); },
         {"<li>252:0, target 0"},
         {"href=\"#disk-0-0\">252:0"}},
        {"10,000 events: one mark per column and class, the merged ones counted",
         [](Report& r) {
             auto& events = r.collections[0].controllers[0].events;
             const ControllerEvent e = events[1];
             events.assign(10000, e);
             for (size_t i = 0; i < events.size(); ++i) *events[i].time += static_cast<int64_t>(i * 3600 / 10000);
         },
         {"10000 drawn as 910 mark(s) (9090 merged", "<title>11 events from "},
         {}},
        {"an event that names a slot and no enclosure names its drive",
         [](Report& r) { r.collections[0].controllers[0].events[2].enclosure.reset(); },
         {"\u00b7 State change to OFFLINE \u00b7 drive ?:1, target 1</title>"},
         {}},
        {"an event dated only since boot is listed, not drawn",
         [](Report& r) {
             auto& e = r.collections[0].controllers[0].events[2];
             e.time.reset();
             e.boot_seconds = 30;
             e.time_text = "Boot + 30 seconds";
             r.collections[0].controllers[0].events.push_back(e);
         },
         {"1 drawn as 1 mark(s)</figcaption>", "2 dated only by the time since the controller booted",
          "<li>Boot + 30 seconds \u00b7 critical (2)"},
         {}},
        {"input text is escaped",
         [](Report& r) {
             auto& ctl = r.collections[0].controllers[0];
             ctl.adapter.product = ctl.virtual_drives[0].name = ctl.events[2].description =
                 "<script>alert('x')</script>";
         },
         {"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
         {"<script"}},
        {"an arm no drive fills is named by its place",
         [](Report& r) {
             PhysicalDrive slot;
             slot.span = slot.disk_group = 0;
             slot.arm = 2;
             r.collections[0].controllers[0].virtual_drives[0].members.push_back(slot);
         },
         {"<li>span 0, arm 2: no drive (disk group 0)</li>"},
         {}},
        {"a drive's entry names the log that lists it",
         [](Report& r) {
             static PhysicalDrive listed;
             listed = *r.collections[0].disks[1].view->drive;
             listed.source = "Controller_0_ldpdinfo.log";
             r.collections[0].disks[1].view->drive = &listed;
         },
         {"warning or worse. Listed in Controller_0_ldpdinfo.log. It left no drive log"},
         {}},
        {"no controller log: no section", [](Report& r) { r.collections[0].controllers.clear(); }, {}, {"Controllers"}},
    };
    for (const Row& row : rows) {
        Report r = controller_report();
        row.change(r);
        const std::string page = render_html(r);
        for (auto& w : row.want) EXPECT_NE(page.find(w), std::string::npos) << row.name << ": " << w;
        for (auto& w : row.not_want) EXPECT_EQ(page.find(w), std::string::npos) << row.name << ": " << w;
    }
}

// The page colours a state as the rules weigh it.
TEST(Html, StateColoursFollowTheRules) {
    for (int s = 0; s <= static_cast<int>(DriveState::Other); ++s) {
        Controller c;
        PhysicalDrive d;
        d.device_id = 1;
        d.state = static_cast<DriveState>(s);
        c.physical_drives = {d};
        std::optional<Severity> judged;
        for (const Finding& f : judge_controller(c, {}))
            if (f.rule == Rule::DriveState) judged = f.severity;
        EXPECT_EQ(state_severity(d.state), judged) << drive_state_name(d.state);
    }
    for (int s = 0; s <= static_cast<int>(VirtualDriveState::Other); ++s) {
        Controller c;
        VirtualDrive vd;
        vd.id = 0;
        vd.state_kind = static_cast<VirtualDriveState>(s);
        c.virtual_drives = {vd};
        std::optional<Severity> judged;
        for (const Finding& f : judge_controller(c, {}))
            if (f.rule == Rule::VirtualDriveState) judged = f.severity;
        EXPECT_EQ(state_severity(vd.state_kind), judged) << virtual_drive_state_name(vd.state_kind);
    }
}

}  // namespace
