// The controller logs of one degraded RAID-1 in the vendor CLI's text,
// written by hand; shared by the readers' tests and the report's.
#pragma once
#include <string>

namespace rpt::test {

const std::string kDriveList = R"(
Adapter #0

Enclosure Device ID: 32
Slot Number: 4
Drive's position: DiskGroup: 0, Span: 0, Arm: 1
Enclosure position: 1
Device Id: 14
Media Error Count: 22
Other Error Count: 3
Predictive Failure Count: 1
PD Type: SAS

Raw Size: 1.090 TB [0x8bba0cb0 Sectors]
Sector Size:  512
Firmware state: Offline
Device Firmware Level: A440
Successful diagnostics completion on :  N/A
SAS Address(0): 0x5000c500a1b2c3d5
SAS Address(1): 0x0
Connected Port Number: 0(path0) 
Inquiry Data: OKAPIHD KZA1200TX       A440Z1X2Y3W4    
Foreign State: None 
Device Speed: 12.0Gb/s 
Link Speed: 6.0Gb/s 
Media Type: Hard Disk Device
Drive Temperature :38C (100.40 F)
Drive has flagged a S.M.A.R.T alert : Yes



Enclosure Device ID: 32
Slot Number: 5
Enclosure position: 1
Device Id: 15
Media Error Count: 0
Other Error Count: 0
Predictive Failure Count: 0
PD Type: SATA
Raw Size: 931.512 GB [0x74706db0 Sectors]
Firmware state: Rebuild
Rebuild Progress on Device at Enclosure 32, Slot 5 Completed 45% in 27 Minutes.
SAS Address(0): 0x500605b00d1d4c45
Inquiry Data:      Z9P4Q1RX        ACME DSK1000SB                      SB04    
Foreign State: Foreign 
Device Speed: 6.0Gb/s 
Link Speed: 6.0Gb/s 
Media Type: Solid State Device
Drive Temperature :N/A
Drive has flagged a S.M.A.R.T alert : No



Exit Code: 0x00
)";

const std::string kVirtualDrives = R"(

Adapter 0 -- Virtual Drive Information:
Virtual Drive: 0 (Target Id: 0)
Name                :sys
RAID Level          : Primary-1, Secondary-0, RAID Level Qualifier-0
Size                : 1.090 TB
Sector Size         : 512
Mirror Data         : 1.090 TB
State               : Degraded
Strip Size          : 64 KB
Number Of Drives    : 2
Span Depth          : 1
Default Cache Policy: WriteBack, ReadAdaptive, Direct, No Write Cache if Bad BBU
Current Cache Policy: WriteThrough, ReadAdaptive, Direct, No Write Cache if Bad BBU
Bad Blocks Exist: Yes



Virtual Drive: 1 (Target Id: 1)
Name                :
RAID Level          : Primary-1, Secondary-3, RAID Level Qualifier-0
Size                : 3.271 TB
State               : Optimal
Number Of Drives per span:2
Span Depth          : 3
Default Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU
Current Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU
Bad Blocks Exist: No



Exit Code: 0x00
)";

const std::string kMembers = R"(
Adapter #0

Number of Virtual Disks: 1
Virtual Drive: 0 (Target Id: 0)
Name                :sys
RAID Level          : Primary-1, Secondary-0, RAID Level Qualifier-0
State               : Degraded
Number Of Drives    : 2
Span Depth          : 1
Number of Spans: 1
Span: 0 - Number of PDs: 2

PD: 0 Information
Enclosure Device ID: 32
Slot Number: 3
Drive's position: DiskGroup: 0, Span: 0, Arm: 0
Device Id: 13
Firmware state: Online, Spun Up

PD: 1 Information
Enclosure Device ID: 32
Slot Number: 4
Drive's position: DiskGroup: 0, Span: 0, Arm: 1
Device Id: 14
Firmware state: Offline


Exit Code: 0x00
)";

const std::string kAdapter = R"(Adapter #0

==============================================================================
                    Versions
                ================
Product Name    : OKAPI RAID 8i
Serial No       : SV52027000
FW Package Build: 24.21.0-0097

                Image Versions in Flash:
                ================
FW Version         : 4.680.00-8527

                HW Configuration
                ================
BBU              : Absent
Alarm            : Present
Memory           : Present

                Settings
                ================
Current Time                     : 14:5:9 6/20, 2024
Alarm                            : Disabled

                Device Present
                ================
Virtual Drives    : 2 
  Degraded        : 1 
  Offline         : 0 
Physical Devices  : 5 
  Disks           : 4 
  Critical Disks  : 1 
  Failed Disks    : 1 

                Supported Adapter Operations
                ================
BBU                             : Yes

                Error Counters
                ================
Memory Correctable Errors   : 12 
Memory Uncorrectable Errors : 1 

Exit Code: 0x00
)";

const std::string kEvents = R"(

seqNum: 0x00001e2a
Time: Wed Jun  5 22:41:07 2024

Code: 0x00000071
Class: 0
Locale: 0x02
Event Description: Unexpected sense: PD 0e(e0x20/s4) Path 5000c500a1b2c3d5, CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00
Event Data:
===========
Device ID: 14
Enclosure Index: 32
Slot Number: 4


seqNum: 0x00001e2b
Time: Boot + 23 seconds

Code: 0x00000072
Class: 2
Locale: 0x02
Event Description: State change on PD 05(e0x06/s1) from ONLINE(18) to OFFLINE(10)
Event Data:
===========
None


seqNum: 0x00001e2c
Time: Thu Jun  6 09:00:07 2024

Code: 0x00000051
Class: -1
Locale: 0x01
Event Description: State change on VD 00/0 from OPTIMAL(3) to DEGRADED(2)
Event Data:
===========
Target Id: 0
Previous state: 3
New state: 2
)";

const std::string kConfiguration = R"(==============================================================================
Adapter: 0
Product Name: OKAPI RAID 8i
Memory: 1024MB
BBU: Absent
Serial No: SV52027000
==============================================================================
Number of DISK GROUPS: 1

DISK GROUP: 0
Number of Spans: 1
SPAN: 0
Span Reference: 0x00
Number of PDs: 2
Number of VDs: 1
Number of dedicated Hotspares: 0
Virtual Drive Information:
Virtual Drive: 0 (Target Id: 0)
Name                :sys
State               : Optimal
Physical Disk Information:
Physical Disk: 0
Enclosure Device ID: 32
Slot Number: 3
Firmware state: Online, Spun Up
Physical Disk: 1
Enclosure Device ID: 32
Slot Number: 4
Firmware state: Online, Spun Up

Exit Code: 0x00
)";

}  // namespace rpt::test
