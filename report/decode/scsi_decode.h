// SAS disks: their identity lines, SCSI log pages (pages.h), the phys of
// page 18h and the grown defect list's header decoded from the drive log;
// then judged (scsi_judge.h), as a SATA drive's blocks are decoded
// (ata_decode.h) and then judged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivelog.h"
#include "pages.h"

namespace rpt {

// A SCSI page as read: the block it came from and its decode.
struct PageRecord {
    std::string listed_as;  // the tag's code ("0d", "15.01")
    size_t bytes = 0;
    bool trusted = false;
    Page page;
};

// One SAS phy of a disk (page 18h).
struct Phy {
    unsigned port = 0;  // relative target port
    unsigned id = 0;    // phy identifier
    uint64_t sas_address = 0, attached_sas_address = 0;
    unsigned attached_phy = 0;
    uint8_t attached_device_type = 0, attached_reason = 0, reason = 0, link_rate = 0;
    std::optional<uint64_t> invalid_dword, disparity, loss_of_sync, reset_problem;
};

// The header of the grown defect list (READ DEFECT DATA): its list format
// and the length of its descriptors in bytes.
struct DefectListHeader {
    uint8_t format = 0;
    uint64_t length = 0;
};

struct ScsiInfo {
    std::string vendor, product, revision, serial;
    std::vector<PageRecord> pages;  // in the order of the drive log
    std::vector<Phy> phys;          // of page 18h, read whole
    std::optional<DefectListHeader> grown_defects;
    Findings findings;  // what the pages' structure gives, each naming its page

    // A page read whole: the first block of it counts when the log holds it
    // twice, and a page not read whole gives nothing. Null for none.
    const PageRecord* sound(uint8_t page, uint8_t subpage = 0) const;
};

ScsiInfo decode_scsi(const DriveLog& log);

}  // namespace rpt
