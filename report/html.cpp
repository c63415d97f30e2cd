// A plain page with the table of the disks.
#include "html.h"

namespace {

std::string escape(const std::string& s) {
    std::string o;
    for (char c : s) {
        switch (c) {
        case '&': o += "&amp;"; break;
        case '<': o += "&lt;"; break;
        case '>': o += "&gt;"; break;
        case '"': o += "&quot;"; break;
        default: o += c;
        }
    }
    return o;
}

}  // namespace

std::string render_html(const nlohmann::json& report) {
    std::string o = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>logdump-report</title></head><body>\n"
                    "<table>\n<tr><th>Host</th><th>File</th><th>Vendor</th><th>Product</th><th>Serial</th>"
                    "<th>Verdict</th></tr>\n";
    for (auto& d : report["disks"]) {
        o += "<tr>";
        for (const char* k : {"host", "file", "vendor", "product", "serial", "verdict"})
            o += "<td>" + escape(d[k].get<std::string>()) + "</td>";
        o += "</tr>\n";
    }
    return o + "</table>\n</body></html>\n";
}
