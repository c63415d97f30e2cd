#include "cli_variants.h"

namespace sim {
namespace {

const std::vector<CliTextVariant> kVariants = {
    {"bare-states", "a drive's state without \", Spun Up\" (older firmware)", {{{", Spun Up", ""}}}},
    {"postion", "\"Drive's postion\", as older firmware spells it", {{{"Drive's position", "Drive's postion"}}}},
    {"virtual-disk",
     "\"Virtual Disk: N (target id: N)\" for \"Virtual Drive: N (Target Id: N)\"",
     {{{"Virtual Drive: ", "Virtual Disk: "}, {"(Target Id: ", "(target id: "}}}},
    {"secondary-0",
     "a spanned RAID level as \"Primary-N, Secondary-0\" (newer firmware)",
     {{{"Secondary-3", "Secondary-0"}}}},
    {"size-mb", "a virtual drive's size as \"Size:696960MB\"", {}},
    {"vd-cached", "\"Is VD Cached: Yes\"", {{{"Is VD Cached: No", "Is VD Cached: Yes"}}}},
    {"old-cfg",
     "the configuration's disk groups as \"DISK GROUPS: N\" with \"Virtual Disk Information:\"",
     {{{"DISK GROUP: ", "DISK GROUPS: "}, {"Virtual Drive Information:", "Virtual Disk Information:"}}}},
    {"tab-colon",
     "a tab before the colon (\"Device Id\\t: 5\", \"Controller Id\\t: 0000\")",
     {{{"Device Id: ", "Device Id\t: "}, {"Controller Id   : ", "Controller Id\t: "}}}},
    {"sata-serial-first", "a SATA drive's inquiry as serial, model and firmware", {}},
    {"echo-command", "the shell's echo of the command line as the first line", {}},
    {"exit-first", "a stray \"Exit Code: 0x00\" as the first line", {}},
    {"no-lead-line", "the leading empty line left out", {}},
    {"lead-blanks", "the leading line of 37 blanks and a carriage return", {}},
    {"foreign-last", "a last line of another command (\"Controller Count: 1.\")", {}},
};

}  // namespace

const std::vector<CliTextVariant>& cli_text_variant_table() { return kVariants; }

bool cli_text_variant(const std::string& name) {
    for (const auto& v : kVariants)
        if (name == v.name) return true;
    return false;
}

std::string cli_text_variants() {
    std::string all;
    for (const auto& v : kVariants) all += (all.empty() ? "" : ", ") + std::string(v.name);
    return all;
}

}  // namespace sim
