// The inputs of a report: log directories and .tar/.tar.gz archives of
// them. Each gives one host: its files with their contents and times.
#pragma once
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

struct InputFile {
    std::string name;       // file name without directories
    std::string_view data;  // contents (kept alive by the host)
    time_t mtime = 0;
    bool loaded = false;  // contents read (drive logs, the error log, the run's record, controller logs)
};

struct Host {
    std::string host;                         // directory or archive name, without .tar.gz
    std::string source;                       // the path given on the command line
    std::vector<InputFile> files;             // sorted by name
    std::string error;                        // why the input could not be read; empty when it could
    std::vector<std::shared_ptr<void>> keep;  // mappings and buffers behind `data`
};

// The run's record and console, written beside the run's files by the fleet role.
inline constexpr char kRunJson[] = "run.json";
inline constexpr char kConsoleTxt[] = "console.txt";

// True for the files whose contents the report reads.
bool wanted(std::string_view name);

Host read_input(const std::string& path);

}  // namespace rpt
