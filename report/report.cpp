#include "report.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "drivelog.h"
#include "errlog.h"
#include "health.h"
#include "pages.h"

namespace rpt {
namespace {

using json = nlohmann::json;

std::string trim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return std::string(s);
}

json finding_json(const Finding& f) { return {{"severity", severity_name(f.severity)}, {"code", f.code}, {"text", f.text}}; }

json opt(const std::optional<int64_t>& v) { return v ? json(*v) : json(nullptr); }

json fields_json(const FieldValues& fv) {
    json o = json::object();
    for (auto& [k, v] : fv) o[k] = v;
    return o;
}

json page_json(const PageBlock& block, const Page& p) {
    json params = json::array();
    for (auto& x : p.params) {
        json j = {{"code", x.code}, {"name", x.name}, {"value", x.value ? json(*x.value) : json(nullptr)},
                  {"raw", hex_bytes(x.raw.data(), x.raw.size())}, {"control", x.control}};
        if (!x.fields.empty()) j["fields"] = fields_json(x.fields);
        if (!x.phys.empty()) {
            j["phys"] = json::array();
            for (auto& ph : x.phys) j["phys"].push_back(fields_json(ph));
        }
        if (!x.text.empty()) j["text"] = x.text;
        params.push_back(std::move(j));
    }
    json j = {{"page", p.page}, {"subpage", p.subpage}, {"name", p.name}, {"parameters", params},
              {"listed_as", block.tag}, {"bytes", block.bytes.size()}, {"trusted", !block.damaged}};
    if (block.bytes.empty()) j["name"] = page_name(static_cast<uint8_t>(std::stoul(block.tag, nullptr, 16) & 0x3f), 0);
    if (block.bytes.empty()) j["page"] = std::stoul(block.tag, nullptr, 16) & 0x3f;
    return j;
}

json disk_json(const std::string& host, const InputFile& f) {
    DriveLog log = read_drive_log(f.data);
    std::vector<Page> pages;
    for (auto& b : log.pages) pages.push_back(decode_page(b.bytes));
    Health h = assess(log, pages);

    json d;
    d["host"] = host;
    d["file"] = f.name;
    unsigned c = 0, dev = 0;
    if (f.name.size() == 10 && sscanf(f.name.c_str(), "MA%2x%2x.log", &c, &dev) == 2) {
        d["controller"] = c;
        d["device"] = dev;
    } else {
        d["controller"] = nullptr;
        d["device"] = nullptr;
    }
    std::string_view code = log.device_code;
    auto part = [&](size_t at, size_t n) { return at < code.size() ? trim(code.substr(at, n)) : std::string(); };
    d["vendor"] = part(0, 8);
    d["product"] = part(8, 16);
    d["revision"] = part(24, 4);
    d["serial"] = trim(log.serial);
    d["verdict"] = nullptr;  // set once the error log's findings are in
    d["temperature"] = opt(h.temperature);
    d["reference_temperature"] = opt(h.reference_temperature);
    d["power_on_hours"] = opt(h.power_on_hours);
    json counters = json::object();
    for (size_t i = 0; i < kCounters; ++i)
        counters[kCounterKeys[i]] = h.counters[i] ? json(*h.counters[i]) : json(nullptr);
    d["counters"] = counters;
    d["findings"] = json::array();
    for (auto& x : h.findings) d["findings"].push_back(finding_json(x));
    d["pages"] = json::array();
    for (size_t i = 0; i < pages.size(); ++i) d["pages"].push_back(page_json(log.pages[i], pages[i]));
    d["sections"] = json::array();
    for (auto& s : log.sections)
        d["sections"].push_back({{"name", s.name}, {"type", s.type}, {"length", s.length}, {"present", s.present}});
    return d;
}

Severity severity_of(const std::string& s) {
    return s == "FAIL" ? Severity::Fail : s == "WARN" ? Severity::Warn : Severity::Info;
}

Severity worst_json(const json& findings) {
    Severity s = Severity::Info;
    for (auto& f : findings) s = std::max(s, severity_of(f["severity"].get<std::string>()));
    return s;
}

void add_host(json& report, const Host& h, int& status) {
    json hj = {{"host", h.host}, {"source", h.source}, {"findings", json::array()}};
    auto host_finding = [&](Severity s, std::string code, std::string text) {
        hj["findings"].push_back(finding_json({s, std::move(code), std::move(text)}));
    };
    if (!h.error.empty()) {
        host_finding(Severity::Fail, "unreadable", h.error);
        status = kUnreadable;
    }

    const InputFile* errlog = nullptr;
    for (auto& f : h.files)
        if (f.name == "logdperr.txt") errlog = &f;
    std::vector<ErrRecord> records;
    if (errlog && errlog->loaded) records = read_error_log(errlog->data);
    if (!errlog)
        host_finding(Severity::Info, "no-error-log",
                     "no error log: the run was started with arguments, or this is not a whole log directory");

    // Files older than the error log were left by an earlier run.
    std::map<std::string, bool> stale;
    if (errlog) {
        const time_t limit = errlog->mtime - (records.empty() ? 0 : kStaleSlackSeconds);
        for (auto& f : h.files)
            if (&f != errlog && f.mtime < limit) {
                stale[f.name] = true;
                if (!f.name.starts_with("MA"))
                    host_finding(Severity::Warn, "stale-file", f.name + " is older than the error log: left from an earlier run");
            }
    }

    if (!errlog && std::none_of(h.files.begin(), h.files.end(), [](auto& f) { return f.loaded; }) && h.error.empty())
        host_finding(Severity::Warn, "empty-input", "neither drive logs nor an error log: not a log directory");

    std::map<std::string, json*> by_file;
    const size_t first = report["disks"].size();
    for (auto& f : h.files)
        if (f.loaded && f.name != "logdperr.txt") report["disks"].push_back(disk_json(h.host, f));
    for (size_t i = first; i < report["disks"].size(); ++i) {
        json& d = report["disks"][i];
        by_file[d["file"].get<std::string>()] = &d;
        if (stale.count(d["file"].get<std::string>()))
            d["findings"].push_back(finding_json(
                {Severity::Warn, "stale-file", "the drive log is older than the error log: left from an earlier run"}));
    }

    for (auto& r : records) {
        json e = {{"host", h.host}, {"kind", r.kind}, {"text", r.text}, {"decoded", r.decoded}};
        if (!r.disk.empty()) e["file"] = r.disk;
        report["errors"].push_back(e);
        if (r.disk_finding) {
            auto it = by_file.find(r.disk);
            if (it != by_file.end())
                it->second->at("findings").push_back(finding_json(*r.disk_finding));
            else if (r.disk_finding->severity != Severity::Info)
                host_finding(r.disk_finding->severity, r.disk_finding->code, r.disk + ": " + r.disk_finding->text);
        } else if (r.kind == "unrecognised") {
            host_finding(Severity::Info, "errlog-unrecognised", "error log record not recognised: " + r.text);
        } else if (r.disk.empty()) {
            host_finding(Severity::Warn, "errlog-" + r.kind, "the collection failed: " + trim(r.text));
        }
    }

    for (size_t i = first; i < report["disks"].size(); ++i) {
        json& d = report["disks"][i];
        d["verdict"] = verdict_name(worst_json(d["findings"]));
    }
    report["hosts"].push_back(std::move(hj));
}

std::string pad(std::string s, size_t w) {
    if (s.size() < w) s.append(w - s.size(), ' ');
    return s;
}

std::string num_or_dash(const json& v, const char* unit = "") {
    return v.is_number() ? std::to_string(v.get<int64_t>()) + unit : "-";
}

std::string format_table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> w;
    for (auto& r : rows)
        for (size_t i = 0; i < r.size(); ++i) {
            if (w.size() <= i) w.push_back(0);
            w[i] = std::max(w[i], r[i].size());
        }
    std::string out;
    for (auto& r : rows) {
        std::string line;
        for (size_t i = 0; i < r.size(); ++i) line += (i ? "  " : "") + (i + 1 < r.size() ? pad(r[i], w[i]) : r[i]);
        out += line + "\n";
    }
    return out;
}

std::string decoded_line(const json& d) {
    if (!d.is_object()) return "";
    if (d.contains("summary")) return d["summary"].get<std::string>();
    std::string s;
    for (auto& [k, v] : d.items()) {
        if (!s.empty()) s += ", ";
        s += k + " " + (v.is_string() ? v.get<std::string>() : v.dump());
    }
    return s;
}

}  // namespace

json build_report(const std::vector<Host>& hosts) {
    json r = {{"tool", "logdump-report"}, {"hosts", json::array()}, {"disks", json::array()}, {"errors", json::array()}};
    int status = kAllOk;
    for (auto& h : hosts) add_host(r, h, status);
    size_t ok = 0, warn = 0, fail = 0;
    Severity all = Severity::Info;
    for (auto& d : r["disks"]) {
        const std::string v = d["verdict"];
        ok += v == "OK";
        warn += v == "WARN";
        fail += v == "FAIL";
        all = std::max(all, severity_of(v));
    }
    for (auto& h : r["hosts"])
        for (auto& f : h["findings"])
            if (f["code"] != "unreadable") all = std::max(all, severity_of(f["severity"].get<std::string>()));
    r["summary"] = {{"disks", r["disks"].size()}, {"ok", ok}, {"warn", warn}, {"fail", fail}};
    if (status != kUnreadable) status = all == Severity::Fail ? kAnyFail : all == Severity::Warn ? kAnyWarn : kAllOk;
    r["exit_status"] = status;
    return r;
}

std::string render_text(const json& r) {
    const bool many = r["hosts"].size() > 1;
    std::string out;
    char b[160];
    snprintf(b, sizeof b, "logdump-report: %zu disk(s): %zu OK, %zu WARN, %zu FAIL\n\n",
             r["summary"]["disks"].get<size_t>(), r["summary"]["ok"].get<size_t>(),
             r["summary"]["warn"].get<size_t>(), r["summary"]["fail"].get<size_t>());
    out += b;
    std::vector<std::vector<std::string>> rows;
    auto row = [&](std::vector<std::string> cells, const std::string& host) {
        if (many) cells.insert(cells.begin(), host);
        rows.push_back(std::move(cells));
    };
    row({"FILE", "VENDOR", "PRODUCT", "SERIAL", "REV", "TEMP", "HOURS", "VERDICT"}, "HOST");
    for (auto& d : r["disks"])
        row({d["file"], d["vendor"], d["product"], d["serial"], d["revision"], num_or_dash(d["temperature"], " C"),
             num_or_dash(d["power_on_hours"]), d["verdict"]},
            d["host"]);
    out += format_table(rows);

    std::string findings;
    for (auto& h : r["hosts"])
        for (auto& f : h["findings"])
            findings += "  " + h["host"].get<std::string>() + ": " + f["severity"].get<std::string>() + " " +
                        f["code"].get<std::string>() + ": " + f["text"].get<std::string>() + "\n";
    for (auto& d : r["disks"])
        for (auto& f : d["findings"])
            findings += "  " + (many ? d["host"].get<std::string>() + "/" : "") + d["file"].get<std::string>() + ": " +
                        f["severity"].get<std::string>() + " " + f["code"].get<std::string>() + ": " +
                        f["text"].get<std::string>() + "\n";
    out += "\nFindings:\n" + (findings.empty() ? "  none\n" : findings);

    out += "\nError log:\n";
    if (r["errors"].empty()) out += "  no records\n";
    for (auto& e : r["errors"]) {
        out += "  " + (many ? e["host"].get<std::string>() + ": " : "") + e["kind"].get<std::string>() + ": " +
               e["text"].get<std::string>() + "\n";
        if (auto s = decoded_line(e["decoded"]); !s.empty() && e["kind"] != "cli_failure") out += "      " + s + "\n";
    }
    return out;
}

const json* find_disk(const json& r, const std::string& key) {
    for (auto& d : r["disks"]) {
        const std::string file = d["file"], host = d["host"];
        if (key == d["serial"] || key == file || key == host + "/" + file) return &d;
    }
    return nullptr;
}

std::string render_disk(const json& d) {
    std::string out = d["host"].get<std::string>() + "/" + d["file"].get<std::string>() + ": " +
                      d["vendor"].get<std::string>() + " " + d["product"].get<std::string>() + " rev " +
                      d["revision"].get<std::string>() + ", serial " + d["serial"].get<std::string>() +
                      ", verdict " + d["verdict"].get<std::string>() + "\n";
    out += "  temperature " + num_or_dash(d["temperature"], " C") + ", reference " +
           num_or_dash(d["reference_temperature"], " C") + ", power-on hours " + num_or_dash(d["power_on_hours"]) +
           "\n";
    for (auto& f : d["findings"])
        out += "  " + f["severity"].get<std::string>() + " " + f["code"].get<std::string>() + ": " +
               f["text"].get<std::string>() + "\n";
    char b[160];
    for (auto& p : d["pages"]) {
        snprintf(b, sizeof b, "\nPage %02x", p["page"].get<unsigned>());
        out += b;
        if (p["subpage"].get<unsigned>()) {
            snprintf(b, sizeof b, ",%02x", p["subpage"].get<unsigned>());
            out += b;
        }
        out += " " + p["name"].get<std::string>() + (p["trusted"].get<bool>() ? "" : " (not trusted)") + "\n";
        for (auto& x : p["parameters"]) {
            snprintf(b, sizeof b, "  %04x %02x ", x["code"].get<unsigned>(), x["control"].get<unsigned>());
            out += b + x["name"].get<std::string>();
            if (x["value"].is_number()) out += " = " + x["value"].dump();
            if (x.contains("text")) out += " = \"" + x["text"].get<std::string>() + "\"";
            out += x["raw"].get<std::string>().empty() ? "\n" : "  [" + x["raw"].get<std::string>() + "]\n";
            if (x.contains("fields"))
                for (auto& [k, v] : x["fields"].items()) out += "        " + k + " = " + v.dump() + "\n";
            if (x.contains("phys"))
                for (auto& ph : x["phys"]) {
                    out += "        phy:";
                    for (auto& [k, v] : ph.items()) out += " " + k + "=" + v.dump();
                    out += "\n";
                }
        }
    }
    if (!d["sections"].empty()) out += "\nInternal log sections:\n";
    for (auto& s : d["sections"])
        out += "  " + s["name"].get<std::string>() + " (type " + s["type"].dump() + "): " + s["length"].dump() +
               " bytes, " + s["present"].dump() + " present\n";
    return out;
}

}  // namespace rpt
