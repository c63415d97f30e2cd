// logdump-report: reads log directories (or .tar/.tar.gz archives of them)
// written by logdump and says, disk by disk, what is wrong.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "drive_stats.h"
#include "drivedb.h"
#include "html.h"
#include "input.h"
#include "json.h"
#include "metrics.h"
#include "report.h"
#include "risk_check.h"
#include "text.h"

int main(int argc, char** argv) {
    CLI::App app{"logdump-report: per-disk health from logdump's log directories"};
    std::vector<std::string> inputs;
    bool as_json = false;
    std::string html, disk, metrics, drivedb, risk_check, drive_stats;
    auto* positional = app.add_option("inputs", inputs, "log directories or .tar/.tar.gz archives of them");
    app.add_flag("--json", as_json, "print the report as one JSON document");
    app.add_option("--html", html, "also write the report as a web page to FILE");
    app.add_option("--metrics", metrics, "also write the report as metrics for Prometheus to FILE (atomically)");
    app.add_option("--drive-stats", drive_stats,
                   "also write every disk of every collection as a row of the public drive-stats layout to FILE "
                   "(CSV, atomically)");
    app.add_option("--disk", disk, "print the full decode of one disk (serial number or drive log file name)");
    app.add_option("--drivedb", drivedb,
                   "read SATA drives' attributes by this drive database (smartmontools' drivedb.h format); "
                   "default: the newer of /usr/share/smartmontools/drivedb.h and "
                   "/var/lib/smartmontools/drivedb/drivedb.h");
    app.add_option("--risk-check", risk_check,
                   "hold the risk bands against a CSV file of the public drive-stats layout (plain or gzip) "
                   "instead of reading log directories")
        ->excludes(positional)
        ->excludes("--html")
        ->excludes("--metrics")
        ->excludes("--drive-stats")
        ->excludes("--disk")
        ->excludes("--drivedb");
    // The release of the collector it belongs to (its title's version).
    app.set_version_flag("--version", "logdump-report Ver01-10-00");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : rpt::kUnreadable;
    }
    if (!risk_check.empty()) {
        const rpt::RiskCheck c = rpt::risk_check(risk_check);
        if (!c.error.empty()) {
            std::cerr << "logdump-report: " << c.error << "\n";
        } else if (as_json) {
            rpt::write_risk_check_json(c, stdout);
        } else {
            const std::string text = rpt::render_risk_check(c, risk_check);
            fwrite(text.data(), 1, text.size(), stdout);
        }
        return rpt::risk_check_status(c);
    }
    if (inputs.empty()) {
        std::cerr << "logdump-report: no input: name log directories or archives (or --risk-check FILE)\n";
        return rpt::kUnreadable;
    }

    std::vector<rpt::Host> hosts;
    for (auto& in : inputs) {
        hosts.push_back(rpt::read_input(in));
        if (!hosts.back().error.empty()) std::cerr << "logdump-report: " << hosts.back().error << "\n";
    }
    // One database for the whole run. One named on the command line must be
    // read; the installed ones may be missing or damaged (the built-in
    // defaults apply, and each SATA drive says so).
    const rpt::DriveDb db = rpt::load_drivedb(rpt::pick_drivedb(drivedb));
    if (!drivedb.empty() && !db.error.empty()) {
        std::cerr << "logdump-report: " << db.error << "\n";
        return rpt::kUnreadable;
    }
    std::vector<rpt::DiskDay> days;
    const rpt::Report report = rpt::build_report(hosts, &db, drive_stats.empty() ? nullptr : &days);
    int status = report.exit_status;
    if (!drive_stats.empty()) {
        const std::string error = rpt::write_atomically(drive_stats, rpt::render_drive_stats(days));
        days = {};
        if (!error.empty()) {
            std::cerr << "logdump-report: " << error << "\n";
            status = rpt::kUnreadable;
        }
    }

    if (!html.empty()) {
        std::ofstream f(html, std::ios::binary);
        f << rpt::render_html(report);
        f.close();
        if (!f) {
            std::cerr << "logdump-report: cannot write " << html << "\n";
            status = rpt::kUnreadable;
        }
    }
    if (!metrics.empty()) {
        const std::string error = rpt::write_atomically(
            metrics, rpt::render_metrics(report, std::filesystem::path(metrics).filename().string()));
        if (!error.empty()) {
            std::cerr << "logdump-report: " << error << "\n";
            status = rpt::kUnreadable;
        }
    }
    if (!disk.empty()) {
        const auto found = rpt::find_disks(report, disk);
        if (found.empty()) {
            std::cerr << "logdump-report: no disk " << disk << " in the report\n";
            return rpt::kUnreadable;
        }
        // Never pick one of several silently: name them all.
        if (found.size() > 1) {
            std::cerr << "logdump-report: " << found.size() << " disks match " << disk << "; name one by host/file:\n";
            for (const rpt::Disk* x : found)
                std::cerr << "  " << x->host << "/" << x->file << " serial " << x->serial << "\n";
            return rpt::kUnreadable;
        }
        const rpt::Disk* d = found.front();
        const std::string text = as_json ? rpt::json_text(*d) : rpt::render_disk(*d);
        fwrite(text.data(), 1, text.size(), stdout);
        return status;
    }
    if (as_json) {
        rpt::write_json(report, stdout);
    } else {
        const std::string text = rpt::render_text(report);
        fwrite(text.data(), 1, text.size(), stdout);
    }
    return status;
}
