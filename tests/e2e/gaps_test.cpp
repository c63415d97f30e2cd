// Whole runs that close gaps a sample of product mutants slipped through:
// exactly one missing dependency, a start with SIGCHLD ignored, working
// directories at the length limit, and the order of our console lines
// against the CLI's own output on one pipe. (A drive log whose close fails
// is a row of the fault matrix.)
#include <filesystem>

#include "harness.h"

using namespace e2e;

namespace {

class Gaps : public E2E {};

const std::string kDisk =
    "device 0 0 sas vendor \"ACMEDRV \" product \"DK300SA0006     \" rev \"0003\" serial \"S0M1ABCD0000C1234567\"\n";
const std::string kDiskSaving = "Controller 0/ Target 0 : HardDisk Log saving...\n";

// The tool started through a bash script (dir/bin/<name>) that sets things
// up and then execs it: the same process, so signals and status are its own.
// bash, since dash does not pass an ignored SIGCHLD on.
Tool wrapped(const Case& c, const Tool& t, const std::string& name, const std::string& before_exec,
             const std::string& redirect = "") {
    Tool w = t;
    w.program = const_cast<Case&>(c).stand_in(name, "#!/bin/bash\n" + before_exec + "\nexec " + t.program + " \"$@\"" +
                                                        redirect + "\n") +
                "/" + name;
    return w;
}

// A working directory of exactly n characters inside the case directory.
bool set_work_of_length(Case& c, size_t n) {
    std::string rel = "w";
    size_t len = c.dir.size() + 1 + rel.size();
    if (len + 2 > n) return false;
    size_t remaining = n - len;
    while (remaining > 0) {
        size_t part = std::min<size_t>(remaining, 101);
        if (remaining - part == 1) --part;
        rel += "/" + std::string(part - 1, 'd');
        remaining -= part;
    }
    c.set_work(rel);
    return c.work.size() == n;
}

}  // namespace

// One missing dependency is enough to keep the library unbound.
TEST_P(Gaps, ExactlyOneMissingDependency) {
    auto c = make_case();
    c->scenario("controller 0\n" + kDisk);
    std::string bin = c->stand_in("ldd",
                                  "#!/bin/sh\n"
                                  "printf '\\tlibc.so.6 => /bin/sh (0x00007f3a1be00000)\\n'\n"
                                  "printf '\\tlibgone.so.1 => /nonexistent/libgone.so.1 (0x00007f3a1c000000)\\n'\n");
    RunOptions o;
    o.args = {"word"};
    o.path_first = {bin};
    auto r = c->run(o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + red("File is not Found(/nonexistent/libgone.so.1).\n") + kSaving + kReset) << show(r.out);
    EXPECT_TRUE(c->lib_calls().empty());
}

// Started by a parent that ignores SIGCHLD (inherited across exec), the CLI's
// status still counts: every controller log is saved.
TEST_P(Gaps, StartedWithSigchldIgnored) {
    auto c = make_case();
    c->scenario("controller 0\n");
    Tool w = wrapped(*c, T(), "ignore-chld", "trap '' CHLD");
    Case alt(w, "Gaps.Sigchld-" + std::to_string(T().bits));
    alt.scenario("controller 0\ncli exit pdlist 0 3\n");
    auto r = alt.run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run(1, "", {{"pdlist", 0}})) << show(r.out);
    EXPECT_EQ(alt.log("logdperr.txt"), collector_record(six_collectors()[3]));
}

// pwd's answer of 255 characters is taken, one of 256 is refused (never
// cut): the library's path and every command line then no longer fit.
TEST_P(Gaps, WorkingDirectoryAtTheLimit) {
    for (size_t n : {255u, 256u}) {
        SCOPED_TRACE(n);
        auto c = make_case(std::to_string(n));
        c->scenario("controller 0\n" + kDisk);
        if (!set_work_of_length(*c, n)) GTEST_SKIP() << "the build directory path is too long for this case";
        auto r = c->run({"word"});
        EXPECT_EQ(r.status, 0);
        std::string bind = n == 255 ? "File Open Error(" + c->work + "/" + T().lib_name + ").\n"
                                    : "File Open Error(" + T().lib_name + ").\n";
        EXPECT_EQ(r.out, title() + red(bind) + red(" RAID Contoroller is not Found\n") + kReset) << show(r.out);
        EXPECT_TRUE(c->cli_calls().empty());
    }
}

// Console and the CLI's standard error on one pipe: each progress line is
// out before the CLI speaks, each result after it.
TEST_P(Gaps, ConsoleOrderOnOnePipe) {
    auto c = make_case();
    Tool w = wrapped(*c, T(), "one-pipe", "", " 2>&1");
    Case one(w, "Gaps.OnePipe-" + std::to_string(T().bits));
    // Two controllers counted, one declared: every call for controller 1 is
    // refused by the CLI with a message on standard error.
    one.scenario("controller 0\ncli count 2\n");
    auto r = one.run();
    EXPECT_EQ(r.status, 0);
    // The 32-bit tool's preload shim is refused by the 64-bit children, each
    // time with a message of the loader: taken out.
    std::string out = r.out;
    for (size_t at; (at = out.find("ERROR: ld.so: object")) != std::string::npos;) {
        size_t end = out.find("ignored.\n", at);
        ASSERT_NE(end, std::string::npos) << show(out);
        out.erase(at, end + 9 - at);
    }
    const std::string refusal = "\nAdapter 1: No such adapter. Controller count is 1.\n\nExit Code: 0x01\n";
    std::string want = title() + kSaving;
    for (auto& col : six_collectors())
        want += collector_ok(col, 0) + "Controller 1 : " + col.progress + " saving...\n" + refusal +
                red(" " + col.what + " save error !\n\n");
    want += red("Controller 1 : Controller Information Get Error. 00008002\n");
    want += "\n" + collector_ok(event_collector(), 0) + "Controller 1 : FlashROM Log saving...\n" +
            red(" FlashROM Log save error !\n\n") + kReset;
    EXPECT_EQ(out, want) << show(out);
}

INSTANTIATE_TEST_SUITE_P(Both, Gaps, ::testing::ValuesIn(tools()), tool_param_name);
