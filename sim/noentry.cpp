// A library of the storage library's name that lacks its entry point, for
// rehearsing a failed binding.
extern "C" __attribute__((visibility("default"))) int GetLibraryVersion(void) { return 0x0252; }
