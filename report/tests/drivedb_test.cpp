// The drive database: the test file's entries and lookups, each way a file
// can be wrong, expressions matched whole, the choice of file, and Debian's
// shipped database read whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "drivedb.h"
#include "sample_model.h"
#include "util.h"

namespace {

using namespace rpt;

const std::string kTestDb = std::string(LOGPAGES_DIR) + "/drivedb_test.txt";

using test::shown;

TEST(DriveDb, TheTestFileLoadsWithItsFaultsListed) {
    const DriveDb db = load_drivedb(kTestDb);
    EXPECT_EQ(db.error, "");
    EXPECT_EQ(db.source, kTestDb);
    EXPECT_EQ(db.version, "VERSION: 1.0 test");
    ASSERT_EQ(db.entries.size(), 4u);
    EXPECT_EQ(db.entries[2].family, "Halvik HS SSDs");
    EXPECT_EQ(db.entries[2].model, "HALVIK HS[0-9]+\\.[0-9]");
    EXPECT_EQ(db.ignored, 2u);
    ASSERT_EQ(db.skipped.size(), 1u);
    EXPECT_EQ(db.skipped[0].line, 52u);
    EXPECT_EQ(db.skipped[0].family, "Mirrel broken");
    EXPECT_EQ(db.skipped[0].reason, "model expression: Invalid range end");
    EXPECT_EQ(db.unknown_presets(), 3u);
    const DriveSettings& s = db.lookup("CORVANE CT500AB", "CT02");
    EXPECT_EQ(s.warning, "Firmware CT01 to CT03 count \"minutes\":\nupdate to CT04.");
    EXPECT_EQ(s.firmware_bugs, std::vector<std::string>{"xerrorlba"});
    EXPECT_EQ(&db.lookup(" CORVANE CT500AB", "CT02 "), &s);
}

TEST(DriveDb, AnswersOutliveAMoveOfTheDatabase) {
    DriveDb db = load_drivedb(kTestDb);
    const DriveSettings *none = &db.lookup("NOT IN IT", "1"), *some = &db.lookup("TESSARO Q1", "1");
    const DriveDb moved = std::move(db);
    EXPECT_EQ(&moved.lookup("NOT IN IT", "1"), none);
    EXPECT_EQ(&moved.lookup("TESSARO Q1", "1"), some);
    EXPECT_EQ(shown(none->attributes[9]), "raw24(raw8)::Power_On_Hours:any");
    EXPECT_EQ(some->entry, &moved.entries[3]);
}

TEST(DriveDb, TheFirstMatchingEntryAddsToTheDefaults) {
    struct Row {
        const char* name;
        const char* model;
        const char* firmware;
        const char* family;  // "" for no entry
        uint8_t id;
        const char* attribute;
    };
    const Row rows[] = {
        {"the first firmware counts minutes", "CORVANE CT500AB", "CT02", "Corvane Tundra", 9,
         "min2hour::Power_On_Minutes:any"},
        {"a later firmware goes on to the next entry", "CORVANE CT500AB", "CT04", "Corvane Tundra", 9,
         "raw24(raw8)::Power_On_Hours:any"},
        {"the entry's byte order and name", "CORVANE CT1000XY", "CT04", "Corvane Tundra", 197,
         "raw48:543210:Pending_Total:any"},
        {"the defaults where the entry says nothing", "CORVANE CT1000XY", "CT04", "Corvane Tundra", 194,
         "tempminmax::Temperature_Celsius:any"},
        {"blanks around model and firmware", "  CORVANE CT1000XY ", " CT01  ", "Corvane Tundra", 9,
         "min2hour::Power_On_Minutes:any"},
        {"the whole model, not its start", "CORVANE CT500AB1", "CT01", "", 9, "raw24(raw8)::Power_On_Hours:any"},
        {"the whole model, not its end", "XCORVANE CT500AB", "CT01", "", 9, "raw24(raw8)::Power_On_Hours:any"},
        {"escapes in octal and hex", "HALVIK HS12.5", "1", "Halvik HS SSDs", 9,
         "halfmin2hour::Power_On_Half_Minutes:any"},
        {"an escaped dot is a dot", "HALVIK HS12x5", "1", "", 9, "raw24(raw8)::Power_On_Hours:any"},
        {"an attribute for SSDs", "HALVIK HS12.5", "1", "Halvik HS SSDs", 233, "raw24/raw32:04321:Wear_Ratio:ssd"},
        {"a skipped entry matches nothing", "MIRREL M1", "1", "", 9, "raw24(raw8)::Power_On_Hours:any"},
        {"a USB id is no model", "0x1234:0x5678", "", "", 9, "raw24(raw8)::Power_On_Hours:any"},
        {"an unknown format keeps the name", "TESSARO Q9", "1", "Tessaro Q", 9, "unknown format::Odd_Hours:any"},
        {"a default named for disks", "TESSARO Q9", "1", "Tessaro Q", 231, "raw48::Temperature_Celsius:hdd"},
        {"an attribute no preset names", "TESSARO Q9", "1", "Tessaro Q", 100, "raw48:::any"},
    };
    const DriveDb db = load_drivedb(kTestDb);
    for (auto& r : rows) {
        const DriveSettings& s = db.lookup(r.model, r.firmware);
        EXPECT_EQ(s.family, r.family) << r.name;
        EXPECT_EQ(s.entry != nullptr, *r.family != 0) << r.name;
        EXPECT_EQ(shown(s.attributes[r.id]), r.attribute) << r.name;
    }
}

TEST(DriveDb, AFaultyFileSaysWhereAndTheBuiltInDefaultsApply) {
    const std::string ok = "{\"DEFAULT\", \"-\", \"-\", \"\", \"-v 9,minutes\"}";
    const std::string none = testing::TempDir() + "drivedb_none/x.h";  // never made
    const std::string big = testing::TempDir() + "drivedb_big.h";      // a byte past the most read
    std::ofstream(big, std::ios::binary) << std::string((16u << 20) + 1, ' ');
    struct Row {
        const char* name;
        std::string text;  // or a file to read, after '@'
        std::string error;
    };
    const Row rows[] = {
        {"a word outside the strings", ok + "\njunk", "t:2: unexpected character 'j'"},
        {"a byte outside ASCII", ok + "\xff", "t:1: unexpected byte 0xff"},
        {"a string not closed", "{\"DEFAULT\", \"-\n\"", "t:1: string not closed"},
        {"... at the end of the file", "{\"DEFAULT\", \"-", "t:1: string not closed"},
        {"a comment not closed", ok + ",\n/* ...", "t:2: comment not closed"},
        {"four strings", "{\"a\", \"b\", \"c\", \"d\"}", "t:1: the entry has 4 strings, not 5"},
        {"six strings", "{\"a\", \"b\", \"c\", \"d\", \"e\",\n\"f\"}", "t:2: the entry has 6 strings, not 5"},
        {"an unknown escape", "{\"\\q\"", "t:1: unknown escape \\q"},
        {"an escaped control character is not printed", "{\"\\\x1b\"", "t:1: unknown escape \\?"},
        {"a hex escape without digits", "{\"\\xg\"", "t:1: \\x without hex digits"},
        {"a NUL in a string", "{\"a\\0b\"", "t:1: a string holds a NUL character"},
        {"no comma between entries", ok + "\n" + ok, "t:2: expected ',' after the entry"},
        {"no brace", "\"a\"", "t:1: expected '{' to begin an entry"},
        {"an entry not closed", "{\"a\", \"b\"\n", "t:2: expected a string, ',' or '}' in the entry"},
        {"nothing but comments", "/* a */ // b\n", "t:1: no entries"},
        {"a version alone", "{\"VERSION: 1\", \"-\", \"-\", \"\", \"\"}", "t:1: no defaults entry"},
        {"no file asked for", "@", ""},
        {"a missing file", "@" + none, "cannot read " + none + ": No such file or directory"},
        {"a directory", "@/", "cannot read /: Is a directory"},
        {"a file past 16 MiB", "@" + big, "cannot read " + big + ": larger than 16 MiB"},
    };
    for (auto& r : rows) {
        const bool file = r.text.starts_with("@");
        const DriveDb db = file ? load_drivedb(r.text.substr(1)) : parse_drivedb(r.text, "t");
        EXPECT_EQ(db.error, r.error) << r.name;
        EXPECT_EQ(db.source, file ? r.text.substr(1) : "t") << r.name;
        EXPECT_TRUE(db.entries.empty()) << r.name;
        EXPECT_EQ(shown(db.lookup("ANY", "1").attributes[9]), "raw24(raw8):::any") << r.name;
    }
}

TEST(DriveDb, ExpressionsMatchWholeStrings) {
    struct Row {
        const char* name;
        std::string expression;
        const char* text;
        bool match;
        const char* refused = "";
    };
    auto times = [](const std::string& s, size_t n) {
        std::string out;
        while (n--) out += s;
        return out;
    };
    const Row rows[] = {
        {"an alternative in a group", "(A|B)x", "Bx", true},
        {"an empty alternative", "(a|)b", "b", true},
        {"an optional first atom", "a?b", "b", true},
        {"a bound from zero", "x{0,2}y", "y", true},
        {"a bracket opened by ']'", "[]a]b", "]b", true},
        {"a negated bracket", "[^a]b", "cb", true},
        {"a negated bracket refuses its bytes", "[^a]b", "ab", false},
        {"a character class", "[[:digit:]]z", "7z", true},
        {"a word class", "\\w+", "abc", true},
        {"a range first", "[A-C]x", "Bx", true},
        {"a range up to a collating symbol", "[!-[.~.]]x", "}x", true},
        {"anchors in an alternative", "^ab$|cd", "cd", true},
        {"an empty group", "()a", "a", true},
        {"an empty model", "a*", "", true},
        {"a back-reference", "(a)\\1", "aa", false, "back-reference"},
        {"an open group", "(a", "a", false, "unbalanced parentheses"},
        {"a closing parenthesis alone", "a)", "a)", false, "unbalanced parentheses"},
        {"a trailing backslash", "a\\", "a", false, "ends in a backslash"},
        {"a bracket not closed", "[ab", "a", false, "bracket expression not closed"},
        {"repetitions past the limit", "((a{255}){255}){2}", "a", false, "bounded repetitions expand too far"},
        {"groups nested as deep as they may be", std::string(64, '(') + "a" + std::string(64, ')'), "a", true},
        {"groups nested one deeper", std::string(65, '(') + "a" + std::string(65, ')'), "a", false,
         "groups nested too deeply"},
        {"glibc's own refusal", "[z-a]", "a", false, "Invalid range end"},
        // Shapes whose compiled form would take gigabytes.
        {"a run of '+' doubles its atom each time", "a" + std::string(20, '+'), "a", false,
         "the expression expands too far"},
        {"optional parts past the limit", times("a?", 3000), "a", false, "too many alternatives and optional parts"},
        {"alternatives repeated past the limit", "(|a){3000}", "a", false, "too many alternatives and optional parts"},
    };
    for (auto& r : rows) {
        std::string error;
        const auto m = WholeMatch::compile(r.expression, error);
        EXPECT_EQ(error, r.refused) << r.name;
        EXPECT_EQ(m && m->matches(r.text), r.match) << r.name;
    }
}

// Each expression against glibc matching it whole, over every string of up
// to three characters of an alphabet that meets its brackets' edges: the
// bytes a match may begin with, worked out to pass most entries by, never
// leave out a string glibc matches.
TEST(DriveDb, ExpressionsMatchAsGlibcMatchesThem) {
    const char* const expressions[] = {
        "[A-C]x?",  "[^A-C]+",         "[[:digit:]]?B", "[[:alpha:]0-9]+", "(A|[0-9])B?",  "[!-[.~.]]", "[]A-]+",
        "A?[b-c]*", "(x|)[[:upper:]]", "[[=A=]]B",      "[a-]+",           "x*[A-Z]{1,2}", "[~]A",      "[.-]?[0-9]",
    };
    const std::string alphabet = "AB0x]-~.";
    std::vector<std::string> texts = {""};
    for (size_t from = 0, n = 0; n < 3; ++n) {
        const size_t to = texts.size();
        for (size_t i = from; i < to; ++i)
            for (char c : alphabet) texts.push_back(texts[i] + c);
        from = to;
    }
    for (const char* e : expressions) {
        std::string error;
        const auto m = WholeMatch::compile(e, error);
        ASSERT_TRUE(m) << e << ": " << error;
        regex_t re;
        ASSERT_EQ(regcomp(&re, ("^(" + std::string(e) + ")$").c_str(), REG_EXTENDED | REG_NOSUB), 0) << e;
        for (const std::string& t : texts)
            EXPECT_EQ(m->matches(t), regexec(&re, t.c_str(), 0, nullptr, 0) == 0) << e << " against \"" << t << '"';
        regfree(&re);
    }
}

TEST(DriveDb, ADatabasesExpressionsShareOneBudget) {
    // Each within the limits, three together are more than a database may hold.
    std::string text = "{\"DEFAULT\", \"-\", \"-\", \"\", \"\"}";
    for (int i = 0; i < 3; ++i) text += ",\n{\"Family\", \"(a?){1200}\", \"\", \"\", \"\"}";
    const DriveDb db = parse_drivedb(text, "t");
    EXPECT_EQ(db.entries.size(), 2u);
    ASSERT_EQ(db.skipped.size(), 1u);
    EXPECT_EQ(db.skipped[0].line, 4u);
    EXPECT_EQ(db.skipped[0].reason, "model expression: the database's expressions together expand too far");
}

TEST(DriveDb, TheOptionElseTheNewestFile) {
    namespace fs = std::filesystem;
    std::string dir = testing::TempDir() + "drivedb_pick.XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    auto file = [&](const char* name, time_t mtime) {
        const std::string p = dir + "/" + name;
        std::ofstream(p) << "x";
        const struct timespec t[2] = {{mtime, 0}, {mtime, 0}};
        utimensat(AT_FDCWD, p.c_str(), t, 0);
        return p;
    };
    const std::string old = file("old.h", 1000), fresh = file("fresh.h", 2000), twin = file("twin.h", 2000);
    struct Row {
        const char* name;
        std::string given;
        std::vector<std::string> candidates;
        std::string picked;
    };
    const Row rows[] = {
        {"the option wins", "/x/drivedb.h", {old, fresh}, "/x/drivedb.h"},
        {"the newer file", "", {old, fresh}, fresh},
        {"the newer file listed first", "", {fresh, old}, fresh},
        {"a tie goes to the later", "", {fresh, twin}, twin},
        {"a missing file is passed over", "", {dir + "/none.h", old}, old},
        {"a directory is no file", "", {dir}, ""},
        {"none at all", "", {}, ""},
    };
    for (auto& r : rows) EXPECT_EQ(pick_drivedb(r.given, r.candidates), r.picked) << r.name;
    fs::remove_all(dir);
}

bool glibc_matches_whole(const std::string& re, const std::string& s) {
    regex_t r;
    if (regcomp(&r, re.c_str(), REG_EXTENDED) != 0) return false;
    regmatch_t m;
    const bool whole = regexec(&r, s.c_str(), 1, &m, 0) == 0 && m.rm_so == 0 && m.rm_eo == regoff_t(s.size());
    regfree(&r);
    return whole;
}

TEST(DriveDb, DebiansShippedDatabaseLoadsWhole) {
    const std::string path = kDriveDbPaths[0];
    if (access(path.c_str(), R_OK) != 0) GTEST_SKIP() << path << " is missing: Debian's smartmontools ships it";
    const DriveDb db = load_drivedb(path);
    ASSERT_EQ(db.error, "");
    for (auto& s : db.skipped) ADD_FAILURE() << "line " << s.line << " skipped: " << s.reason;
    std::map<std::string, size_t> old_names;
    for (auto& e : db.entries)
        for (auto& a : e.presets.attributes) {
            const std::string word = a.format.spelling.substr(0, a.format.spelling.find(':'));
            if (a.format.format != RawFormat::Unknown && word != format_name(a.format.format)) ++old_names[word];
        }
    // Each entry against a model made from its own expression (drives report
    // theirs without blanks at the ends): the entry's expression must take
    // what glibc takes, and the lookup finds an entry (maybe an earlier one
    // that takes it too).
    size_t sampled = 0, found = 0;
    for (auto& e : db.entries) {
        const std::string model = test::sample(e.model), firmware = e.firmware.empty() ? "1" : test::sample(e.firmware);
        if (model != trim(model) || !glibc_matches_whole(e.model, model) ||
            (!e.firmware.empty() && !glibc_matches_whole(e.firmware, firmware)))
            continue;
        ++sampled;
        EXPECT_TRUE(e.model_re->matches(model)) << "line " << e.line << ": " << e.model << " against " << model;
        found += db.lookup(model, firmware).entry != nullptr;
    }
    std::string olds;
    for (auto& [w, n] : old_names) olds += " " + w + " " + std::to_string(n);
    printf(
        "%s (%s): %zu entries loaded, %zu skipped, %zu not for ATA drives; %zu presets not understood;"
        " old names:%s; %zu of %zu models made from the entries' expressions found an entry\n",
        path.c_str(), db.version.c_str(), db.entries.size(), db.skipped.size(), db.ignored, db.unknown_presets(),
        olds.c_str(), found, sampled);
    EXPECT_EQ(db.unknown_presets(), 0u);
    EXPECT_EQ(found, sampled);
    EXPECT_GT(sampled, db.entries.size() / 2);
}

}  // namespace
