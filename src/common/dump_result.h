// Results of the writers of a drive log (the SAS log pages, the internal
// log, the SATA logs). A failed command has been reported where it failed;
// a failed write has not: only the owner of the drive log knows its path,
// and it reports it with file_write_err when it closes the file.
#pragma once

enum : int {
    DUMP_DONE = 0,
    DUMP_COMMAND_FAILED = -1,
    DUMP_WRITE_FAILED = -2,
};
