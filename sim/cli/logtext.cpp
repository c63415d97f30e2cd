#include "logtext.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace sim::cli {

namespace {

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

constexpr unsigned kEnclosureId = 252;

// Disks in the drive list: every device that answers as a block device.
std::vector<const Device*> disks(const Scenario& sc, unsigned ctrl) {
    std::vector<const Device*> out;
    for (const Device* d : sc.devices_of(ctrl))
        if (d->kind != DeviceKind::Silent && d->ptype == 0) out.push_back(d);
    return out;
}

std::string controller_serial(unsigned ctrl) { return fmt("SV5%02u%05u", ctrl % 100, 27000 + ctrl); }

std::string size_text(uint64_t blocks) {
    double gb = static_cast<double>(blocks) * 512.0 / (1024.0 * 1024.0 * 1024.0);
    if (gb >= 1024.0) return fmt("%.3f TB [0x%llx Sectors]", gb / 1024.0, static_cast<unsigned long long>(blocks));
    return fmt("%.3f GB [0x%llx Sectors]", gb, static_cast<unsigned long long>(blocks));
}

std::string inquiry_text(const Device& d) {
    char buf[64];
    snprintf(buf, sizeof buf, "%-8.8s%-16.16s%-4.4s%s", d.vendor.c_str(), d.product.c_str(), d.rev.c_str(),
             d.serial.c_str());
    return buf;
}

std::string pd_block(const Device& d, unsigned position) {
    const bool sata = d.kind == DeviceKind::Sata;
    std::string s;
    s += fmt("Enclosure Device ID: %u\n", kEnclosureId);
    s += fmt("Slot Number: %u\n", d.id);
    s += fmt("Drive's position: DiskGroup: 0, Span: 0, Arm: %u\n", position);
    s += "Enclosure position: 1\n";
    s += fmt("Device Id: %u\n", d.id);
    s += fmt("WWN: 5000C500%02X%04X5A\n", d.ctrl & 0xFF, d.id);
    s += fmt("Sequence Number: %u\n", 2 + d.id);
    s += "Media Error Count: 0\n";
    s += "Other Error Count: 0\n";
    s += "Predictive Failure Count: 0\n";
    s += "Last Predictive Failure Event Seq Number: 0\n";
    s += "PD Type: " + std::string(sata ? "SATA" : "SAS") + "\n\n";
    s += "Raw Size: " + size_text(d.blocks) + "\n";
    s += "Non Coerced Size: " + size_text(d.blocks > 0x100000 ? d.blocks - 0x100000 : d.blocks) + "\n";
    s += "Coerced Size: " + size_text(d.blocks & ~0x7FFULL) + "\n";
    s += "Sector Size:  512\n";
    s += "Firmware state: Online, Spun Up\n";
    s += "Device Firmware Level: " + d.rev + "\n";
    s += "Shield Counter: 0\n";
    s += "Successful diagnostics completion on :  N/A\n";
    if (!sata) {
        s += fmt("SAS Address(0): 0x5000c500%02x%04x5d\n", d.ctrl & 0xFF, d.id);
        s += "SAS Address(1): 0x0\n";
        s += "Connected Port Number: 0(path0) \n";
    } else {
        s += fmt("SAS Address(0): 0x500605b0%02x%04x80\n", d.ctrl & 0xFF, d.id);
        s += "Connected Port Number: 0(path0) \n";
    }
    s += "Inquiry Data: " + inquiry_text(d) + "\n";
    s += "FDE Capable: Not Capable\n";
    s += "FDE Enable: Disable\n";
    s += "Secured: Unsecured\n";
    s += "Locked: Unlocked\n";
    s += "Needs EKM Attention: No\n";
    s += "Foreign State: None \n";
    s += "Device Speed: " + std::string(sata ? "6.0Gb/s" : "12.0Gb/s") + " \n";
    s += "Link Speed: " + std::string(sata ? "6.0Gb/s" : "12.0Gb/s") + " \n";
    s += "Media Type: Hard Disk Device\n";
    s += fmt("Drive Temperature :%uC (%.2f F)\n", 30 + d.id % 8, (30 + d.id % 8) * 1.8 + 32);
    s += "PI Eligibility:  No \n";
    s += "Drive is formatted for PI information:  No\n";
    s += "PI: No PI\n";
    s += "Port-0 :\nPort status: Active\nPort's Linkspeed: " + std::string(sata ? "6.0Gb/s" : "12.0Gb/s") + " \n";
    s += "Drive has flagged a S.M.A.R.T alert : No\n";
    return s;
}

std::string ld_block(const Scenario& sc, unsigned ctrl, unsigned ld) {
    auto ds = disks(sc, ctrl);
    uint64_t size = ds.empty() ? 0 : ds.front()->blocks;
    std::string s;
    s += fmt("Virtual Drive: %u (Target Id: %u)\n", ld, ld);
    s += fmt("Name                :VD%u\n", ld);
    s += "RAID Level          : Primary-1, Secondary-0, RAID Level Qualifier-0\n";
    s += "Size                : " + size_text(size) + "\n";
    s += "Sector Size         : 512\n";
    s += "Mirror Data         : " + size_text(size) + "\n";
    s += "State               : Optimal\n";
    s += "Strip Size          : 256 KB\n";
    s += fmt("Number Of Drives    : %zu\n", ds.size() < 2 ? ds.size() : static_cast<size_t>(2));
    s += "Span Depth          : 1\n";
    s += "Default Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU\n";
    s += "Current Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU\n";
    s += "Default Access Policy: Read/Write\n";
    s += "Current Access Policy: Read/Write\n";
    s += "Disk Cache Policy   : Disk's Default\n";
    s += "Encryption Type     : None\n";
    s += "Default Power Savings Policy: Controller Defined\n";
    s += "Current Power Savings Policy: None\n";
    s += "Can spin up in 1 minute: Yes\n";
    s += "LD has drives that support T10 power conditions: No\n";
    s += "LD's IO profile supports MAX power savings with cached writes: No\n";
    s += "Bad Blocks Exist: No\n";
    s += "Is VD Cached: No\n";
    return s;
}

}  // namespace

std::string adpcount_head() { return "\n"; }
std::string exit_code_line() { return "\nExit Code: 0x00\n"; }

std::string fwtermlog(const Scenario& sc, unsigned ctrl) {
    std::string s = fmt("Firmware Term Log Information on controller %u: \n", ctrl);
    unsigned t = 0;
    auto line = [&](const std::string& text) {
        s += fmt("06/06/24  9:%02u:%02u: %s\n", t / 60 % 60, t % 60, text.c_str());
        t += 1 + t % 3;
    };
    line("ResetFlag=0 SysRstRsn=2");
    line("Firmware version 4.680.00-8527, package 24.21.0-0097");
    line(fmt("ctl%u: PCI 1000:005d sub 1000:9361 memory 1024MB", ctrl));
    line("MonTask: line 287 - Init of CPU complete");
    line("pcie link up x8 gen3");
    line("InitIOP: Configuring Host Interface Unit");
    line("ChipConfigBeforeReset: Configuring discovery of 8 phys");
    line("EVT#00001-T0: 1=Firmware initialization started (PCI ID 005d/1000/9361/1000)");
    line("EVT#00002-T0: 2=Firmware version 4.680.00-8527");
    unsigned evt = 3;
    for (const Device* d : sc.devices_of(ctrl)) {
        if (d->kind == DeviceKind::Silent) {
            line(fmt("DEV_REMOVED: devHandle %04x no response to discovery", 0x09 + d->id));
            continue;
        }
        line(fmt("DM: dev %u type %s devHandle %04x attached", d->id,
                 d->kind == DeviceKind::Enclosure ? "SES" : (d->kind == DeviceKind::Sata ? "SATA" : "SAS"),
                 0x09 + d->id));
        line(fmt("EVT#%05u-T0: %u=Device inserted: %s %s", evt, 91, d->vendor.c_str(), d->product.c_str()));
        ++evt;
    }
    line("Discovery complete, topology stable");
    line(fmt("EVT#%05u-T0: 44=Time established since power on: Time 2024-06-06,09:00:10 10 Seconds", evt++));
    line("Cache: BBU present, write back enabled");
    line(fmt("EVT#%05u-T0: 253=Battery charge complete", evt++));
    line("Patrol Read: next start 2024-06-13 03:00:00");
    line("Raid config: 1 VD, state OPTIMAL");
    return s + exit_code_line();
}

std::string cfgdsply(const Scenario& sc, unsigned ctrl) {
    auto ds = disks(sc, ctrl);
    std::string s;
    s += "==============================================================================\n";
    s += fmt("Adapter: %u\n", ctrl);
    s += "Product Name: SIM RAID SAS 9361-8i\n";
    s += "Memory: 1024MB\n";
    s += "BBU: Present\n";
    s += "Serial No: " + controller_serial(ctrl) + "\n";
    s += "==============================================================================\n";
    s += "Number of DISK GROUPS: 1\n\n";
    s += "DISK GROUP: 0\n";
    s += "Number of Spans: 1\n";
    s += "SPAN: 0\n";
    s += "Span Reference: 0x00\n";
    s += fmt("Number of PDs: %zu\n", ds.size());
    s += "Number of VDs: 1\n";
    s += "Number of dedicated Hotspares: 0\n";
    s += "Virtual Drive Information:\n";
    s += ld_block(sc, ctrl, 0);
    s += "Physical Disk Information:\n";
    unsigned pos = 0;
    for (const Device* d : ds) {
        s += fmt("Physical Disk: %u\n", pos);
        s += pd_block(*d, pos++);
        s += "\n";
    }
    return s + exit_code_line();
}

std::string adpallinfo(const Scenario& sc, unsigned ctrl) {
    auto ds = disks(sc, ctrl);
    auto cit = sc.controllers.find(ctrl);
    unsigned lds = cit == sc.controllers.end() ? 0 : cit->second.logicalDrives;
    std::string s;
    s += fmt("Adapter #%u\n\n", ctrl);
    s += "==============================================================================\n";
    s += "                    Versions\n                ================\n";
    s += "Product Name    : SIM RAID SAS 9361-8i\n";
    s += "Serial No       : " + controller_serial(ctrl) + "\n";
    s += "FW Package Build: 24.21.0-0097\n\n";
    s += "                    Mfg. Data\n                ================\n";
    s += "Mfg. Date       : 06/06/24\n";
    s += "Rework Date     : 00/00/00\n";
    s += "Revision No     : 06004\n";
    s += "Battery FRU     : N/A\n\n";
    s += "                Image Versions in Flash:\n                ================\n";
    s += "BIOS Version       : 6.36.00.3_4.19.08.00_0x06180203\n";
    s += "Ctrl-R Version     : 5.19-0603\n";
    s += "FW Version         : 4.680.00-8527\n";
    s += "NVDATA Version     : 3.1705.00-0020\n";
    s += "Boot Block Version : 3.07.00.00-0003\n";
    s += "BOOT Version       : 06.253.57.219\n\n";
    s += "                Pending Images in Flash\n                ================\n";
    s += "None\n\n";
    s += "                PCI Info\n                ================\n";
    s += "Controller Id   : 0000\n";
    s += "Vendor Id       : 1000\n";
    s += "Device Id       : 005d\n";
    s += "SubVendorId     : 1000\n";
    s += "SubDeviceId     : 9361\n\n";
    s += "Host Interface  : PCIE\n\n";
    s += "ChipRevision    : C0\n\n";
    s += "Link Speed     : 0 \n";
    s += "Number of Frontend Port: 0 \n";
    s += "Device Interface  : PCIE\n\n";
    s += "Number of Backend Port: 8 \n";
    for (unsigned port = 0; port < 8; ++port) s += fmt("Port  :  Address\n%u        500605b00d1d%04x \n", port, 0x4c40 + port);
    s += "\n                HW Configuration\n                ================\n";
    s += "SAS Address      : 500605b00d1d4c40\n";
    s += "BBU              : Present\n";
    s += "Alarm            : Absent\n";
    s += "NVRAM            : Present\n";
    s += "Serial Debugger  : Present\n";
    s += "Memory           : Present\n";
    s += "Flash            : Present\n";
    s += "Memory Size      : 1024MB\n";
    s += "TPM              : Absent\n";
    s += "On board Expander: Absent\n";
    s += "Upgrade Key      : Absent\n";
    s += "Temperature sensor for ROC    : Present\n";
    s += "Temperature sensor for controller    : Absent\n\n";
    s += "ROC temperature : 62  degree Celsius\n\n";
    s += "                Settings\n                ================\n";
    s += "Current Time                     : 9:0:15 6/6, 2024\n";
    s += "Predictive Fail Poll Interval    : 300sec\n";
    s += "Interrupt Throttle Active Count  : 16\n";
    s += "Interrupt Throttle Completion    : 50us\n";
    s += "Rebuild Rate                     : 30%\n";
    s += "PR Rate                          : 30%\n";
    s += "BGI Rate                         : 30%\n";
    s += "Check Consistency Rate           : 30%\n";
    s += "Reconstruction Rate              : 30%\n";
    s += "Cache Flush Interval             : 4s\n";
    s += "Max Drives to Spinup at One Time : 4\n";
    s += "Delay Among Spinup Groups        : 12s\n";
    s += "Physical Drive Coercion Mode     : 1GB\n";
    s += "Cluster Mode                     : Disabled\n";
    s += "Alarm                            : Disabled\n";
    s += "Auto Rebuild                     : Enabled\n";
    s += "Battery Warning                  : Enabled\n";
    s += "Ecc Bucket Size                  : 15\n";
    s += "Ecc Bucket Leak Rate             : 1440 Minutes\n";
    s += "Restore HotSpare on Insertion    : Disabled\n";
    s += "Expose Enclosure Devices         : Enabled\n";
    s += "Maintain PD Fail History         : Enabled\n";
    s += "Host Request Reordering          : Enabled\n";
    s += "Auto Detect BackPlane Enabled    : SGPIO/i2c SEP\n";
    s += "Load Balance Mode                : Auto\n";
    s += "Use FDE Only                     : Yes\n";
    s += "Security Key Assigned            : No\n";
    s += "Any Offline VD Cache Preserved   : No\n";
    s += "Allow Boot with Preserved Cache  : No\n";
    s += "Disable Online Controller Reset  : No\n";
    s += "PFK in NVRAM                     : No\n";
    s += "Use disk activity for locate     : No\n";
    s += "POST delay                       : 90 seconds\n";
    s += "BIOS Error Handling              : Stop On Errors\n";
    s += "Current Boot Mode                 :Normal\n";
    s += "                Capabilities\n                ================\n";
    s += "RAID Level Supported             : RAID0, RAID1, RAID5, RAID6, RAID00, RAID10, RAID50, RAID60, PRL 11, "
         "PRL 11 with spanning, SRL 3 supported, PRL11-RLQ0 DDF layout with no span, PRL11-RLQ0 DDF layout with span\n";
    s += "Supported Drives                 : SAS, SATA\n\n";
    s += "Allowed Mixing:\n\nMix in Enclosure Allowed\n\n";
    s += "                Status\n                ================\n";
    s += "ECC Bucket Count                 : 0\n\n";
    s += "                Limitations\n                ================\n";
    s += "Max Arms Per VD          : 32 \n";
    s += "Max Spans Per VD         : 8 \n";
    s += "Max Arrays               : 128 \n";
    s += "Max Number of VDs        : 64 \n";
    s += "Max Parallel Commands    : 928 \n";
    s += "Max SGE Count            : 60 \n";
    s += "Max Data Transfer Size   : 8192 sectors \n";
    s += "Max Strips PerIO         : 42 \n";
    s += "Max LD per array         : 16 \n";
    s += "Min Strip Size           : 64 KB\n";
    s += "Max Strip Size           : 1.0 MB\n";
    s += "Max Configurable CacheCade Size: 0 GB\n";
    s += "Current Size of CacheCade      : 0 GB\n";
    s += "Current Size of FW Cache       : 867 MB\n\n";
    s += "                Device Present\n                ================\n";
    s += fmt("Virtual Drives    : %u \n", lds);
    s += "  Degraded        : 0 \n";
    s += "  Offline         : 0 \n";
    s += fmt("Physical Devices  : %zu \n", ds.size() + 1);
    s += fmt("  Disks           : %zu \n", ds.size());
    s += "  Critical Disks  : 0 \n";
    s += "  Failed Disks    : 0 \n\n";
    s += "                Supported Adapter Operations\n                ================\n";
    s += "Rebuild Rate                    : Yes\n";
    s += "CC Rate                         : Yes\n";
    s += "BGI Rate                        : Yes\n";
    s += "Reconstruct Rate                : Yes\n";
    s += "Patrol Read Rate                : Yes\n";
    s += "Alarm Control                   : Yes\n";
    s += "Cluster Support                 : No\n";
    s += "BBU                             : Yes\n";
    s += "Spanning                        : Yes\n";
    s += "Dedicated Hot Spare             : Yes\n";
    s += "Revertible Hot Spares           : Yes\n";
    s += "Foreign Config Import           : Yes\n";
    s += "Self Diagnostic                 : Yes\n";
    s += "Allow Mixed Redundancy on Array : No\n";
    s += "Global Hot Spares               : Yes\n";
    s += "Deny SCSI Passthrough           : No\n";
    s += "Deny SMP Passthrough            : No\n";
    s += "Deny STP Passthrough            : No\n\n";
    s += "                Error Counters\n                ================\n";
    s += "Memory Correctable Errors   : 0 \n";
    s += "Memory Uncorrectable Errors : 0 \n\n";
    s += "                Cluster Information\n                ================\n";
    s += "Cluster Permitted     : No\n";
    s += "Cluster Active        : No\n\n";
    s += "                Default Settings\n                ================\n";
    s += "Phy Polarity                     : 0 \n";
    s += "Phy PolaritySplit                : 0 \n";
    s += "Background Rate                  : 30 \n";
    s += "Strip Size                       : 256kB\n";
    s += "Flush Time                       : 4 seconds\n";
    s += "Write Policy                     : WB\n";
    s += "Read Policy                      : RA\n";
    s += "Cache When BBU Bad               : Disabled\n";
    s += "Cached IO                        : No\n";
    s += "SMART Mode                       : Mode 6\n";
    s += "Alarm Disable                    : No\n";
    s += "Coercion Mode                    : 1GB\n";
    s += "ZCR Config                       : Unknown\n";
    s += "Dirty LED Shows Drive Activity   : No\n";
    s += "BIOS Continue on Error           : 0 \n";
    s += "Spin Down Mode                   : None\n";
    s += "Allowed Device Type              : SAS/SATA Mix\n";
    s += "Allow Mix in Enclosure           : Yes\n";
    s += "Allow HDD SAS/SATA Mix in VD     : No\n";
    s += "Allow SSD SAS/SATA Mix in VD     : No\n";
    s += "Allow HDD/SSD Mix in VD          : No\n";
    s += "Allow SATA in Cluster            : No\n";
    s += "Max Chained Enclosures           : 16 \n";
    s += "Disable Ctrl-R                   : Yes\n";
    s += "Enable Web BIOS                  : No\n";
    s += "Direct PD Mapping                : No\n";
    s += "BIOS Enumerate VDs               : Yes\n";
    s += "Restore Hot Spare on Insertion   : No\n";
    s += "Expose Enclosure Devices         : Yes\n";
    s += "Maintain PD Fail History         : Yes\n";
    s += "Disable Puncturing               : No\n";
    s += "Zero Based Enclosure Enumeration : No\n";
    s += "PreBoot CLI Enabled              : No\n";
    s += "LED Show Drive Activity          : Yes\n";
    s += "Cluster Disable                  : Yes\n";
    s += "SAS Disable                      : No\n";
    s += "Auto Detect BackPlane Enable     : SGPIO/i2c SEP\n";
    s += "Use FDE Only                     : Yes\n";
    s += "Enable Led Header                : No\n";
    s += "Delay during POST                : 0 \n";
    s += "EnableCrashDump                  : No\n";
    s += "Disable Online Controller Reset  : No\n";
    s += "EnableLDBBM                      : Yes\n";
    s += "Un-Certified Hard Disk Drives    : Allow\n";
    s += "Treat Single span R1E as R10     : No\n";
    s += "Max LD per array                 : 16\n";
    s += "Power Saving option              : Don't spin down unconfigured drives\n";
    s += "Default spin down time in minutes: 30 \n";
    s += "Enable JBOD                      : No\n";
    s += "TTY Log In Flash                 : No\n";
    s += "Auto Enhanced Import             : No\n";
    s += "BreakMirror RAID Support         : Yes\n";
    s += "Disable Join Mirror              : No\n";
    s += "Enable Shield State              : Yes\n";
    s += "Time taken to detect CME         : 60s\n";
    return s + exit_code_line();
}

std::string pdlist(const Scenario& sc, unsigned ctrl) {
    std::string s = fmt("\nAdapter #%u\n\n", ctrl);
    unsigned pos = 0;
    for (const Device* d : disks(sc, ctrl)) {
        s += pd_block(*d, pos++);
        s += "\n\n\n";
    }
    return s + exit_code_line();
}

std::string ldinfo(const Scenario& sc, unsigned ctrl) {
    auto cit = sc.controllers.find(ctrl);
    unsigned lds = cit == sc.controllers.end() ? 0 : cit->second.logicalDrives;
    std::string s = fmt("\n\nAdapter %u -- Virtual Drive Information:\n", ctrl);
    for (unsigned ld = 0; ld < lds; ++ld) {
        s += ld_block(sc, ctrl, ld);
        s += "\n\n";
    }
    if (lds == 0) s += fmt("Adapter %u: No Virtual Drive Configured.\n", ctrl);
    return s + exit_code_line();
}

std::string ldpdinfo(const Scenario& sc, unsigned ctrl) {
    auto cit = sc.controllers.find(ctrl);
    unsigned lds = cit == sc.controllers.end() ? 0 : cit->second.logicalDrives;
    auto ds = disks(sc, ctrl);
    std::string s = fmt("\nAdapter #%u\n\n", ctrl);
    s += fmt("Number of Virtual Disks: %u\n", lds);
    for (unsigned ld = 0; ld < lds; ++ld) {
        s += ld_block(sc, ctrl, ld);
        s += fmt("Number of Spans: 1\nSpan: 0 - Number of PDs: %zu\n", ds.size());
        unsigned pos = 0;
        for (const Device* d : ds) {
            s += fmt("\nPD: %u Information\n", pos);
            s += pd_block(*d, pos++);
        }
        s += "\n\n";
    }
    return s + exit_code_line();
}

std::string eventlog(const Scenario& sc, unsigned ctrl) {
    std::string s;
    unsigned seq = 0x1A20;
    unsigned minute = 0;
    auto event = [&](unsigned code, unsigned cls, const char* locale, const std::string& text, const std::string& data) {
        s += fmt("\n\nseqNum: 0x%08x\n", seq++);
        s += fmt("Time: Thu Jun  6 09:%02u:%02u 2024\n\n", minute / 60, minute % 60);
        minute += 7;
        s += fmt("Code: 0x%08x\n", code);
        s += fmt("Class: %u\n", cls);
        s += fmt("Locale: %s\n", locale);
        s += "Event Description: " + text + "\n";
        s += "Event Data:\n===========\n" + data + "\n";
    };
    event(0x1, 0, "0x20", fmt("Firmware initialization started (PCI ID 005d/1000/9361/1000) on controller %u", ctrl),
          "None");
    event(0x2, 0, "0x20", "Firmware version 4.680.00-8527", "None");
    for (const Device* d : sc.devices_of(ctrl)) {
        if (d->kind == DeviceKind::Silent) {
            event(0x70, 1, "0x02", fmt("Removed: PD %u(e0xfc/s%u)", d->id, d->id),
                  fmt("Device ID: %u\nEnclosure Index: 252\nSlot Number: %u", d->id, d->id));
            continue;
        }
        const char* what = d->kind == DeviceKind::Enclosure ? "Enclosure" : "PD";
        event(0x5B, 0, "0x02", fmt("Inserted: %s %u(e0xfc/s%u)", what, d->id, d->id),
              fmt("Device ID: %u\nEnclosure Index: 252\nSlot Number: %u", d->id, d->id));
        if (d->ptype == 0)
            event(0xF8, 0, "0x02", fmt("Inserted: PD %u(e0xfc/s%u) Info: enclPd=fc, scsiType=0, portMap=00, "
                                       "sasAddr=5000c500%02x%04x5d,0000000000000000",
                                       d->id, d->id, d->ctrl & 0xFF, d->id),
                  fmt("Device ID: %u\nEnclosure Device ID: 252\nSlot Number: %u", d->id, d->id));
    }
    event(0x44, 0, "0x20", "Time established as 06/06/24  9:00:10; (10 seconds since power on)", "None");
    event(0xF2, 0, "0x08", "Battery charge complete", "None");
    event(0x51, 0, "0x01", "State change on VD 00/0 from OFFLINE(0) to OPTIMAL(3)",
          "Target Id: 0\nPrevious state: 0\nNew state: 3");
    event(0x27, 0, "0x40", "Patrol Read complete", "None");
    return s;
}

}  // namespace sim::cli
