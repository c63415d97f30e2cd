// logdump-report: reads log directories (or .tar/.tar.gz archives of them)
// written by logdump and says, disk by disk, what is wrong.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "html.h"
#include "input.h"
#include "report.h"

int main(int argc, char** argv) {
    CLI::App app{"logdump-report: per-disk health from logdump's log directories"};
    std::vector<std::string> inputs;
    bool as_json = false;
    std::string html, disk;
    app.add_option("inputs", inputs, "log directories or .tar/.tar.gz archives of them")->required();
    app.add_flag("--json", as_json, "print the report as one JSON document");
    app.add_option("--html", html, "also write the report as a web page to FILE");
    app.add_option("--disk", disk, "print the full decode of one disk (serial number or drive log file name)");
    // The release of the collector it belongs to (its title's version).
    app.set_version_flag("--version", "logdump-report Ver01-10-00");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : rpt::kUnreadable;
    }

    std::vector<rpt::Host> hosts;
    for (auto& in : inputs) {
        hosts.push_back(rpt::read_input(in));
        if (!hosts.back().error.empty()) std::cerr << "logdump-report: " << hosts.back().error << "\n";
    }
    const nlohmann::json report = rpt::build_report(hosts);
    int status = report["exit_status"].get<int>();

    if (!html.empty()) {
        std::ofstream f(html, std::ios::binary);
        f << render_html(report);
        f.close();
        if (!f) {
            std::cerr << "logdump-report: cannot write " << html << "\n";
            status = rpt::kUnreadable;
        }
    }
    if (!disk.empty()) {
        const nlohmann::json* d = rpt::find_disk(report, disk);
        if (!d) {
            std::cerr << "logdump-report: no disk " << disk << " in the report\n";
            return rpt::kUnreadable;
        }
        if (as_json)
            std::cout << d->dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        else
            std::cout << rpt::render_disk(*d);
        return status;
    }
    if (as_json)
        std::cout << report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    else
        std::cout << rpt::render_text(report);
    return status;
}
