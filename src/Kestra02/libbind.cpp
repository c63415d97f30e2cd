// Binding of the vendor storage library.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

#include "libbind.h"

#include "KstErr01.h"
#include "command.h"
#include "interrupt.h"
#include "lib_binding.h"
#include "options.h"
#include "run_state.h"
#include "shell.h"

namespace {

// The dependency path of one line of ldd's list: from the first '/' up to
// the last blank (the load address follows it). Without a blank behind the
// '/', the line is a bare path.
std::string dependency_path(const std::string& line) {
    size_t slash = line.find('/');
    if (slash == std::string::npos) return {};
    std::string rest = line.substr(slash);
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.pop_back();
    size_t blank = rest.rfind(' ');
    if (blank != std::string::npos) rest.erase(blank);
    return rest;
}

}  // namespace

int missing_dependencies(FILE* fp) {
    int missing = 0;
    char* line = nullptr;
    size_t cap = 0;
    // Whole lines: a path cut at a buffer edge would be reported missing.
    while (getline(&line, &cap, fp) != -1) {
        std::string text(line);
        if (text.find('/') == std::string::npos) continue;
        std::string path = dependency_path(text);
        if (access(path.c_str(), F_OK) != 0) {
            ++missing;
            dependency_missing_err(path.c_str());
        }
    }
    free(line);
    return missing;
}

int Lib_Link() {
    const char* p = Get_Command_FileName(cTmpFilePass, "/tmp/ldd_out.txt", iTmpPassFlg);
    if (p == nullptr) {
        bind_open_err((std::string(cTmpFilePass) + "/ldd_out.txt").c_str());
        return 0;
    }
    char listPath[256];
    memset(listPath, 0, sizeof listPath);
    strcpy(listPath, p);
    if (!prepare_temp_file(listPath)) {
        bind_open_err(listPath);
        return 0;
    }

    char command[256];
    if (!format_into(command, sizeof command, "ldd %s > %s", shell_quote(cLibFileName).c_str(),
                     shell_quote(listPath).c_str()) ||
        run_command(command, kHostTimeLimitS) != 0) {
        ldd_err();
        return 0;
    }

    fpLdd = fopen(listPath, "r");
    if (fpLdd == nullptr) {
        bind_open_err(listPath);
        return 0;
    }
    int missing = missing_dependencies(fpLdd);
    fclose(fpLdd);
    fpLdd = nullptr;
    if (missing > 0) return 0;

    // Always the copy in the working directory, never one found through the
    // system's library search.
    const char* cwd = Get_Current_Pass();
    if (cwd == nullptr) {
        bind_open_err(cLibFileName);
        return 0;
    }
    char libPath[256];
    if (!format_into(libPath, sizeof libPath, "%s/%s", cwd, cLibFileName)) {
        bind_open_err((std::string(cwd) + "/" + cLibFileName).c_str());
        return 0;
    }
    hLib = dlopen(libPath, RTLD_LAZY);
    interrupt_point();
    if (hLib == nullptr) {
        bind_open_err(libPath);
        return 0;
    }
    ProcessLibCommandF = reinterpret_cast<ProcessLibCommand_t>(dlsym(hLib, "ProcessLibCommand"));
    if (ProcessLibCommandF != nullptr) return 1;
    library_load_err(libPath);
    return 0;
}
