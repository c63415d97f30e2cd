// Binding of the storage library: the library missing from the working
// directory, the dependency list of ldd (paths missing, not found, with a
// blank), a name given with a leading '/', and a library without the entry
// point.
#include "harness.h"

using namespace e2e;

namespace {

class Binding : public E2E {};

}  // namespace

// A library that is not in the working directory: "ldd Command Error.",
// no drive logs; the controller logs are still collected without arguments,
// and with an argument nothing at all is collected.
TEST_P(Binding, MissingLibrary) {
    for (bool args : {false, true}) {
        SCOPED_TRACE(args);
        auto c = make_case(args ? "args" : "noargs");
        c->scenario(kOneDisk);
        c->remove_work_file(T().lib_name);
        auto r = args ? c->run({"word"}) : c->run();
        EXPECT_EQ(r.status, 0);
        std::string expect = args ? title() + red("ldd Command Error.\n") + kSaving + kReset
                                  : full_run(1).insert(title().size(), red("ldd Command Error.\n"));
        EXPECT_EQ(r.out, expect) << show(r.out);
        EXPECT_RESET_LAST(r);
        EXPECT_TRUE(c->lib_calls().empty());
        EXPECT_FALSE(c->exists(c->logdir() + "/MA0000.log"));
        EXPECT_EQ(c->sleeps(), pauses(args ? 0 : 6));
        EXPECT_EQ(c->cli_calls().size(), args ? 1u : 8u);
        if (args) {
            EXPECT_TRUE(c->logs().empty()) << listing(c->logs());
        }
    }
}

// The dependency list of a stand-in ldd earlier on PATH: every listed path
// that does not exist is reported and keeps the library unbound (one is
// enough); a dependency "not found" is not counted (the load is tried and
// fails with the composed path); a path with a blank is taken whole, up to
// the blank before the load address.
TEST_P(Binding, DependencyList) {
    struct Row {
        const char* name;
        std::vector<std::string> lines;  // ldd's output; @ stands for the working directory
        std::string red;                 // the binding messages; @ as above
        bool no_object = false;          // the library is a text file
    };
    const std::string vdso = "\tlinux-vdso.so.1 (0x00007ffc5d3f2000)",
                      libc = "\tlibc.so.6 => /bin/sh (0x00007f3a1be00000)";
    const std::vector<Row> rows = {
        {"missing-paths",
         {vdso, "\tlibgone.so.1 => /nonexistent/lib/libgone.so.1 (0x00007f3a1c000000)", libc,
          "\t/nonexistent/ld-linux.so.2 (0x00007f3a1c200000)"},
         "File is not Found(/nonexistent/lib/libgone.so.1).\nFile is not Found(/nonexistent/ld-linux.so.2).\n"},
        {"one-missing",
         {libc, "\tlibgone.so.1 => /nonexistent/libgone.so.1 (0x00007f3a1c000000)"},
         "File is not Found(/nonexistent/libgone.so.1).\n"},
        {"not-found",
         {vdso, "\tlibmissing.so.3 => not found", libc},
         "File Open Error(@/" + T().lib_name + ").\n",
         true},
        {"blank-in-path", {vdso, "\tlibdep.so.1 => @/dep dir/libdep.so.1 (0x00007f3a1c000000)", libc}, ""},
    };
    auto at_work = [](std::string s, const Case& c) {
        for (size_t at; (at = s.find('@')) != std::string::npos;) s.replace(at, 1, c.work);
        return s;
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneDisk);
        c->write(c->work + "/dep dir/libdep.so.1", "a dependency\n");
        if (row.no_object) c->write(c->work + "/" + T().lib_name, "this is no shared object\n");
        std::string script = "#!/bin/sh\n";
        for (auto& l : row.lines) script += "printf '%s\\n' '" + at_work(l, *c) + "'\n";
        RunOptions o;
        o.args = {"word"};
        o.path_first = {c->stand_in("ldd", script)};
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        const bool bound = row.red.empty();
        EXPECT_EQ(r.out, title() + red_lines(at_work(row.red, *c)) + kSaving + (bound ? Disk{}.saving() : "") + kReset)
            << show(r.out);
        EXPECT_EQ(c->lib_calls().empty(), !bound);
        EXPECT_EQ(c->logs(), bound ? std::vector<std::string>{"MA0000.log"} : std::vector<std::string>{});
        EXPECT_EQ(c->log("MA0000.log"), bound ? kOneDiskLog : "");
    }
}

// -l with a leading '/' is still put behind the working directory, so the
// composed path holds "//" at the join (the stand-in ldd accepts any name).
TEST_P(Binding, LibraryNameWithLeadingSlash) {
    for (bool present : {true, false}) {
        SCOPED_TRACE(present);
        auto c = make_case(present ? "present" : "absent");
        c->scenario(kOneDisk);
        std::string bin = c->stand_in("ldd", "#!/bin/sh\nprintf '%s\\n' \"$@\" > /tmp/ldd_args\nexit 0\n");
        std::string name = present ? "/" + T().lib_name : "/libnone.so";
        RunOptions o;
        o.args = {"-l", name};
        o.path_first = {bin};
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(c->read("/tmp/ldd_args"), name + "\n");
        if (present) {
            EXPECT_EQ(r.out, title() + kSaving + Disk{}.saving() + kReset) << show(r.out);
            EXPECT_EQ(c->log("MA0000.log"), kOneDiskLog);
        } else {
            EXPECT_EQ(r.out, title() + red("File Open Error(" + c->work + "//libnone.so).\n") + kSaving + kReset)
                << show(r.out);
        }
    }
}

// A library without ProcessLibCommand: "Library Load Error(%s).\n" with the
// composed path; the controller logs are collected, the drive logs are not.
TEST_P(Binding, LibraryWithoutEntryPoint) {
    std::string lib = noentry_lib(T());
    ASSERT_NE(lib, "") << "the build has no libraidstor_noentry library of " << T().bits << " bits next to "
                       << T().sim_lib;
    auto c = make_case();
    c->scenario(kOneDisk);
    c->install_lib("", lib);
    auto r = c->run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              full_run(1).insert(title().size(), red("Library Load Error(" + c->work + "/" + T().lib_name + ").\n")))
        << show(r.out);
    EXPECT_RESET_LAST(r);
    EXPECT_TRUE(c->lib_calls().empty());
    EXPECT_EQ(c->sleeps(), pauses(6));
    EXPECT_FALSE(c->exists(c->logdir() + "/MA0000.log"));
}

INSTANTIATE_TEST_SUITE_P(Both, Binding, ::testing::ValuesIn(tools()), tool_param_name);
