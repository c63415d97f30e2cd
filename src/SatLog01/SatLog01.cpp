// SMART data dump of one SATA drive: switch SMART on, read its 512-byte data
// structure through STP and append it to the drive's log file as hex lines.
#include "SatLog01.h"

#include <cstdlib>

#include "KstErr01.h"
#include "atafis.h"
#include "drive_log.h"
#include "hexdump.h"
#include "libstoresata.h"
#include "passthru_buffers.h"

namespace {

constexpr int SMART_DATA_LEN = 512;

// Zeroed, so that nothing is read from the response area that neither we nor
// raidstor wrote.
void* alloc_zeroed(size_t size) { return std::calloc(1, size); }

}  // namespace

void* (*pfSataBufAlloc)(size_t size) = alloc_zeroed;

void Get_SATAHdd_Log(int iCtrl, int iTgtId) {
    pstStorPassThrStp = static_cast<SL_STP_PASSTHRU_T*>(pfSataBufAlloc(STP_PASSTHRU_BUFFER_SIZE));
    if (pstStorPassThrStp == nullptr) {
        mem_err();
        return;
    }
    SATAHddLogDumpauto(iCtrl, iTgtId);
    Mem_Free();
}

void SATAHddLogDumpauto(int iCtrl, int iTgtId) {
    // The device id goes to raidstor as its 16-bit reference; the report shows
    // the id as it was given.
    const auto sTgtId = static_cast<int16_t>(iTgtId);
    // READ DATA is refused by a drive whose SMART is off, so it is switched on
    // first, and nothing more is asked when that fails.
    if (StoreSmart(iCtrl, sTgtId, SMART_ENABLE_OPERATIONS, 0, pstStorPassThrStp, &gtErrInfStp) != 1 ||
        StoreSmart(iCtrl, sTgtId, SMART_READ_DATA, SMART_DATA_LEN, pstStorPassThrStp, &gtErrInfStp) != 1) {
        sata_cmnd_err(iCtrl, iTgtId, &gtErrInfStp);
        return;
    }
    // No flush: the caller owns fpLog and closes it. Only the caller knows the
    // file's path, so a failed write is left in the stream's error state for
    // it to report.
    (void)hex_dump(fpLog, stp_data(pstStorPassThrStp), SMART_DATA_LEN);
}
