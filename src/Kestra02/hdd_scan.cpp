// The drive scan: every device id of every controller is probed, and every
// SAS disk (with -e, every SATA drive too) gets its own log file in the log
// directory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

#include "hdd_scan.h"

#include "KstErr01.h"
#include "SasLog01.h"
#include "SatLog01.h"
#include "ata_logs.h"
#include "atafis.h"
#include "drive_log.h"
#include "interrupt.h"
#include "libstoresata.h"
#include "options.h"
#include "passthru_buffers.h"
#include "run_state.h"

namespace {

constexpr U8 kPeripheralDirectAccess = 0x00;

// Blocks from this size on are mapped on their own and go back to the system
// when freed. The pass-through buffer (16 MiB, taken and released twice per
// disk) is one of them: left to the allocator's own rule it would move into
// the heap after the first release, and a small allocation made while it is
// held (the storage library makes them) would keep a second 16 MiB resident
// for the rest of the run.
constexpr int kOwnMappingFrom = 1024 * 1024;

// INQUIRY data: vendor, product and revision together form the device code,
// followed by the serial number.
constexpr size_t kDevCodeAt = 8;
constexpr size_t kDevCodeLen = 28;
constexpr size_t kSerialAt = 36;
constexpr size_t kSerialLen = 20;

// An INQUIRY answer shorter than this lacks part of its standard data.
constexpr U32 kInquiryStandardLen = 36;
constexpr U32 kInquiryAsked = 96;

// Before the first log page is read, a drive log is a few KiB of text; this
// much must be free beyond the reserve to start one.
constexpr unsigned long long kDriveLogNeed = 64 * 1024;

// Copies a fixed INQUIRY field, stopping early at a zero byte and at the
// end of what arrived: a field that did not arrive reads as empty.
void copy_field(char* dst, const U8* data, size_t at, size_t n, U32 got) {
    for (size_t k = 0; k < n && at + k < got && data[at + k] != 0; ++k) dst[k] = static_cast<char>(data[at + k]);
}

// Closes the drive log; a write that failed on the way, or a close that
// fails, means the file is not what it should be.
bool close_drive_log() {
    bool ok = ferror(fpLog) == 0;
    if (fclose(fpLog) != 0) ok = false;
    fpLog = nullptr;
    return ok;
}

}  // namespace

void inquiry_identity(const U8* inq, U32 got, char (&devCode)[64], char (&serial)[32]) {
    memset(devCode, 0, sizeof devCode);
    memset(serial, 0, sizeof serial);
    copy_field(devCode, inq, kDevCodeAt, kDevCodeLen, got);
    copy_field(serial, inq, kSerialAt, kSerialLen, got);
}

namespace {

enum class Scan { Next, End };

// Creates the drive log of device j of controller i, writes its identity
// lines and lets `dump` write the rest; the same for a SAS and a SATA drive.
// Scan::End when the whole drive scan must end (no file can be made).
template <class Dump>
Scan write_drive_log(int i, int j, const char* cDevCode, const char* cSerial, Dump dump) {
    // Room for the longest log directory the command line accepts.
    char cPath[sizeof cLogFilePass + 32];
    if (!drive_log_path(cPath, sizeof cPath, i, j)) {
        file_open_err(cLogFilePass);
        return Scan::End;
    }
    if (space_exhausted()) {
        space_skip_err(cPath);
        return Scan::Next;
    }
    if (!space_for(cPath, kDriveLogNeed)) return Scan::Next;
    // Never through a link planted in the log directory.
    fpLog = create_log_file(cPath);
    if (fpLog == nullptr) {
        file_open_err(cPath);
        return Scan::End;
    }
    file_write_begin(cPath);
    bool written = fprintf(fpLog, "Device code   : %s\r\nSerial number : %s\r\n", cDevCode, cSerial) >= 0;
    interrupt_point();
    if (written) written = dump() != DUMP_WRITE_FAILED;
    if (!close_drive_log()) written = false;
    file_write_end();
    Mem_Free();
    if (!written) {
        keep_whole_lines(cPath);
        file_write_err(cPath);
    }
    return Scan::Next;
}

// A drive that is not SAS: with the extended collection, one that answers
// IDENTIFY DEVICE through STP is collected as SATA; any other keeps the
// skip line. Scan::End when the scan must end.
Scan sata_drive(int i, int j) {
    const auto sTgtId = static_cast<int16_t>(j);
    if (iExtendedFlg == 1) {
        // A buffer of its own for the probe, as for a disk's INQUIRY: the
        // drive's collection takes another.
        pstStorPassThrStp = static_cast<SL_STP_PASSTHRU_T*>(calloc(1, STP_PASSTHRU_BUFFER_SIZE));
        if (pstStorPassThrStp == nullptr) {
            mem_err();
            return Scan::End;
        }
        if (StoreIdentify(i, sTgtId, pstStorPassThrStp, &gtErrInfStp) == 1) {
            U8 identify[ATA_IDENTIFY_LEN] = {};
            const U32 got = stp_arrived(pstStorPassThrStp, ATA_IDENTIFY_LEN);
            memcpy(identify, stp_data(pstStorPassThrStp), got);
            Mem_Free();
            char cDevCode[64];
            char cSerial[32];
            ata_identity(identify, got, cDevCode, cSerial);
            if (got < ATA_IDENTIFY_LEN) short_transfer_err(i, j, "Identify", got, ATA_IDENTIFY_LEN);
            return write_drive_log(i, j, cDevCode, cSerial, [&] { return Get_SATAHdd_Log(i, j, identify, got); });
        }
        Mem_Free();
    }
    // "Not Support" and "save skip": the system's own wording, kept on
    // purpose as the field knows it.
    printf(" This HDD type is Not Support. HardDisk Log save skip\n");
    return Scan::Next;
}

}  // namespace

void Get_SHdd_Log(int iCtrlCount) {
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    space_reset();
    CorvidSearch(&gtErrInf.iApiErr);

    for (int i = 0; i < iCtrlCount; ++i) {
        if (GetControllerInfo(i, &gtErrInf.iApiErr) != 1) {
            controller_info_err(i, static_cast<unsigned>(gtErrInf.iApiErr));
            continue;
        }
        for (int j = 0; j < tCtrlInfo.deviceIdCount; ++j) {
            const auto sTgtId = static_cast<int16_t>(j);

            pstStorPassThr = static_cast<SCSI_PASSTHRU_T*>(malloc(SCSI_PASSTHRU_BUFFER_SIZE));
            if (pstStorPassThr == nullptr) {
                mem_err();
                return;
            }
            if (StoreInq(i, sTgtId, pstStorPassThr, &gtErrInf) != 1) {
                // Nothing answers at this id: not worth a message.
                Mem_Free();
                continue;
            }
            InqData = passthru_data(pstStorPassThr);
            // Bytes that did not arrive are zero: the data area was cleared.
            const U32 got = passthru_arrived(pstStorPassThr, kInquiryAsked);
            if ((InqData[0] & 0x1F) != kPeripheralDirectAccess) {
                // An enclosure or another non-disk device.
                InqData = nullptr;
                Mem_Free();
                continue;
            }
            char cDevCode[64];
            char cSerial[32];
            inquiry_identity(InqData, got, cDevCode, cSerial);
            InqData = nullptr;
            Mem_Free();
            if (got < kInquiryStandardLen) short_transfer_err(i, j, "Inquiry", got, kInquiryAsked);

            if (GetPhysInfo(i, j, &gtErrInf.iApiErr) != 1) {
                physical_info_err(i, static_cast<unsigned>(gtErrInf.iApiErr));
                continue;
            }
            printf("Controller %d/ Target %d : HardDisk Log saving...\n", i, j);
            const Scan next =
                interfaceType(tPhysInfo) == INTERFACE_TYPE_SAS
                    ? write_drive_log(i, j, cDevCode, cSerial, [&] { return Get_SASHdd_Log(i, sTgtId, cDevCode); })
                    : sata_drive(i, j);
            if (next == Scan::End) return;
        }
    }
}
