// Filling the CLI's templates (templates.h): {name} fields from a list of
// values. Shared by the texts of logtext.cpp and events.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/scenario.h"

namespace sim::cli {

using Values = std::vector<std::pair<std::string_view, std::string>>;

Values operator+(Values a, const Values& b);

// The template with each {name} replaced by its value and each "{ }" by a
// blank. A field without a value is a mistake in the CLI's code and throws.
std::string fill(std::string_view tmpl, const Values& values);

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string num(uint64_t v);

// The controller model's fields, with the controller's index as {ctrl}.
Values controller_values(unsigned ctrl);
// The fields of a device that several texts show: {id}, {addr}, {vendor},
// {product}, {enclosure}, {enclosure_hex}, {slot}.
Values device_values(const Device& d);

}  // namespace sim::cli
