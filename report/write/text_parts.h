// What the text's two parts share: its table layout and the controllers'
// view (text_controller.cpp).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model.h"

namespace rpt {

std::string pad(std::string s, size_t w);

// Rows as columns aligned to their widest cell, each line after `indent`; a
// row's last cell is not padded and does not widen its column.
std::string format_table(const std::vector<std::vector<std::string>>& rows, const std::string& indent);

// The "Controllers" section: per controller its adapter, its virtual drives
// with their members, and the drives in none. "" when no collection has
// controller logs.
std::string controllers_text(const Report& report);

// A disk's controller view and its events, for --disk; "" for none.
std::string controller_view_text(const Disk& disk);

}  // namespace rpt
