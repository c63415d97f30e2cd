// libFuzzer target: any bytes as a drive database. The first line, less a
// leading "// " (so that a seed can be a valid file), is a model too: it is
// looked up, every attribute entry made of its bytes is
// decoded by the formats found, and each entry's expression must answer
// as glibc does without the first-byte filter in front of it.
#include <regex.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "drivedb.h"
#include "finding.h"
#include "helpers.h"

namespace {

bool glibc_matches(const std::string& expression, const std::string& s) {
    regex_t r;
    if (regcomp(&r, ("^(" + expression + ")$").c_str(), REG_EXTENDED | REG_NOSUB) != 0) std::abort();
    const bool m = regexec(&r, s.c_str(), 0, nullptr, 0) == 0;
    regfree(&r);
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view first = text.substr(0, text.find('\n'));
    if (first.starts_with("// ")) first.remove_prefix(3);
    const std::string model(first);
    const rpt::DriveDb db = rpt::parse_drivedb(text, "fuzz");
    const rpt::DriveSettings& s = db.lookup(model, model);
    std::array<uint8_t, 12> entry{};
    for (size_t i = 0; i < entry.size() && i < size; ++i) entry[i] = data[i];
    for (size_t id = 1; id < s.attributes.size(); ++id) (void)rpt::decode_attribute(entry, s.attributes[id]);
    const std::string trimmed = rpt::trim(model);
    if (trimmed.find('\0') != std::string::npos) return 0;
    for (size_t i = 0; i < db.entries.size() && i < 32; ++i) {
        const rpt::DriveEntry& e = db.entries[i];
        if (e.model_re->matches(trimmed) != glibc_matches(e.model, trimmed)) std::abort();
    }
    return 0;
}
