// The report as one self-contained web page: no network, no scripts, no
// external fonts, so that it opens from a USB stick on a service laptop and
// prints as it shows.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// Renders the JSON report document (the --json output) as an HTML page.
// Every string taken from the document is escaped; missing or mistyped
// fields show as blanks instead of failing.
std::string render_html(const nlohmann::json& report);
