// The open drive log and the name of each drive's file.
#include "drive_log.h"

#include "run_state.h"
#include "shell.h"

FILE* fpLog = nullptr;

bool drive_log_path(char* buf, size_t size, int iCtrl, int iTgtId) {
    return format_into(buf, size, "%s/MA%02x%02x.log", cLogFilePass, static_cast<unsigned>(iCtrl),
                       static_cast<unsigned>(iTgtId));
}
