// Binding of the vendor storage library (the state it sets: lib_binding.h).
#pragma once

#include <cstdio>

int Lib_Link();
// Reads ldd's list and names, in red, each listed dependency file that does
// not exist. Returns how many are missing.
int missing_dependencies(FILE* fp);
