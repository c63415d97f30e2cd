// The report as one self-contained web page.
#pragma once
#include <string>

#include <nlohmann/json.hpp>

std::string render_html(const nlohmann::json& report);
