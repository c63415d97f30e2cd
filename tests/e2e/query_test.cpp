// Help, version and unknown long options: each is answered (or refused)
// without running a shell command, loading the library or writing anything,
// wherever the question stands on the command line. The answer ends with the
// colour reset only on a terminal: captured through a pipe it holds no
// escape sequence.
#include "harness.h"

using namespace e2e;

namespace {

class Query : public E2E {};

enum class Answer { Help, Version, Refused };

struct Row {
    const char* name;
    std::vector<std::string> args;
    Answer answer;
    std::string refused;    // the argument named by "Unknown Option(%s)."
    bool terminal = false;  // standard output a pseudo-terminal, not a pipe
};

}  // namespace

TEST_P(Query, AnsweredBeforeAnythingRuns) {
    const std::vector<Row> rows = {
        {"h", {"-h"}, Answer::Help, ""},
        {"help", {"--help"}, Answer::Help, ""},
        // "-o n" and "-w w" would create directories, a word would start a run.
        {"help-after-options", {"-o", "n", "-w", "w", "word", "--help"}, Answer::Help, ""},
        {"help-as-value", {"-c", "-h"}, Answer::Help, ""},
        {"help-beats-unknown", {"--verbose", "-h"}, Answer::Help, ""},
        {"version", {"--version"}, Answer::Version, ""},
        {"version-after-options", {"-n", "-o", "n", "--version"}, Answer::Version, ""},
        {"unknown", {"--verbose"}, Answer::Refused, "--verbose"},
        {"unknown-as-value", {"-o", "--dir"}, Answer::Refused, "--dir"},
        {"unknown-beats-version", {"--version", "--versoin"}, Answer::Refused, "--versoin"},
        {"unknown-after-end", {"--", "--x"}, Answer::Refused, "--x"},
        {"help-at-terminal", {"--help"}, Answer::Help, "", true},
        {"version-at-terminal", {"--version"}, Answer::Version, "", true},
        {"unknown-at-terminal", {"--verbose"}, Answer::Refused, "--verbose", true},
    };
    std::string usage;  // the help text, as the first row printed it
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario("controller 0\n");
        RunOptions o;
        o.args = row.args;
        o.terminal = row.terminal;
        auto r = c->run(o);
        const std::string reset = row.terminal ? kReset : "";
        switch (row.answer) {
        case Answer::Help:
            if (usage.empty()) usage = r.out;
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, usage + reset) << show(r.out);
            EXPECT_EQ(r.err, "");
            break;
        case Answer::Version:
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, (T().bits == 64 ? "logdump64" : "logdump") + std::string(" Ver01-10-00 (") +
                                 std::to_string(T().bits) + "-bit build)\n" + reset)
                << show(r.out);
            EXPECT_EQ(r.err, "");
            break;
        case Answer::Refused:
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, reset) << show(r.out);
            EXPECT_EQ(r.err, red("Unknown Option(" + row.refused + ").\n") + usage) << show(r.err);
            break;
        }
        EXPECT_TRUE(c->trace().empty()) << "the CLI or the library was called";
        EXPECT_TRUE(c->sleeps().empty());
        EXPECT_TRUE(c->list("/tmp").empty()) << "a temporary file was written";
        EXPECT_TRUE(c->logs().empty()) << "the log directory was written";
        std::vector<std::string> vendor{T().cli_name, T().lib_name};
        std::sort(vendor.begin(), vendor.end());
        EXPECT_EQ(c->list(c->work), vendor) << "something was created in the working directory";
    }
    // The help text names this build's defaults and where to read more.
    for (const std::string& fact : {T().cli_name, T().lib_name, std::string("/o_tmp/TMP/KESTRA"),
                                    std::string("logdump(1)"), std::string("/usr/share/doc/logdump/")})
        EXPECT_NE(usage.find(fact), std::string::npos) << fact << " is not in the help text: " << usage;
}

INSTANTIATE_TEST_SUITE_P(Both, Query, ::testing::ValuesIn(tools()), tool_param_name);
