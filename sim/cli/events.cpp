// The controller's event log: the events of its start (firmware, each
// device found, the settled configuration), seven seconds apart from
// 2024-06-06 09:00:00, and the scenario's dated events among them in time
// order, numbered in that order.
#include <time.h>

#include <algorithm>
#include <cctype>

#include "common/scenario.h"
#include "config.h"
#include "fill.h"
#include "logtext.h"
#include "templates.h"

namespace sim::cli {

namespace {

constexpr int64_t kStart = 1717664400;  // 2024-06-06 09:00:00 on the controller's clock

struct Record {
    int64_t time;
    std::string timeText;
    unsigned code;
    int cls;
    std::string locale, text, data;
};

std::string time_text(int64_t t) {
    const time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    gmtime_r(&tt, &tm);
    char buf[40];
    strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &tm);
    return buf;
}

Record start_record(const text::Event& e, const Values& v, unsigned seconds) {
    const int64_t t = kStart + seconds;
    return {t, time_text(t), e.code, static_cast<int>(e.cls), e.locale, fill(e.text, v), fill(e.data, v)};
}

// A virtual drive's state as the firmware's events write it, with its code.
std::pair<std::string, unsigned> state_code(const std::string& state) {
    const std::pair<const char*, unsigned> codes[] = {
        {"Offline", 0}, {"Partially Degraded", 1}, {"Degraded", 2}, {"Optimal", 3}};
    for (const auto& [name, code] : codes) {
        if (state != name) continue;
        std::string word = name;
        for (char& c : word) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        return {word, code};
    }
    return {state, 3};
}

std::string replace_all(std::string s, std::string_view what, const std::string& with) {
    for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; at += with.size())
        s.replace(at, what.size(), with);
    return s;
}

void scenario_records(const Scenario& sc, unsigned ctrl, std::vector<Record>& out) {
    auto cit = sc.controllers.find(ctrl);
    if (cit == sc.controllers.end()) return;
    for (const ControllerEvent& e : cit->second.events) {
        const Device* d = e.device ? sc.device(ctrl, *e.device) : nullptr;
        std::string text = e.text, data = "None";
        if (d != nullptr) {
            const Values dv = device_values(*d);
            data = fill(text::kDriveEventData, dv);
            if (e.sense) {
                std::string cdb;
                for (uint8_t b : e.cdb) cdb += fmt(cdb.empty() ? "%02x" : " %02x", b);
                text = fill(text::kSenseText,
                            {{"pd", drive_name(*d)},
                             {"path", fill("5000c500{addr}5d", dv)},
                             {"cdb", cdb},
                             {"sense", fmt("%x/%02x/%02x", (*e.sense)[0], (*e.sense)[1], (*e.sense)[2])}});
            } else {
                text = replace_all(text, "{pd}", drive_name(*d));
            }
        }
        for (unsigned k = 0; k < e.repeat; ++k) {
            const int64_t t = e.time + static_cast<int64_t>(k) * e.every;
            out.push_back({t, time_text(t), e.code, e.cls, e.locale, text, data});
        }
    }
}

}  // namespace

std::string eventlog(const Scenario& sc, unsigned ctrl) {
    std::vector<Record> records;
    unsigned seconds = 0;  // after 09:00:00; seven between events
    auto add = [&](const text::Event& e, const Values& v) {
        records.push_back(start_record(e, v, seconds));
        seconds += 7;
    };
    const Values cv = controller_values(ctrl);
    for (const auto& e : text::kBootEvents) add(e, cv);
    for (const Device* d : sc.devices_of(ctrl)) {
        const Values dv = device_values(*d) + Values{{"what", d->kind == DeviceKind::Enclosure ? "Enclosure" : "PD"}};
        if (d->kind == DeviceKind::Silent) {
            add(text::kRemovedEvent, dv);
            continue;
        }
        add(text::kInsertedEvent, dv);
        if (d->ptype == 0) add(text::kDiskInfoEvent, dv);
    }
    for (const auto& e : text::kSettledEvents) add(e, cv);
    // Virtual drive 0 always came up optimal when the scenario declares none.
    const ShownConfig config = shown_config(sc, ctrl);
    std::vector<VirtualDrive> vds = {VirtualDrive{}};
    if (config.declared) {
        vds.clear();
        for (const auto& vd : config.virtualDrives) vds.push_back(vd.def);
    }
    for (const VirtualDrive& vd : vds) {
        const auto [word, code] = state_code(vd.state);
        add(text::kVirtualDriveStateEvent,
            {{"vd", num(vd.id)}, {"vd_hex", fmt("%02x", vd.id)}, {"state", word}, {"state_code", num(code)}});
    }
    add(text::kPatrolReadEvent, cv);
    scenario_records(sc, ctrl, records);
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.time < b.time; });

    std::string s;
    unsigned sequence = 0x1A20;
    for (const Record& r : records)
        s += fill(text::kEventRecord, {{"sequence", fmt("%08x", sequence++)},
                                       {"time", r.timeText},
                                       {"code", fmt("%08x", r.code)},
                                       {"class", std::to_string(r.cls)},
                                       {"locale", r.locale},
                                       {"text", r.text},
                                       {"data", r.data}});
    return s;
}

}  // namespace sim::cli
