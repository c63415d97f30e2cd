#include "fill.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "common/controller_model.h"
#include "config.h"

namespace sim::cli {

Values operator+(Values a, const Values& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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

std::string fmt(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

std::string num(uint64_t v) { return std::to_string(v); }

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

Values device_values(const Device& d) {
    return {{"id", num(d.id)},
            {"addr", fmt("%02x%04x", d.ctrl & 0xFF, d.id)},
            {"vendor", d.vendor},
            {"product", d.product},
            {"enclosure", num(enclosure_of(d))},
            {"enclosure_hex", fmt("%02x", enclosure_of(d))},
            {"slot", num(slot_of(d))}};
}

}  // namespace sim::cli
