// The drive scan: every device id of every controller, one drive log per SAS
// disk (and, with -e, per SATA drive).
#pragma once

#include "types.h"

void Get_SHdd_Log(int iCtrlCount);
// The device code (INQUIRY bytes 8..35) and serial number (36..55) of the
// `got` INQUIRY bytes that arrived, each cut at its first zero byte and at
// the end of what arrived, into zero-filled buffers.
void inquiry_identity(const U8* inq, U32 got, char (&devCode)[64], char (&serial)[32]);
