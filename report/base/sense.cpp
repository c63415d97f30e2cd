#include "sense.h"

#include <scsi/sg_lib.h>

#include <map>
#include <mutex>
#include <string_view>

namespace rpt {
namespace {

// One name per code, made on first use. The controller logs are read on
// several threads: the name is made outside the lock (asc_name's asks for
// asc_sentence's), and a name once in the map stays where it is.
std::mutex names_lock;

template <class Key, class Make>
const std::string& cached(std::map<Key, std::string>& names, const Key& key, Make make) {
    {
        std::lock_guard<std::mutex> hold(names_lock);
        if (auto it = names.find(key); it != names.end()) return it->second;
    }
    std::string name = make();
    std::lock_guard<std::mutex> hold(names_lock);
    return names.emplace(key, std::move(name)).first->second;
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
