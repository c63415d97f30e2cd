// The fixed text of the simulated RAID CLI, as templates: {name} is a field
// that logtext.cpp and events.cpp fill, "{ }" a blank at the end of a line
// (written so because editors strip a plain one there). Only those two
// include this.
#pragma once

#include <cstdint>
#include <string_view>

namespace sim::cli::text {

// ---------------------------------------------------------------- drives

// How the drive lists show a drive of each protocol; {addr} is the device's.
struct Protocol {
    const char* type;
    const char* speed;
    const char* sasAddresses;
};
constexpr Protocol kSas = {"SAS", "12.0Gb/s", "SAS Address(0): 0x5000c500{addr}5d\nSAS Address(1): 0x0\n"};
constexpr Protocol kSata = {"SATA", "6.0Gb/s", "SAS Address(0): 0x500605b0{addr}80\n"};

constexpr std::string_view kDrive = R"(Enclosure Device ID: {enclosure}
Slot Number: {slot}
{position}Enclosure position: 1
Device Id: {id}
WWN: {wwn}
Sequence Number: {sequence}
Media Error Count: {media_errors}
Other Error Count: {other_errors}
Predictive Failure Count: {predictive_failures}
Last Predictive Failure Event Seq Number: 0
PD Type: {type}

Raw Size: {raw_size}
Non Coerced Size: {non_coerced_size}
Coerced Size: {coerced_size}
{drive_support}Sector Size:  {sector_size}
Firmware state: {firmware_state}
{progress}Device Firmware Level: {rev}
Shield Counter: 0
Successful diagnostics completion on :  N/A
{sas_addresses}Connected Port Number: 0(path0){ }
Inquiry Data: {inquiry}
FDE Capable: Not Capable
FDE Enable: Disable
Secured: Unsecured
Locked: Unlocked
Needs EKM Attention: No
Foreign State: {foreign}{ }
Device Speed: {device_speed}{ }
Link Speed: {link_speed}{ }
Media Type: Hard Disk Device
Drive Temperature :{temperature}
PI Eligibility:  No{ }
Drive is formatted for PI information:  No
PI: No PI
Port-0 :
Port status: Active
Port's Linkspeed: {link_speed}{ }
Drive has flagged a S.M.A.R.T alert : {smart_alert}
)";

// A drive whose details the controller lost (a failed drive): its sizes,
// its support line and a SATA drive's inquiry.
constexpr std::string_view kNoSize = "0 KB [0x0 Sectors]";
constexpr std::string_view kAllOnesSize = "7.999 ZB [0xfffffffffff00000 Sectors]";
constexpr std::string_view kNotSupported = "Drive:  Not Supported\n";

// The lines of a drive block that depend on its place and state.
constexpr std::string_view kPosition = "Drive's position: DiskGroup: {group}, Span: {span}, Arm: {arm}\n";
constexpr std::string_view kProgress =
    "{operation} Progress on Device at Enclosure {enclosure}, Slot {slot} Completed {percent}% in {minutes} "
    "Minutes.\n";

constexpr std::string_view kVirtualDrive = R"(Virtual Drive: {ld} (Target Id: {ld})
Name                :{name}
RAID Level          : {raid_level}
Size                : {size}
Sector Size         : 512
{redundancy}State               : {state}
Strip Size          : 256 KB
{drives}Span Depth          : {spans}
Default Cache Policy: {cache}, ReadAhead, Direct, No Write Cache if Bad BBU
Current Cache Policy: {cache_now}, ReadAhead, Direct, No Write Cache if Bad BBU
Default Access Policy: Read/Write
Current Access Policy: Read/Write
Disk Cache Policy   : Disk's Default
Encryption Type     : None
Default Power Savings Policy: Controller Defined
Current Power Savings Policy: None
Can spin up in 1 minute: Yes
LD has drives that support T10 power conditions: No
LD's IO profile supports MAX power savings with cached writes: No
Bad Blocks Exist: {bad_blocks}
Is VD Cached: No
)";

// The lines of a virtual drive block that depend on its level.
constexpr std::string_view kMirror = "Mirror Data         : {size}\n";
constexpr std::string_view kParity = "Parity Size         : {size}\n";
constexpr std::string_view kDrives = "Number Of Drives    : {drives}\n";
constexpr std::string_view kDrivesPerSpan = "Number Of Drives per span:{drives}\n";

// ---------------------------------------------------------------- firmware term log

// Each line of these gets a time stamp in front.

constexpr std::string_view kTermLogHead = "Firmware Term Log Information on controller {ctrl}:{ }\n";
constexpr std::string_view kTermLogBoot = R"(ResetFlag=0 SysRstRsn=2
Firmware version {firmware}, package {package}
ctl{ctrl}: PCI {pci_vendor}:{pci_device} sub {sub_vendor}:{sub_device} memory {memory}MB
MonTask: line 287 - Init of CPU complete
pcie link up x8 gen3
InitIOP: Configuring Host Interface Unit
ChipConfigBeforeReset: Configuring discovery of {ports} phys
EVT#00001-T0: 1=Firmware initialization started (PCI ID {pci_device}/{pci_vendor}/{sub_device}/{sub_vendor})
EVT#00002-T0: 2=Firmware version {firmware}
)";
constexpr std::string_view kTermLogDevice = R"(DM: dev {id} type {type} devHandle {handle} attached
EVT#{event}-T0: 91=Device inserted: {vendor} {product}
)";
constexpr std::string_view kTermLogSilent = "DEV_REMOVED: devHandle {handle} no response to discovery\n";
constexpr std::string_view kTermLogSettled = R"(Discovery complete, topology stable
EVT#{event}-T0: 44=Time established since power on: Time 2024-06-06,09:00:10 10 Seconds
Cache: BBU present, write back enabled
EVT#{next_event}-T0: 253=Battery charge complete
Patrol Read: next start 2024-06-13 03:00:00
Raid config: 1 VD, state OPTIMAL
)";

// ---------------------------------------------------------------- configuration and controller information

constexpr std::string_view kConfiguration =
    R"(==============================================================================
Adapter: {ctrl}
Product Name: {product}
Memory: {memory}MB
BBU: {bbu}
Serial No: {serial}
==============================================================================
Number of DISK GROUPS: {groups}
{disk_groups})";

constexpr std::string_view kDiskGroup = R"(
DISK GROUP: {group}
Number of Spans: {spans}
{span_blocks})";

constexpr std::string_view kSpan = R"(SPAN: {span}
Span Reference: 0x{reference}
Number of PDs: {disks}
Number of VDs: 1
Number of dedicated Hotspares: 0
Virtual Drive Information:
{virtual_drive}Physical Disk Information:
{physical_disks})";

// The controller's SAS address, that of its port 0; port n has this + n.
constexpr uint64_t kSasAddress = 0x500605b00d1d4c40;

constexpr std::string_view kPortAddress = "Port  :  Address\n{port}        {address}{ }\n";

constexpr std::string_view kControllerInfo = R"(Adapter #{ctrl}

==============================================================================
                    Versions
                ================
Product Name    : {product}
Serial No       : {serial}
FW Package Build: {package}

                    Mfg. Data
                ================
Mfg. Date       : 06/06/24
Rework Date     : 00/00/00
Revision No     : 06004
Battery FRU     : N/A

                Image Versions in Flash:
                ================
BIOS Version       : 6.36.00.3_4.19.08.00_0x06180203
Ctrl-R Version     : 5.19-0603
FW Version         : {firmware}
NVDATA Version     : 3.1705.00-0020
Boot Block Version : 3.07.00.00-0003
BOOT Version       : 06.253.57.219

                Pending Images in Flash
                ================
None

                PCI Info
                ================
Controller Id   : 0000
Vendor Id       : {pci_vendor}
Device Id       : {pci_device}
SubVendorId     : {sub_vendor}
SubDeviceId     : {sub_device}

Host Interface  : PCIE

ChipRevision    : C0

Link Speed     : 0{ }
Number of Frontend Port: 0{ }
Device Interface  : PCIE

Number of Backend Port: {ports}{ }
{port_addresses}
                HW Configuration
                ================
SAS Address      : {sas_address}
BBU              : {bbu}
Alarm            : {alarm}
NVRAM            : Present
Serial Debugger  : Present
Memory           : Present
Flash            : Present
Memory Size      : {memory}MB
TPM              : Absent
On board Expander: Absent
Upgrade Key      : Absent
Temperature sensor for ROC    : Present
Temperature sensor for controller    : Absent

ROC temperature : 62  degree Celsius

                Settings
                ================
Current Time                     : 9:0:15 6/6, 2024
Predictive Fail Poll Interval    : 300sec
Interrupt Throttle Active Count  : 16
Interrupt Throttle Completion    : 50us
Rebuild Rate                     : 30%
PR Rate                          : 30%
BGI Rate                         : 30%
Check Consistency Rate           : 30%
Reconstruction Rate              : 30%
Cache Flush Interval             : 4s
Max Drives to Spinup at One Time : 4
Delay Among Spinup Groups        : 12s
Physical Drive Coercion Mode     : 1GB
Cluster Mode                     : Disabled
Alarm                            : Disabled
Auto Rebuild                     : Enabled
Battery Warning                  : Enabled
Ecc Bucket Size                  : 15
Ecc Bucket Leak Rate             : 1440 Minutes
Restore HotSpare on Insertion    : Disabled
Expose Enclosure Devices         : Enabled
Maintain PD Fail History         : Enabled
Host Request Reordering          : Enabled
Auto Detect BackPlane Enabled    : SGPIO/i2c SEP
Load Balance Mode                : Auto
Use FDE Only                     : Yes
Security Key Assigned            : No
Any Offline VD Cache Preserved   : No
Allow Boot with Preserved Cache  : No
Disable Online Controller Reset  : No
PFK in NVRAM                     : No
Use disk activity for locate     : No
POST delay                       : 90 seconds
BIOS Error Handling              : Stop On Errors
Current Boot Mode                 :Normal
                Capabilities
                ================
RAID Level Supported             : RAID0, RAID1, RAID5, RAID6, RAID00, RAID10, RAID50, RAID60, PRL 11, PRL 11 with spanning, SRL 3 supported, PRL11-RLQ0 DDF layout with no span, PRL11-RLQ0 DDF layout with span
Supported Drives                 : SAS, SATA

Allowed Mixing:

Mix in Enclosure Allowed

                Status
                ================
ECC Bucket Count                 : 0

                Limitations
                ================
Max Arms Per VD          : 32{ }
Max Spans Per VD         : 8{ }
Max Arrays               : 128{ }
Max Number of VDs        : 64{ }
Max Parallel Commands    : 928{ }
Max SGE Count            : 60{ }
Max Data Transfer Size   : 8192 sectors{ }
Max Strips PerIO         : 42{ }
Max LD per array         : 16{ }
Min Strip Size           : 64 KB
Max Strip Size           : 1.0 MB
Max Configurable CacheCade Size: 0 GB
Current Size of CacheCade      : 0 GB
Current Size of FW Cache       : 867 MB

                Device Present
                ================
Virtual Drives    : {lds}{ }
  Degraded        : {degraded}{ }
  Offline         : {offline}{ }
Physical Devices  : {devices}{ }
  Disks           : {disks}{ }
  Critical Disks  : {critical}{ }
  Failed Disks    : {failed}{ }

                Supported Adapter Operations
                ================
Rebuild Rate                    : Yes
CC Rate                         : Yes
BGI Rate                        : Yes
Reconstruct Rate                : Yes
Patrol Read Rate                : Yes
Alarm Control                   : Yes
Cluster Support                 : No
BBU                             : Yes
Spanning                        : Yes
Dedicated Hot Spare             : Yes
Revertible Hot Spares           : Yes
Foreign Config Import           : Yes
Self Diagnostic                 : Yes
Allow Mixed Redundancy on Array : No
Global Hot Spares               : Yes
Deny SCSI Passthrough           : No
Deny SMP Passthrough            : No
Deny STP Passthrough            : No

                Error Counters
                ================
Memory Correctable Errors   : {memory_correctable}{ }
Memory Uncorrectable Errors : {memory_uncorrectable}{ }

                Cluster Information
                ================
Cluster Permitted     : No
Cluster Active        : No

                Default Settings
                ================
Phy Polarity                     : 0{ }
Phy PolaritySplit                : 0{ }
Background Rate                  : 30{ }
Strip Size                       : 256kB
Flush Time                       : 4 seconds
Write Policy                     : WB
Read Policy                      : RA
Cache When BBU Bad               : Disabled
Cached IO                        : No
SMART Mode                       : Mode 6
Alarm Disable                    : No
Coercion Mode                    : 1GB
ZCR Config                       : Unknown
Dirty LED Shows Drive Activity   : No
BIOS Continue on Error           : 0{ }
Spin Down Mode                   : None
Allowed Device Type              : SAS/SATA Mix
Allow Mix in Enclosure           : Yes
Allow HDD SAS/SATA Mix in VD     : No
Allow SSD SAS/SATA Mix in VD     : No
Allow HDD/SSD Mix in VD          : No
Allow SATA in Cluster            : No
Max Chained Enclosures           : 16{ }
Disable Ctrl-R                   : Yes
Enable Web BIOS                  : No
Direct PD Mapping                : No
BIOS Enumerate VDs               : Yes
Restore Hot Spare on Insertion   : No
Expose Enclosure Devices         : Yes
Maintain PD Fail History         : Yes
Disable Puncturing               : No
Zero Based Enclosure Enumeration : No
PreBoot CLI Enabled              : No
LED Show Drive Activity          : Yes
Cluster Disable                  : Yes
SAS Disable                      : No
Auto Detect BackPlane Enable     : SGPIO/i2c SEP
Use FDE Only                     : Yes
Enable Led Header                : No
Delay during POST                : 0{ }
EnableCrashDump                  : No
Disable Online Controller Reset  : No
EnableLDBBM                      : Yes
Un-Certified Hard Disk Drives    : Allow
Treat Single span R1E as R10     : No
Max LD per array                 : 16
Power Saving option              : Don't spin down unconfigured drives
Default spin down time in minutes: 30{ }
Enable JBOD                      : No
TTY Log In Flash                 : No
Auto Enhanced Import             : No
BreakMirror RAID Support         : Yes
Disable Join Mirror              : No
Enable Shield State              : Yes
Time taken to detect CME         : 60s
)";

// ---------------------------------------------------------------- event log

// One event: the record's fields; its text and data are templates, filled
// with the controller's fields or a device's.
struct Event {
    unsigned code;
    unsigned cls;
    const char* locale;
    const char* text;
    const char* data;
};

const Event kBootEvents[] = {
    {0x01, 0, "0x20",
     "Firmware initialization started (PCI ID {pci_device}/{pci_vendor}/{sub_device}/{sub_vendor}) on controller "
     "{ctrl}",
     "None"},
    {0x02, 0, "0x20", "Firmware version {firmware}", "None"},
};

// Per device: removed (a silent device), else inserted, and for a disk its
// details. These name the device by its id in decimal, as they always have.
const Event kRemovedEvent = {0x70, 1, "0x02", "Removed: PD {id}(e0x{enclosure_hex}/s{slot})",
                             "Device ID: {id}\nEnclosure Index: {enclosure}\nSlot Number: {slot}"};
const Event kInsertedEvent = {0x5B, 0, "0x02", "Inserted: {what} {id}(e0x{enclosure_hex}/s{slot})",
                              "Device ID: {id}\nEnclosure Index: {enclosure}\nSlot Number: {slot}"};
const Event kDiskInfoEvent = {0xF8, 0, "0x02",
                              "Inserted: PD {id}(e0x{enclosure_hex}/s{slot}) Info: enclPd={enclosure_hex}, "
                              "scsiType=0, portMap=00, sasAddr=5000c500{addr}5d,0000000000000000",
                              "Device ID: {id}\nEnclosure Device ID: {enclosure}\nSlot Number: {slot}"};

// A scenario's event about a drive: its data, and the text of an
// "Unexpected sense" event ({pd} is the drive's name, {path} its SAS address).
constexpr std::string_view kDriveEventData = "Device ID: {id}\nEnclosure Index: {enclosure}\nSlot Number: {slot}";
constexpr std::string_view kSenseText = "Unexpected sense: {pd} Path {path}, CDB: {cdb}, Sense: {sense}";

// Once the devices are found: the time and the battery, each virtual
// drive's state, then the patrol read.
const Event kSettledEvents[] = {
    {0x44, 0, "0x20", "Time established as 06/06/24  9:00:10; (10 seconds since power on)", "None"},
    {0xF2, 0, "0x08", "Battery charge complete", "None"},
};
const Event kVirtualDriveStateEvent = {0x51, 0, "0x01",
                                       "State change on VD {vd_hex}/{vd} from OFFLINE(0) to {state}({state_code})",
                                       "Target Id: {vd}\nPrevious state: 0\nNew state: {state_code}"};
const Event kPatrolReadEvent = {0x27, 0, "0x40", "Patrol Read complete", "None"};

constexpr std::string_view kEventRecord = R"(

seqNum: 0x{sequence}
Time: {time}

Code: 0x{code}
Class: {class}
Locale: {locale}
Event Description: {text}
Event Data:
===========
{data}
)";

}  // namespace sim::cli::text
