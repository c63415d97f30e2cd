/* Built without any hardening, for the test of check_elf.sh: the checker
 * must find every property missing here. It has what the hardened build
 * would protect (a local buffer, a copy and a formatted write), so that the
 * missing symbols come from the flags and not from the code. */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    char buf[64];
    memset(buf, 0, sizeof buf);
    if (argc > 1) memcpy(buf, argv[1], strnlen(argv[1], sizeof buf - 1));
    snprintf(buf + 32, 32, "%d", argc);
    puts(buf);
    return 0;
}
