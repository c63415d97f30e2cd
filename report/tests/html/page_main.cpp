// html_page REPORT.json > page.html: the web page of a saved JSON report.
#include <fstream>
#include <iostream>

#include "html.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: html_page REPORT.json\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
    if (j.is_discarded()) {
        std::cerr << "html_page: " << argv[1] << " is not JSON\n";
        return 2;
    }
    std::cout << render_html(j);
    return 0;
}
