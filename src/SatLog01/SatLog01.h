// SMART data dump of one SATA drive into the open drive log file.
#pragma once

void Get_SATAHdd_Log(int iCtrl, int iTgtId);
void SATAHddLogDumpauto(int iCtrl, int iTgtId);
