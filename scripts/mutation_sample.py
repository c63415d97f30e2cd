#!/usr/bin/env python3
"""A random sample of mutants of the report's code, each built and tested.

    scripts/mutation_sample.py --seed N --count 40 --worktree DIR --build DIR --out results.jsonl

Each mutant is one small change of one line of report/{base,read,decode,judge,write}
or report/main.cpp, made in a worktree of HEAD (never in this checkout). It is
"caught" when report_unit or golden.sh fails or runs out of time, "survived" when
both pass and "nobuild" when it does not compile. One JSON line per mutant.
"""
import argparse, json, os, random, re, signal, subprocess, sys, time

STAGES = ("base", "read", "decode", "judge", "write")
TARGETS = ["report_unit", "logdump-report"]
NICE = ["nice", "-n", "10"]


def mask(text):
    """TEXT with comments blanked and string and character literals as S, same length."""
    out, i, n = list(text), 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out[i:j] = " " * (j - i)
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out[i:j] = [ch if ch == "\n" else " " for ch in text[i:j]]
        elif c == "R" and text.startswith('R"', i) and not (i and (text[i - 1].isalnum() or text[i - 1] == "_")):
            d = text[i + 2:text.index("(", i)]
            j = text.index(")" + d + '"', i) + len(d) + 2
            out[i:j] = [ch if ch == "\n" else "S" for ch in text[i:j]]
        elif c in "\"'" and not (c == "'" and i and text[i - 1].isalnum()):  # 1'000 is a digit separator
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j += 1
            out[i:j] = "S" * (j - i)
        else:
            i += 1
            continue
        i = j
    return "".join(out)


# Spaced binary operators only: clang-format spaces them, and never spaces a
# template's <...>, ->, <<, >> or <=> that way.
SWAPS = [("relational", {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}),
         ("arithmetic", {"+": "-", "-": "+", "*": "/", "/": "*"}),
         ("logical", {"&&": "||", "||": "&&"})]
BINARY = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>|\+|-|\*|/)(?= |$)")
NOT = re.compile(r"(?<![\w)\]!])!(?!=)")
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlLzZ]*)(?![\w.'])")
BOOL = re.compile(r"\b(true|false)\b")
NOT_DELETED = {"return", "break", "case", "default", "goto", "using", "typedef", "namespace", "template",
               "friend", "extern", "co_return", "enum", "struct", "class", "union"}
TYPE_WORDS = {"auto", "const", "static", "constexpr", "inline", "virtual", "explicit", "mutable", "bool", "char",
              "int", "void", "double", "float", "long", "short", "unsigned", "signed", "size_t"}
DECLARATION = re.compile(r"[\w:]+(?:[\s*&]+[\w:]+)*[\s*&]+\w+(?:\s*\[[^\]]*\])?(?:\s*,\s*[*&]*\w+)*")


def is_declaration(code):
    """Whether a statement CODE (masked) declares something rather than does something."""
    while True:  # template arguments out, innermost first (a < b is spaced and stays)
        shorter = re.sub(r"(?<=\w)<[^<>]*>", "", code)
        if shorter == code:
            break
        code = shorter
    head = re.split(r"[=({;]", code, 1)[0].strip()
    if re.match(r"(throw|delete|continue)\b", head) or " << " in head or " >> " in head:
        return False
    return head.startswith("~") or re.match(r"\w*", head).group(0) in TYPE_WORDS or bool(DECLARATION.fullmatch(head))


def groups(code):
    """For each character of CODE, the column of the parenthesis it is in (-1: none)."""
    open_, out = [-1], []
    for i, c in enumerate(code):
        if c in ")]}" and len(open_) > 1:
            open_.pop()
        out.append(open_[-1])
        if c in "([{":
            open_.append(i)
    return out


def candidates(line, code, prev):
    """Every mutation of one line: (operator, start, end, replacement); CODE is the masked line."""
    s = code.strip()
    if not s or s.startswith("#") or "static_assert" in code:
        return []
    found, group = [], groups(code)
    texts = {group[i] for i, c in enumerate(code) if c == "S"}
    for m in BINARY.finditer(code):
        if m.group(1) in "+-" and (group[m.start(1)] in texts or code[m.end(1) + 1:].startswith("std::")):
            continue  # text joined, not numbers added
        for name, table in SWAPS:
            if m.group(1) in table:
                found.append((name, m.start(1), m.end(1), table[m.group(1)]))
    found += [("logical", m.start(), m.end(), "") for m in NOT.finditer(code)]
    for m in NUMBER.finditer(code):
        text = m.group(1).replace("'", "")
        if len(text) > 1 and text[0] == "0" and text[1] not in "xX":
            continue  # octal, which the code does not use
        v = int(text, 0)
        v = 1 if v == 0 else 0 if v == 1 else v + 1
        new = (f"0x{v:0{len(text) - 2}x}" if text[1:2] in ("x", "X") else str(v)) + m.group(2)
        found.append(("constant", m.start(1), m.end(), new))
    for m in BOOL.finditer(code):
        found.append(("boolean", m.start(), m.end(), "false" if m.group(1) == "true" else "true"))
    first = re.match(r"\w*", s).group(0)
    if (s.endswith(";") and not s.startswith("}") and first not in NOT_DELETED and (not prev or prev[-1] in ";{}:")
            and all(s.count(a) == s.count(b) for a, b in ("()", "{}", "[]")) and not is_declaration(s)
            and not re.search(r"= (default|delete);$", s)):
        found.append(("delete", 0, len(line), ""))
    return found


def enumerate_mutants(root):
    """All (file, line number, operator, start, end, replacement) of the report's sources, by line."""
    lines = []
    names = [f"report/{d}/{f}" for d in STAGES for f in sorted(os.listdir(f"{root}/report/{d}"))
             if f.endswith((".cpp", ".h"))] + ["report/main.cpp"]
    for name in names:
        text = open(f"{root}/{name}", encoding="utf-8").read()
        prev = ""
        for no, (line, code) in enumerate(zip(text.split("\n"), mask(text).split("\n")), 1):
            found = candidates(line, code, prev)
            if found:
                lines.append((name, no, found))
            if code.strip():
                prev = code.strip()
    return lines


def run(cmd, cwd, timeout, log):
    """Exit status of CMD (None when out of time), its output appended to LOG; the whole group is killed."""
    with open(log, "a") as f:
        f.write(f"$ {' '.join(cmd)}\n")
        f.flush()
        p = subprocess.Popen(cmd, cwd=cwd, stdout=f, stderr=subprocess.STDOUT, start_new_session=True)
        try:
            return p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        finally:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--seed", type=int, required=True)
    ap.add_argument("--count", type=int, default=40)
    ap.add_argument("--worktree", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", required=True)
    a = ap.parse_args()
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    wt, build = os.path.abspath(a.worktree), os.path.abspath(a.build)
    log = os.path.splitext(os.path.abspath(a.out))[0] + ".log"
    if os.geteuid() != 0:
        sys.exit("golden.sh collects in a private mount namespace: run as root")
    if not os.path.isdir(wt):
        subprocess.run(["git", "-C", repo, "worktree", "add", "--detach", wt, "HEAD"], check=True)
    if not os.path.exists(f"{build}/CMakeCache.txt"):
        subprocess.run(NICE + ["cmake", "-S", wt, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                               "-DLOGDUMP_WERROR=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["git", "-C", wt, "checkout", "--", "report"], check=True)
    build_cmd = NICE + ["cmake", "--build", build, "--target"] + TARGETS + ["-j1"]
    if run(build_cmd[:-1] + ["e2e-collect", "-j1"], wt, None, log) != 0:
        sys.exit(f"the unmutated worktree does not build; see {log}")

    def tests():
        """The first of the tests that fails or runs out of time, None when all pass."""
        if run(NICE + [f"{build}/report/report_unit"], wt, 300, log) != 0:
            return "report_unit"
        # golden.sh as report/CMakeLists.txt registers report.golden.
        golden = ["bash", "report/tests/golden.sh", f"{build}/report/logdump-report", f"{build}/e2e-collect", wt]
        return "golden" if run(NICE + golden, wt, 600, log) != 0 else None

    began = time.time()
    if tests():
        sys.exit(f"the unmutated worktree fails its tests; see {log}")
    print(f"unmutated: built and passed in {time.time() - began:.0f} s", flush=True)

    rng = random.Random(a.seed)
    lines = enumerate_mutants(wt)
    picks = rng.sample(lines, min(a.count, len(lines)))
    # Ctrl-C and SIGTERM end the run in the finally below, which restores the file.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    with open(a.out, "w") as out:
        for index, (name, no, found) in enumerate(picks, 1):
            op, start, end, new = rng.choice(found)
            path = f"{wt}/{name}"
            text = open(path, encoding="utf-8").read().split("\n")
            original = text[no - 1]
            mutated = original[:start] + new + original[end:]
            began, stage = time.time(), None
            try:
                text[no - 1] = mutated
                open(path, "w", encoding="utf-8").write("\n".join(text))
                if run(build_cmd, wt, 3600, log) != 0:
                    outcome = "nobuild"
                else:
                    stage = tests()
                    outcome = "caught" if stage else "survived"
            finally:
                subprocess.run(["git", "-C", wt, "checkout", "--", name], check=True)
            rec = {"index": index, "file": name, "line": no, "original": original, "mutated": mutated,
                   "operator": op, "outcome": outcome, "caught_by": stage, "seconds": round(time.time() - began)}
            out.write(json.dumps(rec) + "\n")
            out.flush()
            print(f"{index:3} {outcome:8} {name}:{no} {op}", flush=True)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit("interrupted; the mutated file was restored")
