// The text that the simulated RAID CLI prints for each of its commands: the
// templates of templates.h, filled with the fields of the controller model,
// the scenario's devices and the configuration the controller shows.
#include "logtext.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/cli_variants.h"
#include "common/controller_model.h"
#include "config.h"
#include "fill.h"
#include "templates.h"

namespace sim::cli {

namespace {

std::string size_text(uint64_t blocks) {
    double gb = static_cast<double>(blocks) * 512.0 / (1024.0 * 1024.0 * 1024.0);
    if (gb >= 1024.0) return fmt("%.3f TB [0x%llx Sectors]", gb / 1024.0, static_cast<unsigned long long>(blocks));
    return fmt("%.3f GB [0x%llx Sectors]", gb, static_cast<unsigned long long>(blocks));
}

// The inquiry data in columns: vendor, product, revision, serial. A SATA
// drive's, where the scenario asks, as serial, model and firmware; one the
// controller lost the details of as "ATA", model, revision and serial.
std::string inquiry_text(const Scenario& sc, const Device& d) {
    const bool sata = d.kind == DeviceKind::Sata;
    const std::string& model = d.ata.model.empty() ? d.product : d.ata.model;
    const std::string& firmware = d.ata.firmware.empty() ? d.rev : d.ata.firmware;
    char buf[96];
    if (sata && d.view.vanished)
        snprintf(buf, sizeof buf, "ATA %s %s %s", model.c_str(), firmware.c_str(), d.serial.c_str());
    else if (sata && sc.cli_text(d.ctrl, "sata-serial-first"))
        snprintf(buf, sizeof buf, "%20s %-40.40s %-8.8s", d.serial.c_str(), model.c_str(), firmware.c_str());
    else
        snprintf(buf, sizeof buf, "%-8.8s%-16.16s%-4.4s%s", d.vendor.c_str(), d.product.c_str(), d.rev.c_str(),
                 d.serial.c_str());
    return buf;
}

const char* yes_no(bool b) { return b ? "Yes" : "No"; }

std::string drive_block(const Scenario& sc, const Device& d, const ShownConfig& config) {
    const text::Protocol& p = d.kind == DeviceKind::Sata ? text::kSata : text::kSas;
    const DriveView& v = d.view;
    const int celsius = temperature_of(d);
    const uint64_t non_coerced = d.blocks > 0x100000 ? d.blocks - 0x100000 : d.blocks;
    auto size = [&](uint64_t blocks, std::string_view lost) {
        return v.vanished ? std::string(lost) : size_text(blocks);
    };
    const Values dv = device_values(d);
    std::string position, progress;
    if (auto at = config.positions.find(d.id); at != config.positions.end())
        position =
            fill(text::kPosition,
                 {{"group", num(at->second.group)}, {"span", num(at->second.span)}, {"arm", num(at->second.arm)}});
    if (v.progress)
        progress = fill(text::kProgress, dv + Values{{"operation", v.state},
                                                     {"percent", num(*v.progress)},
                                                     {"minutes", num(*v.progress * 3 / 5 + 1)}});
    return fill(text::kDrive,
                dv + Values{{"position", position},
                            {"wwn", v.vanished ? "" : fmt("5000C500%02X%04X5A", d.ctrl & 0xFF, d.id)},
                            {"sequence", num(2 + d.id)},
                            {"media_errors", num(v.mediaErrors)},
                            {"other_errors", num(v.otherErrors)},
                            {"predictive_failures", num(v.predictiveFailures)},
                            {"type", p.type},
                            {"raw_size", size(d.blocks, text::kNoSize)},
                            {"non_coerced_size", size(non_coerced, text::kAllOnesSize)},
                            {"coerced_size", size(d.blocks & ~0x7FFULL, text::kNoSize)},
                            {"drive_support", v.vanished ? std::string(text::kNotSupported) : ""},
                            {"sector_size", v.vanished ? "0" : "512"},
                            {"firmware_state", v.state},
                            {"progress", progress},
                            {"rev", d.rev},
                            {"sas_addresses", fill(p.sasAddresses, dv)},
                            {"inquiry", inquiry_text(sc, d)},
                            {"foreign", v.foreign ? "Foreign" : "None"},
                            {"device_speed", v.deviceSpeed.empty() ? p.speed : v.deviceSpeed},
                            {"link_speed", v.linkSpeed.empty() ? p.speed : v.linkSpeed},
                            {"temperature", v.vanished ? "N/A" : fmt("%dC (%.2f F)", celsius, celsius * 1.8 + 32)},
                            {"smart_alert", yes_no(v.smartAlert)}});
}

std::string virtual_drive_block(const Scenario& sc, unsigned ctrl, const ShownVirtualDrive& vd) {
    const VirtualDrive& def = vd.def;
    const std::string size = size_text(vd.blocks);
    std::string redundancy;
    if (def.level == 1 || def.level == 10)
        redundancy = fill(text::kMirror, {{"size", size}});
    else if (def.level != 0)
        redundancy = fill(text::kParity, {{"size", size_text(vd.redundancyBlocks)}});
    const char* write[] = {"WriteThrough", "WriteBack"};
    std::string block =
        fill(text::kVirtualDrive,
             {{"ld", num(def.id)},
              {"name", def.name.empty() ? "VD" + num(def.id) : def.name},
              {"raid_level", raid_level_text(def.level)},
              {"size", size},
              {"redundancy", redundancy},
              {"state", def.state},
              {"drives", fill(def.spans > 1 ? text::kDrivesPerSpan : text::kDrives, {{"drives", num(vd.drivesShown)}})},
              {"spans", num(def.spans)},
              {"cache", write[def.writeBack]},
              {"cache_now", write[def.writeBackNow]},
              {"bad_blocks", yes_no(def.badBlocks)}});
    if (sc.cli_text(ctrl, "size-mb")) {
        const std::string line = "Size                : " + size + "\n";
        block.replace(block.find(line), line.size(),
                      fmt("Size:%lluMB\n", static_cast<unsigned long long>(vd.blocks / 2048)));
    }
    return block;
}

// A member's block under its virtual drive; a drive pulled from its slot
// leaves the block empty.
std::string member_block(const Scenario& sc, const Device& d, const ShownConfig& config) {
    return d.view.listed ? drive_block(sc, d, config) : "";
}

// The members of one span of a virtual drive.
std::vector<const Device*> span_members(const ShownVirtualDrive& vd, unsigned span) {
    if (vd.def.spans <= 1) return vd.members;
    const size_t per = vd.members.size() / vd.def.spans;
    return {vd.members.begin() + span * per, vd.members.begin() + (span + 1) * per};
}

std::string sas_address(unsigned port) {
    return fmt("%016llx", static_cast<unsigned long long>(text::kSasAddress + port));
}

const AdapterView& adapter_of(const Scenario& sc, unsigned ctrl) {
    static const AdapterView none;
    auto cit = sc.controllers.find(ctrl);
    return cit == sc.controllers.end() ? none : cit->second.adapter;
}

const char* present(bool b) { return b ? "Present" : "Absent"; }

}  // namespace

std::string adpcount_head() { return "\n"; }

std::string with_variants(const Scenario& sc, unsigned ctrl, std::string text, const std::string& command_line) {
    auto asked = [&](const char* name) { return sc.cli_text(ctrl, name); };
    for (const CliTextVariant& v : cli_text_variant_table()) {
        if (!asked(v.name)) continue;
        for (const Replacement& r : v.replace) {
            if (!r.from) continue;
            const std::string from = r.from, to = r.to;
            for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
                text.replace(at, from.size(), to);
        }
    }
    const bool leading = !text.empty() && text[0] == '\n';
    if (leading && asked("no-lead-line")) text.erase(0, 1);
    if (leading && asked("lead-blanks")) text.replace(0, 1, std::string(37, ' ') + "\r\n");
    if (asked("exit-first")) text.insert(0, "Exit Code: 0x00\n");
    if (asked("echo-command")) text.insert(0, "[root@localhost ~]# " + command_line + "\n");
    if (asked("foreign-last")) text += "Controller Count: 1.\n";
    return text;
}
std::string exit_code_line() { return "\nExit Code: 0x00\n"; }

std::string fwtermlog(const Scenario& sc, unsigned ctrl) {
    const Values cv = controller_values(ctrl);
    std::string lines = fill(text::kTermLogBoot, cv);
    unsigned event = 3;
    for (const Device* d : sc.devices_of(ctrl)) {
        const char* type = d->kind == DeviceKind::Enclosure ? "SES" : (d->kind == DeviceKind::Sata ? "SATA" : "SAS");
        const Values dv = device_values(*d) +
                          Values{{"handle", fmt("%04x", 0x09 + d->id)}, {"type", type}, {"event", fmt("%05u", event)}};
        if (d->kind == DeviceKind::Silent) {
            lines += fill(text::kTermLogSilent, dv);
            continue;
        }
        lines += fill(text::kTermLogDevice, dv);
        ++event;
    }
    lines += fill(text::kTermLogSettled, {{"event", fmt("%05u", event)}, {"next_event", fmt("%05u", event + 1)}});

    // Each line under a time stamp, one to three seconds after the one before.
    std::string s = fill(text::kTermLogHead, cv);
    unsigned t = 0;
    for (size_t i = 0, end; (end = lines.find('\n', i)) != std::string::npos; i = end + 1) {
        s += fmt("06/06/24  9:%02u:%02u: ", t / 60 % 60, t % 60);
        s.append(lines, i, end + 1 - i);
        t += 1 + t % 3;
    }
    return s + exit_code_line();
}

// One disk group per virtual drive (the mirror of virtual drive 0 over every
// disk when the scenario declares none), each span with its drives.
std::string cfgdsply(const Scenario& sc, unsigned ctrl) {
    const ShownConfig config = shown_config(sc, ctrl);
    const std::vector<ShownVirtualDrive> groups =
        config.declared ? config.virtualDrives : std::vector<ShownVirtualDrive>{standing_mirror(config.disks, 0)};
    std::string text;
    for (unsigned g = 0; g < groups.size(); ++g) {
        const ShownVirtualDrive& vd = groups[g];
        std::string spans;
        for (unsigned span = 0; span < vd.def.spans; ++span) {
            std::string physical;
            unsigned pos = 0;
            const auto members = span_members(vd, span);
            for (const Device* d : members) {
                physical.append("Physical Disk: ").append(num(pos++)).append("\n");
                physical += member_block(sc, *d, config) + "\n";
            }
            spans += fill(text::kSpan, {{"span", num(span)},
                                        {"reference", fmt("%02x", span)},
                                        {"disks", num(members.size())},
                                        {"virtual_drive", virtual_drive_block(sc, ctrl, vd)},
                                        {"physical_disks", physical}});
        }
        text += fill(text::kDiskGroup, {{"group", num(g)}, {"spans", num(vd.def.spans)}, {"span_blocks", spans}});
    }
    const Values v = {
        {"bbu", present(adapter_of(sc, ctrl).bbu)}, {"groups", num(groups.size())}, {"disk_groups", text}};
    return fill(text::kConfiguration, controller_values(ctrl) + v) + exit_code_line();
}

std::string adpallinfo(const Scenario& sc, unsigned ctrl) {
    const ShownConfig config = shown_config(sc, ctrl);
    const AdapterView& a = adapter_of(sc, ctrl);
    const AdapterCounts n = adapter_counts(sc, ctrl, config);
    std::string ports;
    for (unsigned port = 0; port < kController.ports; ++port)
        ports += fill(text::kPortAddress, {{"port", num(port)}, {"address", sas_address(port)}});
    const Values v = {{"port_addresses", ports},
                      {"sas_address", sas_address(0)},
                      {"bbu", present(a.bbu)},
                      {"alarm", present(a.alarm)},
                      {"lds", num(config.virtualDrives.size())},
                      {"degraded", num(n.degraded)},
                      {"offline", num(n.offline)},
                      {"devices", num(config.disks.size() + 1)},
                      {"disks", num(config.disks.size())},
                      {"critical", num(n.critical)},
                      {"failed", num(n.failed)},
                      {"memory_correctable", num(a.memoryCorrectable)},
                      {"memory_uncorrectable", num(a.memoryUncorrectable)}};
    return fill(text::kControllerInfo, controller_values(ctrl) + v) + exit_code_line();
}

// The lines below are appended piece by piece: g++ 12 in Release warns
// (array-bounds, wrongly) on a literal + std::string with the older C++
// library headers the portable build uses.
std::string pdlist(const Scenario& sc, unsigned ctrl) {
    const ShownConfig config = shown_config(sc, ctrl);
    std::string s = std::string("\nAdapter #").append(num(ctrl)).append("\n\n");
    for (const Device* d : config.disks) s += drive_block(sc, *d, config) + "\n\n\n";
    return s + exit_code_line();
}

std::string ldinfo(const Scenario& sc, unsigned ctrl) {
    const ShownConfig config = shown_config(sc, ctrl);
    std::string s = std::string("\n\nAdapter ").append(num(ctrl)).append(" -- Virtual Drive Information:\n");
    for (const auto& vd : config.virtualDrives) s += virtual_drive_block(sc, ctrl, vd) + "\n\n";
    if (config.virtualDrives.empty()) s.append("Adapter ").append(num(ctrl)).append(": No Virtual Drive Configured.\n");
    return s + exit_code_line();
}

std::string ldpdinfo(const Scenario& sc, unsigned ctrl) {
    const ShownConfig config = shown_config(sc, ctrl);
    std::string s = std::string("\nAdapter #")
                        .append(num(ctrl))
                        .append("\n\nNumber of Virtual Disks: ")
                        .append(num(config.virtualDrives.size()))
                        .append("\n");
    for (const auto& vd : config.virtualDrives) {
        s += virtual_drive_block(sc, ctrl, vd);
        s.append("Number of Spans: ").append(num(vd.def.spans)).append("\n");
        unsigned pos = 0;
        for (unsigned span = 0; span < vd.def.spans; ++span) {
            const auto members = span_members(vd, span);
            s.append("Span: ").append(num(span)).append(" - Number of PDs: ").append(num(members.size())).append("\n");
            for (const Device* d : members) {
                s.append("\nPD: ").append(num(pos++)).append(" Information\n");
                s += member_block(sc, *d, config);
            }
        }
        s += "\n\n";
    }
    return s + exit_code_line();
}

}  // namespace sim::cli
