// The controller count read from the CLI's output.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "Kestra02.h"

namespace {

TEST(ControllerCount, Conversion) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"2\n", 2},
        {"0\n", 0},
        {"none\n", 0},
        {"", 0},
        {"-", 0},
        {"3 word\n", 3},
        {"-1\n", -1},
        {"+5", 5},
        {" \t7", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {std::string(60, '9'), INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-" + std::string(60, '9'), INT_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(convert_count(text.c_str()), value) << '"' << text << '"';
}

TEST(ControllerCount, LineMatching) {
    struct Case {
        const char* name;
        std::string text;
        bool found;
        int value;
    };
    const std::vector<Case> cases = {
        {"among other lines", "RaidCli 1.0\n\nController Count: 1\nExit Code: 0x00\n", true, 1},
        {"without final newline", "Controller Count: 3", true, 3},
        {"zero", "Controller Count: 0\n", true, 0},
        {"first match wins", "Controller Count: 4\nController Count: 9\n", true, 4},
        {"no blank after colon", "Controller Count:2\n", false, 0},
        {"other letter case", "controller count: 2\nCONTROLLER COUNT: 2\n", false, 0},
        {"leading blank", " Controller Count: 2\n", false, 0},
        {"empty output", "", false, 0},
        // A long line arrives in pieces of 63 characters, each taken as a line.
        {"prefix starts the second piece", std::string(63, 'x') + "Controller Count: 6\n", true, 6},
        {"prefix across pieces", std::string(55, 'x') + "Controller Count: 6\n", false, 0},
        {"number cut by the piece", "Controller Count: " + std::string(44, '0') + "12\n", true, 1},
    };
    for (const auto& c : cases) {
        FILE* fp = tmpfile();
        fputs(c.text.c_str(), fp);
        rewind(fp);
        int value = -77;
        EXPECT_EQ(find_controller_count(fp, &value), c.found) << c.name;
        EXPECT_EQ(value, c.found ? c.value : -77) << c.name;
        fclose(fp);
    }
}

}  // namespace
