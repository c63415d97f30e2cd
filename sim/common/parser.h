// Inside the scenario parser: the table that every statement is read
// through, the "key value" reader, and the number forms that several
// statements share. parser.cpp holds the statements about controllers,
// devices and their data; rules.cpp those of the fault rules.
#pragma once

#include <algorithm>
#include <set>
#include <span>
#include <string>

#include "lexer.h"
#include "scenario.h"

namespace sim {

struct ParseState {
    Scenario& sc;
    std::string baseDir;  // page-file and smart-file names are relative to it
    int line = 0;
    std::set<unsigned> declaredControllers{};
};

// One statement: its first token, its usage (shown when its tokens or keys
// are wrong), the tokens it takes with its name (at least that many when
// "key value" pairs may follow, else exactly), and the function that reads it.
struct Statement {
    const char* name;
    const char* usage;
    size_t tokens;
    bool keyed;
    void (*read)(ParseState& ps, const Tokens& t, const Statement& self);
};

// Finds t[pos] in the table, checks the token count and reads the statement;
// refuses an unknown name as "unknown <what> 'NAME'".
void dispatch(std::span<const Statement> table, const char* what, size_t pos, ParseState& ps, const Tokens& t);

// One key of a keyed statement and what its value sets. A statement that
// lacks a required key is refused, naming all of them ("missing A or B").
template <class Target>
struct Key {
    const char* name;
    void (*set)(Target& target, const std::string& value);
    bool required = false;
};

// Reads the pairs from t[first] on. `noun` goes into the refusal of an
// unknown key: "unknown <noun>key 'K'".
template <class Target>
void read_keys(Target& target, const Tokens& t, size_t first, std::span<const Key<Target>> keys, const Statement& st,
               const std::string& noun) {
    std::set<std::string> seen;
    for (size_t i = first; i < t.size(); i += 2) {
        if (i + 1 >= t.size()) fail("key '" + t[i] + "' without a value; usage: " + st.usage);
        auto k = std::find_if(keys.begin(), keys.end(), [&](const Key<Target>& key) { return t[i] == key.name; });
        if (k == keys.end()) fail("unknown " + noun + "key '" + t[i] + "'; usage: " + st.usage);
        k->set(target, t[i + 1]);
        seen.insert(k->name);
    }
    std::string required;
    bool lacking = false;
    for (const auto& k : keys) {
        if (!k.required) continue;
        required += (required.empty() ? "" : " or ") + std::string(k.name);
        lacking = lacking || !seen.count(k.name);
    }
    if (lacking) fail("missing " + required + "; usage: " + st.usage);
}

unsigned ctrl_index(const std::string& tok);
uint16_t device_id(const std::string& tok);

// The controller c, declared by this call when it is not yet.
Controller& ensure_controller(ParseState& ps, unsigned c);
// A device declared on an earlier line; refuses one that is not.
Device& existing_device(ParseState& ps, const std::string& ctok, const std::string& itok);

// What the controller says of its arrays, drives and events: vd, pd,
// adapter, event (controller_statements.cpp).
void read_virtual_drive(ParseState& ps, const Tokens& t, const Statement& st);
void read_drive_view(ParseState& ps, const Tokens& t, const Statement& st);
void read_adapter(ParseState& ps, const Tokens& t, const Statement& st);
void read_event(ParseState& ps, const Tokens& t, const Statement& st);

// The rule statements: fault, ata-error, delay, transfer.
void read_rule(ParseState& ps, const Tokens& t, const Statement& st);

}  // namespace sim
