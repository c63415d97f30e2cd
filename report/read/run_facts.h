// The run's own record: the fleet role writes run.json (the program's
// arguments, exit status, version, width and times) and console.txt (what
// it printed, colours stripped, with the numbers of the lines it showed in
// red) into the log directory beside the run's files.
#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

struct RunFacts {
    std::string program, version;
    std::optional<unsigned> width;
    std::vector<std::string> arguments;
    std::optional<int> exit_status;
    bool time_limit_exceeded = false;
    std::string start, end;              // as written (UTC, ISO 8601)
    std::optional<time_t> started;       // start, read
    std::vector<std::string> red_lines;  // the console's lines shown in red, as printed
};

// run.json read (with console.txt for the text of its red lines), or why it
// could not be: `error` is then set and nothing is returned.
std::optional<RunFacts> read_run_facts(std::string_view run_json, std::string_view console, std::string& error);

// "2026-12-09T04:49:52+00:00" (or with "Z") as seconds since the epoch.
std::optional<time_t> parse_utc(std::string_view text);

}  // namespace rpt
