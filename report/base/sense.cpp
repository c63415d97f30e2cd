#include "sense.h"

#include <scsi/sg_lib.h>

#include <map>
#include <string_view>

namespace rpt {
namespace {

// One name per code, made on first use.
template <class Key, class Make>
const std::string& cached(std::map<Key, std::string>& names, const Key& key, Make make) {
    auto it = names.find(key);
    if (it == names.end()) it = names.emplace(key, make()).first;
    return it->second;
}

}  // namespace

const std::string& operation_name(uint8_t opcode) {
    static std::map<uint8_t, std::string> names;
    return cached(names, opcode, [&] {
        char b[80] = {};
        sg_get_opcode_name(opcode, 0 /* direct-access block device */, sizeof b, b);
        return std::string(b);
    });
}

const std::string& sense_key_name(uint8_t key) {
    static std::map<uint8_t, std::string> names;
    return cached(names, key, [&] {
        char b[80] = {};
        sg_get_sense_key_str(key, sizeof b, b);
        return std::string(b);
    });
}

const std::string& asc_sentence(uint8_t asc, uint8_t ascq) {
    static std::map<uint16_t, std::string> names;
    return cached(names, static_cast<uint16_t>(asc << 8 | ascq), [&] {
        char b[160] = {};
        sg_get_asc_ascq_str(asc, ascq, sizeof b, b);
        return std::string(b);
    });
}

const std::string& asc_name(uint8_t asc, uint8_t ascq) {
    static std::map<uint16_t, std::string> names;
    return cached(names, static_cast<uint16_t>(asc << 8 | ascq), [&] {
        std::string name = asc_sentence(asc, ascq);
        constexpr std::string_view kPrefix = "Additional sense: ";
        if (name.starts_with(kPrefix)) name.erase(0, kPrefix.size());
        return name;
    });
}

}  // namespace rpt
