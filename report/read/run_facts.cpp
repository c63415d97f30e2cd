#include "run_facts.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "helpers.h"

namespace rpt {
namespace {

using nlohmann::json;

// The role writes a few hundred bytes; anything far larger is not its file.
constexpr size_t kMaxRunJson = 1 << 20;

std::string text_of(const json& j, const char* key) {
    auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::optional<time_t> parse_utc(std::string_view s) {
    unsigned v[6];
    const char seps[] = "--T::";
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t digits = i == 0 ? 4 : 2;
        if (at + digits > s.size()) return std::nullopt;
        v[i] = 0;
        for (size_t k = 0; k < digits; ++k) {
            const char c = s[at + k];
            if (c < '0' || c > '9') return std::nullopt;
            v[i] = v[i] * 10 + unsigned(c - '0');
        }
        at += digits;
        if (i < 5) {
            if (at >= s.size() || s[at] != seps[i]) return std::nullopt;
            ++at;
        }
    }
    const std::string_view zone = s.substr(at);
    if (zone != "Z" && zone != "+00:00") return std::nullopt;
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 60) return std::nullopt;
    struct tm t {};
    t.tm_year = int(v[0]) - 1900;
    t.tm_mon = int(v[1]) - 1;
    t.tm_mday = int(v[2]);
    t.tm_hour = int(v[3]);
    t.tm_min = int(v[4]);
    t.tm_sec = int(v[5]);
    return timegm(&t);
}

std::optional<RunFacts> read_run_facts(std::string_view run_json, std::string_view console, std::string& error) {
    if (run_json.size() > kMaxRunJson) {
        error = "run.json is larger than 1 MiB";
        return std::nullopt;
    }
    const json j = json::parse(run_json.begin(), run_json.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "run.json is not a JSON object";
        return std::nullopt;
    }
    RunFacts r;
    r.program = text_of(j, "program");
    r.version = text_of(j, "version");
    r.start = text_of(j, "start");
    r.end = text_of(j, "end");
    r.started = parse_utc(r.start);
    if (!r.start.empty() && !r.started) {
        error = "run.json's start is no UTC time: " + r.start;
        return std::nullopt;
    }
    if (auto it = j.find("width"); it != j.end() && it->is_number_unsigned()) r.width = it->get<unsigned>();
    if (auto it = j.find("exit_status"); it != j.end() && it->is_number_integer()) r.exit_status = it->get<int>();
    if (auto it = j.find("time_limit_exceeded"); it != j.end() && it->is_boolean()) r.time_limit_exceeded = *it;
    if (auto it = j.find("arguments"); it != j.end() && it->is_array())
        for (auto& a : *it)
            if (a.is_string()) r.arguments.push_back(a.get<std::string>());

    // The red lines by number (from 1); the console's text says what they were.
    std::vector<std::string_view> lines;
    for (size_t at = 0; at <= console.size();) {
        const size_t nl = std::min(console.find('\n', at), console.size());
        lines.push_back(console.substr(at, nl - at));
        at = nl + 1;
    }
    if (auto it = j.find("red_lines"); it != j.end() && it->is_array())
        for (auto& n : *it) {
            if (!n.is_number_unsigned()) continue;
            const uint64_t k = n.get<uint64_t>();
            if (k >= 1 && k <= lines.size()) {
                const std::string line = trim(lines[k - 1]);
                if (!line.empty()) r.red_lines.push_back(line);
            }
        }
    return r;
}

}  // namespace rpt
