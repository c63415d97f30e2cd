// The inputs of a report: log directories and .tar/.tar.gz archives of
// them. Each gives one host: its files with their contents and times.
#pragma once
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// The files of a log directory the report reads: the collector's error
// log, its drive logs ("MA" and the controller index and device id in two
// hexadecimal digits each: MA0003.log) and the controllers' logs
// (controller.h); and the run's record and console, written beside the
// run's files by the fleet role.
inline constexpr char kErrorLog[] = "logdperr.txt";
inline constexpr std::string_view kDriveLogPrefix = "MA";
inline constexpr char kRunJson[] = "run.json";
inline constexpr char kConsoleTxt[] = "console.txt";

// The drive log of a controller index and device id.
std::string drive_log_name(unsigned controller, unsigned device);
// The controller index and device id a drive log's name gives, or none.
std::optional<std::pair<unsigned, unsigned>> drive_log_place(const std::string& name);

// True for the files whose contents the report reads.
bool wanted(std::string_view name);

Host read_input(const std::string& path);

}  // namespace rpt
