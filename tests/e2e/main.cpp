#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (geteuid() != 0 && !::testing::GTEST_FLAG(list_tests)) {
        fprintf(stderr, "e2e: the end-to-end tests need root (private mount namespaces)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
