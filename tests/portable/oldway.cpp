// A program built with this machine's toolchain, as the programs were
// before the portable build: the calls that tied them to a new glibc
// (start-up, dlopen/dlsym/dlclose, fstat/lstat) and the shared C++ runtime.
// The portability checks must reject it.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    struct stat st {};
    std::string name = argc > 1 ? argv[1] : "libm.so.6";
    void* h = dlopen(name.c_str(), RTLD_NOW);
    bool found = h != nullptr && dlsym(h, "cos") != nullptr;
    if (h != nullptr) dlclose(h);
    std::printf("%s %d %d %d\n", name.c_str(), found, fstat(0, &st), lstat(argv[0], &st));
    return 0;
}
