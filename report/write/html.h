// The report as one self-contained web page: no network, no scripts, no
// external fonts, so that it opens from a USB stick on a service laptop and
// prints as it shows.
#pragma once

#include <string>

#include "model.h"

namespace rpt {

// Every string taken from the inputs is escaped.
std::string render_html(const Report& report);

}  // namespace rpt
