#include "Kestra02.h"

int main(int argc, char** argv) { return logdump_main(argc, argv); }
