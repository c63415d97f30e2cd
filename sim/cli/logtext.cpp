// The text that the simulated RAID CLI prints for each of its commands: the
// templates of templates.h, filled with the fields of the controller model
// and of the scenario's devices.
#include "logtext.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "common/controller_model.h"
#include "templates.h"

namespace sim::cli {

namespace {

using Values = std::vector<std::pair<std::string_view, std::string>>;

Values operator+(Values a, const Values& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The template with each {name} replaced by its value and each "{ }" by a
// blank. A field without a value is a mistake in this file and throws.
std::string fill(std::string_view tmpl, const Values& values) {
    std::string out;
    out.reserve(tmpl.size() + 256);
    size_t i = 0;
    for (size_t open; (open = tmpl.find('{', i)) != std::string_view::npos;) {
        size_t close = tmpl.find('}', open);
        if (close == std::string_view::npos) throw std::logic_error("template field without its '}'");
        out.append(tmpl, i, open - i);
        i = close + 1;
        std::string_view name = tmpl.substr(open + 1, close - open - 1);
        if (name == " ") {
            out += ' ';
            continue;
        }
        auto v = std::find_if(values.begin(), values.end(), [&](const auto& p) { return p.first == name; });
        if (v == values.end()) throw std::logic_error("template field {" + std::string(name) + "} has no value");
        out += v->second;
    }
    out.append(tmpl, i);
    return out;
}

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

std::string num(uint64_t v) { return std::to_string(v); }

// The controller model's fields, with the controller's index as {ctrl}.
Values controller_values(unsigned ctrl) {
    const ControllerModel& m = kController;
    return {{"ctrl", num(ctrl)},
            {"product", m.product},
            {"serial", controller_serial(ctrl)},
            {"firmware", m.firmware},
            {"package", m.package},
            {"pci_vendor", fmt("%04x", m.pciVendor)},
            {"pci_device", fmt("%04x", m.pciDevice)},
            {"sub_vendor", fmt("%04x", m.subVendor)},
            {"sub_device", fmt("%04x", m.subDevice)},
            {"memory", num(m.memoryMiB)},
            {"ports", num(m.ports)}};
}

// The fields of a device that several texts show.
Values device_values(const Device& d) {
    return {{"id", num(d.id)},
            {"addr", fmt("%02x%04x", d.ctrl & 0xFF, d.id)},
            {"vendor", d.vendor},
            {"product", d.product}};
}

// Disks in the drive list: every device that answers as a block device.
std::vector<const Device*> disks(const Scenario& sc, unsigned ctrl) {
    std::vector<const Device*> out;
    for (const Device* d : sc.devices_of(ctrl))
        if (d->kind != DeviceKind::Silent && d->ptype == 0) out.push_back(d);
    return out;
}

unsigned logical_drives(const Scenario& sc, unsigned ctrl) {
    auto cit = sc.controllers.find(ctrl);
    return cit == sc.controllers.end() ? 0 : cit->second.logicalDrives;
}

std::string size_text(uint64_t blocks) {
    double gb = static_cast<double>(blocks) * 512.0 / (1024.0 * 1024.0 * 1024.0);
    if (gb >= 1024.0) return fmt("%.3f TB [0x%llx Sectors]", gb / 1024.0, static_cast<unsigned long long>(blocks));
    return fmt("%.3f GB [0x%llx Sectors]", gb, static_cast<unsigned long long>(blocks));
}

std::string inquiry_text(const Device& d) {
    char buf[64];
    snprintf(buf, sizeof buf, "%-8.8s%-16.16s%-4.4s%s", d.vendor.c_str(), d.product.c_str(), d.rev.c_str(),
             d.serial.c_str());
    return buf;
}

std::string drive_block(const Device& d, unsigned position) {
    const text::Protocol& p = d.kind == DeviceKind::Sata ? text::kSata : text::kSas;
    const unsigned celsius = 30 + d.id % 8;
    const uint64_t non_coerced = d.blocks > 0x100000 ? d.blocks - 0x100000 : d.blocks;
    const Values dv = device_values(d);
    return fill(text::kDrive, dv + Values{{"position", num(position)},
                                          {"wwn", fmt("%02X%04X", d.ctrl & 0xFF, d.id)},
                                          {"sequence", num(2 + d.id)},
                                          {"type", p.type},
                                          {"raw_size", size_text(d.blocks)},
                                          {"non_coerced_size", size_text(non_coerced)},
                                          {"coerced_size", size_text(d.blocks & ~0x7FFULL)},
                                          {"rev", d.rev},
                                          {"sas_addresses", fill(p.sasAddresses, dv)},
                                          {"inquiry", inquiry_text(d)},
                                          {"speed", p.speed},
                                          {"temperature", fmt("%uC (%.2f F)", celsius, celsius * 1.8 + 32)}});
}

// A mirror of the first two disks (fewer when there are fewer).
std::string virtual_drive_block(const Scenario& sc, unsigned ctrl, unsigned ld) {
    auto ds = disks(sc, ctrl);
    return fill(text::kVirtualDrive, {{"ld", num(ld)},
                                      {"size", size_text(ds.empty() ? 0 : ds.front()->blocks)},
                                      {"drives", num(std::min<size_t>(ds.size(), 2))}});
}

std::string sas_address(unsigned port) {
    return fmt("%016llx", static_cast<unsigned long long>(text::kSasAddress + port));
}

}  // namespace

std::string adpcount_head() { return "\n"; }
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

std::string cfgdsply(const Scenario& sc, unsigned ctrl) {
    auto ds = disks(sc, ctrl);
    std::string physical;
    unsigned pos = 0;
    for (const Device* d : ds) {
        physical.append("Physical Disk: ").append(num(pos)).append("\n");
        physical += drive_block(*d, pos++) + "\n";
    }
    const Values v = {
        {"disks", num(ds.size())}, {"virtual_drive", virtual_drive_block(sc, ctrl, 0)}, {"physical_disks", physical}};
    return fill(text::kConfiguration, controller_values(ctrl) + v) + exit_code_line();
}

std::string adpallinfo(const Scenario& sc, unsigned ctrl) {
    auto ds = disks(sc, ctrl);
    std::string ports;
    for (unsigned port = 0; port < kController.ports; ++port)
        ports += fill(text::kPortAddress, {{"port", num(port)}, {"address", sas_address(port)}});
    const Values v = {{"port_addresses", ports},
                      {"sas_address", sas_address(0)},
                      {"lds", num(logical_drives(sc, ctrl))},
                      {"devices", num(ds.size() + 1)},
                      {"disks", num(ds.size())}};
    return fill(text::kControllerInfo, controller_values(ctrl) + v) + exit_code_line();
}

// The lines below are appended piece by piece: g++ 12 in Release warns
// (array-bounds, wrongly) on a literal + std::string with the older C++
// library headers the portable build uses.
std::string pdlist(const Scenario& sc, unsigned ctrl) {
    std::string s = std::string("\nAdapter #").append(num(ctrl)).append("\n\n");
    unsigned pos = 0;
    for (const Device* d : disks(sc, ctrl)) s += drive_block(*d, pos++) + "\n\n\n";
    return s + exit_code_line();
}

std::string ldinfo(const Scenario& sc, unsigned ctrl) {
    const unsigned lds = logical_drives(sc, ctrl);
    std::string s = std::string("\n\nAdapter ").append(num(ctrl)).append(" -- Virtual Drive Information:\n");
    for (unsigned ld = 0; ld < lds; ++ld) s += virtual_drive_block(sc, ctrl, ld) + "\n\n";
    if (lds == 0) s.append("Adapter ").append(num(ctrl)).append(": No Virtual Drive Configured.\n");
    return s + exit_code_line();
}

std::string ldpdinfo(const Scenario& sc, unsigned ctrl) {
    const unsigned lds = logical_drives(sc, ctrl);
    auto ds = disks(sc, ctrl);
    std::string s = std::string("\nAdapter #")
                        .append(num(ctrl))
                        .append("\n\nNumber of Virtual Disks: ")
                        .append(num(lds))
                        .append("\n");
    for (unsigned ld = 0; ld < lds; ++ld) {
        s += virtual_drive_block(sc, ctrl, ld);
        s.append("Number of Spans: 1\nSpan: 0 - Number of PDs: ").append(num(ds.size())).append("\n");
        unsigned pos = 0;
        for (const Device* d : ds) {
            s.append("\nPD: ").append(num(pos)).append(" Information\n");
            s += drive_block(*d, pos++);
        }
        s += "\n\n";
    }
    return s + exit_code_line();
}

std::string eventlog(const Scenario& sc, unsigned ctrl) {
    std::string s;
    unsigned sequence = 0x1A20;
    unsigned seconds = 0;  // after 09:00:00; seven between events
    auto record = [&](const text::Event& e, const Values& v) {
        s += fill(text::kEventRecord, {{"sequence", fmt("%08x", sequence++)},
                                       {"minute", fmt("%02u", seconds / 60)},
                                       {"second", fmt("%02u", seconds % 60)},
                                       {"code", fmt("%08x", e.code)},
                                       {"class", num(e.cls)},
                                       {"locale", e.locale},
                                       {"text", fill(e.text, v)},
                                       {"data", fill(e.data, v)}});
        seconds += 7;
    };
    const Values cv = controller_values(ctrl);
    for (const auto& e : text::kBootEvents) record(e, cv);
    for (const Device* d : sc.devices_of(ctrl)) {
        const Values dv = device_values(*d) + Values{{"what", d->kind == DeviceKind::Enclosure ? "Enclosure" : "PD"}};
        if (d->kind == DeviceKind::Silent) {
            record(text::kRemovedEvent, dv);
            continue;
        }
        record(text::kInsertedEvent, dv);
        if (d->ptype == 0) record(text::kDiskInfoEvent, dv);
    }
    for (const auto& e : text::kSettledEvents) record(e, cv);
    return s;
}

}  // namespace sim::cli
