// The drive log of one SATA drive: the pass-through buffer it is read
// through, and its SMART data.
#include "SatLog01.h"

#include <cstdlib>

#include "KstErr01.h"
#include "atafis.h"
#include "block_writer.h"
#include "libstoresata.h"
#include "passthru_buffers.h"

namespace {

constexpr U32 kSmartDataLen = 512;

}  // namespace

int Get_SATAHdd_Log(int iCtrl, int iTgtId, const U8* identify, U32 got) {
    // Zeroed, so that nothing is read from the response area that neither we
    // nor raidstor wrote.
    pstStorPassThrStp = static_cast<SL_STP_PASSTHRU_T*>(calloc(1, STP_PASSTHRU_BUFFER_SIZE));
    if (pstStorPassThrStp == nullptr) {
        // The file keeps what it has; the next drive may fare better.
        mem_err();
        return DUMP_DONE;
    }
    const int result = identify != nullptr ? SATAHddExtLogDump(iCtrl, static_cast<int16_t>(iTgtId), identify, got)
                                           : SATAHddLogDumpauto(iCtrl, iTgtId);
    Mem_Free();
    return result == DUMP_WRITE_FAILED ? DUMP_WRITE_FAILED : DUMP_DONE;
}

int SATAHddLogDumpauto(int iCtrl, int iTgtId) {
    // The device id goes to raidstor as its 16-bit reference; the report shows
    // the id as it was given.
    const auto sTgtId = static_cast<int16_t>(iTgtId);
    // READ DATA is refused by a drive whose SMART is off, so it is switched on
    // first, and nothing more is asked when that fails.
    if (StoreSmart(iCtrl, sTgtId, SMART_ENABLE_OPERATIONS, 0, pstStorPassThrStp, &gtErrInfStp) != 1 ||
        StoreSmart(iCtrl, sTgtId, SMART_READ_DATA, kSmartDataLen, pstStorPassThrStp, &gtErrInfStp) != 1) {
        sata_cmnd_err(iCtrl, iTgtId, &gtErrInfStp);
        return DUMP_COMMAND_FAILED;
    }
    // Only what arrived: the rest of the data area is no answer of the drive.
    const U32 got = stp_arrived(pstStorPassThrStp, kSmartDataLen);
    if (got < kSmartDataLen) short_transfer_err(iCtrl, iTgtId, "SmartData", got, kSmartDataLen);
    return BlockWriter(iCtrl, iTgtId).dump(stp_data(pstStorPassThrStp), got) ? DUMP_DONE : DUMP_WRITE_FAILED;
}
