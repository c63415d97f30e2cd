// What the tests look up in a report: a disk by its serial number or file,
// and an error-log record's detail as the report's JSON document writes it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "json.h"
#include "report.h"

namespace rpt {

// The first disk find_disks gives, or null.
inline const Disk* find_disk(const Report& r, const std::string& key) {
    const auto all = find_disks(r, key);
    return all.empty() ? nullptr : all.front();
}

// The "decoded" object of a report that holds this one record.
inline nlohmann::json decoded_json(const RecordDetail& detail) {
    Report r;
    ErrRecord e;
    e.detail = detail;
    r.collections.emplace_back().errors.push_back(e);
    char* buffer = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&buffer, &size);
    write_json(r, f);
    fclose(f);
    const std::string text(buffer, size);
    free(buffer);
    return nlohmann::json::parse(text)["errors"][0]["decoded"];
}

}  // namespace rpt
