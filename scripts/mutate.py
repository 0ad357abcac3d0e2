#!/usr/bin/env python3
"""Mutation check: makes one small change at a time in the library's sources,
rebuilds, runs the test binaries that link the changed folder and counts the
change as killed when any of them fails, crashes or runs out of time.

  scripts/mutate.py                 run the committed sample (scripts/mutate-sample.tsv)
  scripts/mutate.py --resample      draw a new sample first (fixed seed)
  scripts/mutate.py --compare A B   per-folder scores of two result files

Each worker has its own copy of the source tree and its own Ninja build under
build/mutate/; the working tree itself is never edited.
"""

import argparse
import collections
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ["platform", "host", "frame", "faultmap", "faultcode", "monitor", "swload", "registry"]
EXCLUDED = {"monitor/monitor_catalogue.h"}  # the catalogue's data table
SAMPLE = ROOT / "scripts" / "mutate-sample.tsv"
WORK = ROOT / "build" / "mutate"
SAMPLE_SIZE = 320
SEED = 20261205
TIME_FACTOR, MIN_LIMIT = 5, 20.0

# ---------------------------------------------------------------- tokenizer

PUNCT = ["<<=", ">>=", "<=>", "->*", "...", "::", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&",
         "||", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", ".*", "##"]
ASSIGN = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
NOT_STATEMENT = {"return", "if", "for", "while", "do", "switch", "case", "default", "break", "continue", "goto",
                 "throw", "delete", "new", "using", "typedef", "static_assert", "template", "class", "struct",
                 "enum", "namespace", "union", "const", "static", "auto", "constexpr", "inline", "explicit",
                 "virtual", "friend", "operator", "else", "try", "catch", "extern", "sizeof", "this"}
CODE_OPENERS = {")", "const", "override", "noexcept", "final", "mutable", "else", "do", "try", "]"}
STRING_PREFIXES = {"R", "u8", "u", "U", "L", "u8R", "uR", "UR", "LR"}
NUMBER = re.compile(r"\.?\d(?:[eEpP][+-]|[\w.'])*")
IDENT = re.compile(r"[A-Za-z_]\w*")
INT_LITERAL = re.compile(r"^(0[xX][0-9a-fA-F]+|[1-9]\d*|0)([uUlLzZ]*)$")
SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&", "+": "-",
         "-": "+", "true": "false", "false": "true"}


class Tok:
    __slots__ = ("kind", "text", "pos", "line", "col")

    def __init__(self, kind, text, pos, line, col):
        self.kind, self.text, self.pos, self.line, self.col = kind, text, pos, line, col


def skip_quoted(src, i):
    """Index just past the string or character literal starting at src[i]."""
    if src[i] == "R" and src[i + 1] == '"':  # raw string R"d(...)d"
        open_paren = src.index("(", i)
        end = src.index(")" + src[i + 2:open_paren] + '"', open_paren)
        return end + open_paren - i
    quote, i = src[i], i + 1
    while i < len(src) and src[i] != quote and src[i] != "\n":
        i += 2 if src[i] == "\\" else 1
    return i + 1


def tokenize(src):
    """Tokens of a C++ source; comments, preprocessor lines and literal contents are skipped."""
    toks, i, line, line_start, at_line_start = [], 0, 1, 0, True
    n = len(src)
    while i < n:
        c = src[i]
        if c == "\n":
            i, line, line_start, at_line_start = i + 1, line + 1, i + 1, True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "#" and at_line_start:  # preprocessor line, with continuations
            while i < n and src[i] != "\n":
                if src[i] == "\\" and src.startswith("\n", i + 1):
                    i, line = i + 2, line + 1
                    line_start = i
                else:
                    i += 1
            continue
        at_line_start = False
        if src.startswith("//", i):
            i = src.find("\n", i) if "\n" in src[i:] else n
            continue
        if src.startswith("/*", i):
            end = src.index("*/", i) + 2
            line += src.count("\n", i, end)
            if "\n" in src[i:end]:
                line_start = src.rindex("\n", i, end) + 1
            i = end
            continue
        col = i - line_start + 1
        m = IDENT.match(src, i)
        if m and m.group() in STRING_PREFIXES and src.startswith(('"', "'"), m.end()):
            start, i = i, m.end()
            i = skip_quoted(src, i - 1 if m.group().endswith("R") else i)
            toks.append(Tok("str", src[start:i], start, line, col))
            if "\n" in src[start:i]:
                line, line_start = line + src.count("\n", start, i), src.rindex("\n", start, i) + 1
            continue
        if c in "\"'":
            start, i = i, skip_quoted(src, i)
            toks.append(Tok("str" if c == '"' else "chr", src[start:i], start, line, col))
            continue
        if m:
            toks.append(Tok("id", m.group(), i, line, col))
            i = m.end()
            continue
        m = NUMBER.match(src, i)
        if m:
            toks.append(Tok("num", m.group(), i, line, col))
            i = m.end()
            continue
        p = next((p for p in PUNCT if src.startswith(p, i)), c)
        toks.append(Tok("punct", p, i, line, col))
        i += len(p)
    return toks


def spaced(src, tok):
    """True when whitespace (or a line end) stands on both sides of the token."""
    before = tok.pos == 0 or src[tok.pos - 1] in " \t\n"
    end = tok.pos + len(tok.text)
    return before and (end >= len(src) or src[end] in " \t\n")


def matching(toks, k):
    """Index of the bracket that closes toks[k]."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    depth = 0
    for j in range(k, len(toks)):
        if toks[j].kind != "punct":
            continue
        if toks[j].text in pairs:
            depth += 1
        elif toks[j].text in pairs.values():
            depth -= 1
            if depth == 0:
                return j
    return None


# ---------------------------------------------------------------- places

def brace_kinds(toks):
    """For each token, whether it stands directly in a function body (code) and at paren depth 0."""
    stack, parens, in_code = [], 0, []
    for k, t in enumerate(toks):
        if t.kind == "punct" and t.text == "{":
            prev = toks[k - 1].text if k else ""
            enclosing = stack[-1] if stack else "scope"
            code = prev in CODE_OPENERS or (prev in {";", "{", "}", ":"} and enclosing == "code")
            stack.append("code" if code else "scope")
        elif t.kind == "punct" and t.text == "}" and stack:
            stack.pop()
        elif t.kind == "punct" and t.text in "([":
            parens += 1
        elif t.kind == "punct" and t.text in ")]":
            parens -= 1
        in_code.append(bool(stack) and stack[-1] == "code" and parens == 0)
    return in_code


def statement_end(toks, k):
    """Index of the ';' ending a single-line call or assignment statement starting at k, else None."""
    j, head_done, is_call = k, False, False
    while j < len(toks):
        t = toks[j]
        if t.line != toks[k].line or t.text in {"default", "delete", "{", "}"}:
            return None
        if t.text in "([" and t.kind == "punct":
            if not head_done and t.text == "(":
                head_done, is_call = True, True
            j = matching(toks, j)
            if j is None:
                return None
        elif t.text == ";":
            return j if is_call else None
        elif t.text in {")", "]"}:
            return None
        elif not head_done:
            if t.text in ASSIGN:
                head_done, is_call = True, True
            elif t.kind == "id" and j > k and toks[j - 1].kind == "id":
                return None  # a declaration: type then name
            elif t.kind != "id" and t.text not in {".", "->", "::"}:
                return None
        j += 1
    return None


def places_in(rel, src):
    toks = tokenize(src)
    lines = src.split("\n")
    in_code = brace_kinds(toks)
    found = []

    def add(t, op, orig, repl):
        found.append((rel, t.line, t.col, op, orig, repl, lines[t.line - 1]))

    for k, t in enumerate(toks):
        prev = toks[k - 1] if k else None
        nxt = toks[k + 1] if k + 1 < len(toks) else None
        if t.kind == "punct" and t.text in SWAPS and spaced(src, t):
            if t.text in "+-" and ((prev and prev.kind == "str") or (nxt and nxt.kind == "str")):
                continue
            op = {"<": "rel", "<=": "rel", ">": "rel", ">=": "rel", "==": "eq", "!=": "eq", "&&": "logic",
                  "||": "logic", "+": "arith", "-": "arith"}[t.text]
            add(t, op, t.text, SWAPS[t.text])
        elif t.kind == "num":
            m = INT_LITERAL.match(t.text)
            pure_virtual = prev and prev.text == "=" and toks[k - 2].text in CODE_OPENERS
            if m and not pure_virtual:
                digits, suffix = m.groups()
                hexa = digits[:2].lower() == "0x"
                value = int(digits, 16 if hexa else 10) + 1
                repl = (digits[:2] + format(value, "X" if digits[2:].isupper() else "x")) if hexa else str(value)
                add(t, "int", t.text, repl + suffix)
        elif t.kind == "id" and t.text in ("true", "false"):
            add(t, "bool", t.text, SWAPS[t.text])
        elif t.kind == "id" and t.text == "if" and nxt and nxt.text == "(":
            close = matching(toks, k + 1)
            if close and not any(x.text == ";" for x in toks[k + 2:close]):
                add(t, "negate-if", "if", "if !")
        if t.kind == "id" and t.text not in NOT_STATEMENT and in_code[k] and prev is not None and (
                prev.text in {";", "{", "}", "else"}):
            end = statement_end(toks, k)
            if end is not None:
                stop = toks[end].pos + 1 - (t.pos - t.col + 1)
                add(t, "delete", lines[t.line - 1][t.col - 1:stop], "{}")
    return found


def library_files(root):
    files = []
    for folder in FOLDERS:
        for p in sorted((root / folder).glob("*")):
            rel = f"{folder}/{p.name}"
            if p.suffix in (".cpp", ".h") and rel not in EXCLUDED:
                files.append(rel)
    return files


def code_lines(text):
    return sum(1 for line in text.split("\n") if line.strip())


def resample():
    by_folder, weight = collections.defaultdict(list), collections.Counter()
    for rel in library_files(ROOT):
        text = (ROOT / rel).read_text()
        folder = rel.split("/")[0]
        weight[folder] += code_lines(text)
        by_folder[folder].extend(places_in(rel, text))
    total = sum(weight.values())
    quota = {f: SAMPLE_SIZE * weight[f] / total for f in weight}
    counts = {f: int(q) for f, q in quota.items()}
    for f in sorted(quota, key=lambda f: quota[f] - counts[f], reverse=True)[:SAMPLE_SIZE - sum(counts.values())]:
        counts[f] += 1
    rng = random.Random(SEED)
    chosen = []
    for folder in FOLDERS:
        pool = by_folder.get(folder, [])
        chosen.extend(sorted(rng.sample(pool, min(counts.get(folder, 0), len(pool)))))
    with open(SAMPLE, "w") as out:
        out.write("# id\tfile\tline\tcol\top\toriginal\treplacement\tline text\n")
        for n, (rel, line, col, op, orig, repl, text) in enumerate(chosen, 1):
            fields = [f"m{n:03d}", rel, str(line), str(col), op, orig, repl, text]
            out.write("\t".join(escape(x) for x in fields) + "\n")
    print(f"sample: {len(chosen)} places from {sum(len(v) for v in by_folder.values())} -> {SAMPLE}")
    for folder in FOLDERS:
        print(f"  {folder:10} {weight[folder]:6} lines  {counts.get(folder, 0):4} places")


def escape(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t")


def unescape(s):
    return re.sub(r"\\(.)", lambda m: "\t" if m.group(1) == "t" else m.group(1), s)


def read_sample():
    entries = []
    for raw in SAMPLE.read_text().split("\n"):
        if raw and not raw.startswith("#"):
            mid, rel, line, col, op, orig, repl, text = (unescape(x) for x in raw.split("\t"))
            entries.append(dict(id=mid, file=rel, folder=rel.split("/")[0], line=int(line), col=int(col), op=op,
                                orig=orig, repl=repl, text=text))
    return entries


# ---------------------------------------------------------------- applying a change

def locate(entry, lines):
    """Line number of the entry in today's file (nearest line with the same text), or None when stale."""
    want, col, orig = entry["text"], entry["col"], entry["orig"]
    candidates = [n for n, l in enumerate(lines, 1) if l == want and l[col - 1:col - 1 + len(orig)] == orig]
    return min(candidates, key=lambda n: abs(n - entry["line"])) if candidates else None


def mutated(src, entry, line):
    """The source with the entry's change made at the given line, or None when it does not fit."""
    toks = tokenize(src)
    k = next((k for k, t in enumerate(toks) if t.line == line and t.col == entry["col"]), None)
    if k is None:
        return None
    t = toks[k]
    if entry["op"] == "negate-if":
        close = matching(toks, k + 1)
        if toks[k].text != "if" or close is None:
            return None
        inner, end = toks[k + 1].pos + 1, toks[close].pos
        return src[:inner] + "!(" + src[inner:end] + ")" + src[end:]
    if not src.startswith(entry["orig"], t.pos):
        return None
    return src[:t.pos] + entry["repl"] + src[t.pos + len(entry["orig"]):]


# ---------------------------------------------------------------- build and test

def sh(cmd, cwd=None, timeout=None, env=None):
    """Runs a command in its own process group; returns (exit code, seconds). Exit None: timed out."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        code = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        code = None
    return code, time.monotonic() - start


def sync_tree(dest):
    """Makes dest a copy of the working tree's tracked and new files (unchanged files keep their times)."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split("\0")
    wanted = {f for f in listed if f and (ROOT / f).is_file()}
    for rel in wanted:
        src, dst = ROOT / rel, dest / rel
        if not dst.exists() or dst.read_bytes() != src.read_bytes():
            dst.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(src, dst)
    for path in list(dest.rglob("*")):
        rel = path.relative_to(dest).as_posix()
        if path.is_file() and rel not in wanted:
            path.unlink()


class Worker:
    def __init__(self, n):
        self.dir = WORK / f"w{n}"
        self.src, self.build = self.dir / "src", self.dir / "build"
        self.env = dict(os.environ, TMPDIR=str(self.dir / "tmp"), HOME=str(self.dir / "home"))
        self.env.pop("XDG_CONFIG_HOME", None)
        self.env.pop("PELIX_REGISTRY_DIR", None)
        self.limits = {}

    def configure(self):
        for d in (self.src, self.dir / "tmp", self.dir / "home"):
            d.mkdir(parents=True, exist_ok=True)
        sync_tree(self.src)
        flags = "-O0 -g0"
        subprocess.run(["cmake", "-S", str(self.src), "-B", str(self.build), "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Debug", f"-DCMAKE_CXX_FLAGS_DEBUG={flags}", f"-DCMAKE_C_FLAGS_DEBUG={flags}",
                        "-DPELIX_BUILD_TESTS=ON", "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld",
                        "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"], check=True, stdout=subprocess.DEVNULL)

    def ninja(self, targets, jobs=1):
        return sh(["ninja", "-C", str(self.build), f"-j{jobs}", *targets])[0] == 0

    def command(self, binary):
        """How to run one test binary: a GoogleTest binary, or a fuzz corpus replay."""
        path = str(self.build / BINARY_DIRS[binary] / binary)
        if binary.startswith("replay_fuzz_"):
            return [path, str(self.src / "fuzz" / "corpus" / binary[len("replay_fuzz_"):])]
        return [path, "--gtest_fail_fast", "--gtest_brief=1"]

    def run(self, binary):
        """'pass', 'fail' or 'timeout' for one binary. A run past its limit is tried once more with twice
        the limit, so that a binary slowed by other work on the machine is not counted as a kill."""
        for limit in (self.limits[binary], 2 * self.limits[binary]):
            code, _ = sh(self.command(binary), cwd=self.build / BINARY_DIRS[binary], timeout=limit, env=self.env)
            if code is not None:
                return "pass" if code == 0 else "fail"
        return "timeout"

    def baseline(self, binaries):
        for binary in binaries:
            code, seconds = sh(self.command(binary), cwd=self.build / BINARY_DIRS[binary], timeout=1800, env=self.env)
            if code != 0:
                sys.exit(f"mutate: {binary} fails on the unchanged tree ({self.dir}); fix the tests first")
            self.limits[binary] = max(MIN_LIMIT, TIME_FACTOR * seconds)


BINARY_DIRS = {}  # binary name -> folder of the build tree it is written to


def test_binaries(src):
    """Test binaries of the tree: (GoogleTest binaries, fuzz replays)."""
    gtests = []
    for cml in sorted((src / "tests").glob("*/CMakeLists.txt")):
        for name in re.findall(r"(?:pelix_add_test_binary|add_executable)\((\w+)", cml.read_text()):
            gtests.append(name)
            BINARY_DIRS[name] = f"tests/{cml.parent.name}"
    replays = []
    for f in sorted((src / "fuzz").glob("fuzz_*.cpp")):
        replays.append("replay_" + f.stem)
        BINARY_DIRS["replay_" + f.stem] = "fuzz"
    return gtests, replays


def linked_folders(worker, binary):
    out = subprocess.run(["ninja", "-C", str(worker.build), "-t", "inputs", binary], capture_output=True,
                         text=True, check=True).stdout.split()
    return {m.group(1) for p in out for m in [re.match(r"^(\w+)/CMakeFiles/pelix_(\w+)\.dir/", p)]
            if m and m.group(1) == m.group(2) and m.group(1) in FOLDERS}


def plan_binaries(worker, gtests, replays):
    """For each library folder, the binaries to run, in order: its own tests, the other tests, the fuzz
    replays, and the tool's end-to-end tests last."""
    links = {b: linked_folders(worker, b) for b in gtests + replays}
    plan = {}
    for folder in FOLDERS:
        users = [b for b in gtests + replays if folder in links[b] and b != "tools_tests"]
        users.sort(key=lambda b: (b != f"{folder}_tests", b.startswith("replay_")))
        plan[folder] = (users, ["tools_tests"] if "tools_tests" in links and folder in links["tools_tests"] else [])
    return plan


def try_mutant(worker, entry, plan):
    """Outcome of one change: killed / survived / dropped / stale, with a detail."""
    path = worker.src / entry["file"]
    original = path.read_text()
    line = locate(entry, original.split("\n"))
    changed = mutated(original, entry, line) if line else None
    if changed is None:
        return "stale", "not found in today's file", line
    first, last = plan[entry["folder"]]
    try:
        path.write_text(changed)
        for group in (first, last):
            if not group:
                continue
            if not worker.ninja(group):
                return "dropped", "does not compile", line
            for binary in group:
                result = worker.run(binary)
                if result != "pass":
                    return "killed", f"{binary} {result}", line
        return "survived", "", line
    finally:
        path.write_text(original)


# ---------------------------------------------------------------- the run

def describe(entry, line):
    return f"{entry['file']}:{line or entry['line']}:{entry['col']} {entry['op']} '{entry['orig']}' -> '{entry['repl']}'"


def work_queue(entries, chunk=6):
    """Runs of changes in one file (so a file is rebuilt once per change, not twice), taken from the
    folders in turn, so that a run cut short still covers every folder."""
    per_folder = collections.defaultdict(list)
    for rel in sorted({e["file"] for e in entries}):
        same = [e for e in entries if e["file"] == rel]
        for i in range(0, len(same), chunk):
            per_folder[rel.split("/")[0]].append(same[i:i + chunk])
    queue = []
    while any(per_folder.values()):
        for folder in FOLDERS:
            if per_folder.get(folder):
                queue.append(per_folder[folder].pop(0))
    return queue


def run_all(entries, jobs, out_path, resume):
    gtests, replays = test_binaries(ROOT)
    workers = [Worker(n) for n in range(jobs)]
    start = time.monotonic()
    print(f"mutate: building {jobs} private tree(s) under {WORK} ...", flush=True)
    for w in workers:
        w.configure()
    builds = [threading.Thread(target=lambda w=w: w.ninja(gtests + replays + ["pelix"], jobs=max(1, 2 // jobs)))
              for w in workers]
    for t in builds:
        t.start()
    for t in builds:
        t.join()
    for w in workers:
        if not w.ninja(gtests + replays + ["pelix"], jobs=2):
            sys.exit(f"mutate: the unchanged tree does not build in {w.build}")
    print(f"mutate: built in {time.monotonic() - start:.0f} s; running the tests unchanged ...", flush=True)
    checks = [threading.Thread(target=w.baseline, args=(gtests + replays,)) for w in workers]
    for t in checks:
        t.start()
    for t in checks:
        t.join()
    if any(not w.limits for w in workers):
        sys.exit("mutate: the unchanged tree's tests fail")
    plan = plan_binaries(workers[0], gtests, replays)
    print("mutate: time limits (s): " + ", ".join(f"{b} {workers[0].limits[b]:.0f}" for b in workers[0].limits))

    finished = set()
    if resume and out_path.exists():
        finished = set(read_results(out_path)) & {e["id"] for e in entries}
        print(f"mutate: {len(finished)} mutants already done in {out_path}")
    else:
        out_path.write_text("# id\tfolder\toutcome\tchange\tdetail\n")
    queue = work_queue([e for e in entries if e["id"] not in finished])
    lock, before = threading.Lock(), len(finished)
    done = [before]
    t0 = time.monotonic()
    out = open(out_path, "a")

    def work(worker):
        while True:
            with lock:
                if not queue:
                    return
                group = queue.pop(0)
            for entry in group:
                outcome, detail, line = try_mutant(worker, entry, plan)
                with lock:
                    done[0] += 1
                    out.write(f"{entry['id']}\t{entry['folder']}\t{outcome}\t{escape(describe(entry, line))}\t"
                              f"{detail}\n")
                    out.flush()
                    elapsed = time.monotonic() - t0
                    print(f"[{done[0]:3}/{len(entries)} {elapsed:5.0f}s] {entry['id']} {outcome:8} "
                          f"{describe(entry, line)} {detail}", flush=True)

    threads = [threading.Thread(target=work, args=(w,), daemon=True) for w in workers]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    out.close()
    wall = time.monotonic() - t0
    ran = done[0] - before
    print(f"\n{ran} mutants in {wall:.0f} s ({wall / max(ran, 1):.1f} s each, all workers "
          f"together); with setup {time.monotonic() - start:.0f} s")
    summary(read_results(out_path))
    print(f"mutate: results in {out_path}")


def summary(results):
    """Per-folder scores and the survivors of a result file's mutants."""
    per = collections.defaultdict(collections.Counter)
    for folder, outcome, _ in results.values():
        per[folder][outcome] += 1
    print("\nfolder      killed/total  score  dropped  stale")
    all_counts = collections.Counter()
    for folder in FOLDERS:
        all_counts.update(per[folder])
        print(line_of(folder, per[folder]))
    print(line_of("overall", all_counts))
    survivors = sorted((m, change) for m, (_, outcome, change) in results.items() if outcome == "survived")
    print(f"\nsurvivors ({len(survivors)}):")
    for mid, change in survivors:
        print(f"  {mid} {change}")


def line_of(name, c):
    total = c["killed"] + c["survived"]
    score = f"{100 * c['killed'] / total:5.1f}%" if total else "    -"
    return f"{name:10} {c['killed']:4}/{total:<4}     {score}  {c['dropped']:7}  {c['stale']:5}"


def read_results(path):
    res = {}
    for raw in Path(path).read_text().split("\n"):
        if raw and not raw.startswith("#"):
            fields = raw.split("\t")
            res[fields[0]] = (fields[1], fields[2], unescape(fields[3]) if len(fields) > 3 else "")
    return res


def compare(a, b):
    ra, rb = read_results(a), read_results(b)
    scored = ("killed", "survived")
    common = [m for m in ra if m in rb and ra[m][1] in scored and rb[m][1] in scored]
    print(f"{len(common)} mutants scored in both runs ({a} -> {b})")
    print("folder      before            after")
    rows = FOLDERS + ["overall"]
    for folder in rows:
        ids = [m for m in common if folder in ("overall", ra[m][0])]
        ka = sum(ra[m][1] == "killed" for m in ids)
        kb = sum(rb[m][1] == "killed" for m in ids)
        pct = lambda k: f"{100 * k / len(ids):5.1f}%" if ids else "    -"
        print(f"{folder:10} {ka:4}/{len(ids):<4} {pct(ka)}   {kb:4}/{len(ids):<4} {pct(kb)}")
    lost = sorted(m for m in common if ra[m][1] == "killed" and rb[m][1] == "survived")
    gained = sorted(m for m in common if ra[m][1] == "survived" and rb[m][1] == "killed")
    print(f"\nkilled before, surviving now ({len(lost)}): {' '.join(lost) or '-'}")
    print(f"surviving before, killed now ({len(gained)}): {' '.join(gained) or '-'}")


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # a listing cut short by `head` ends quietly
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--resample", action="store_true", help="draw a new sample and write it to " + str(SAMPLE))
    ap.add_argument("--sample-only", action="store_true", help="with --resample: do not run it")
    ap.add_argument("--summary", metavar="FILE", help="scores and survivors of a result file")
    ap.add_argument("--compare", nargs=2, metavar=("A", "B"), help="compare two result files")
    ap.add_argument("--jobs", type=int, default=2, help="workers, each with its own tree (default 2)")
    ap.add_argument("--only", help="comma-separated mutant ids or folders to run")
    ap.add_argument("--resume", action="store_true", help="keep the results already in the result file")
    ap.add_argument("--out", default=str(WORK / "results.tsv"), help="result file (default build/mutate/results.tsv)")
    args = ap.parse_args()
    if args.compare:
        return compare(*args.compare)
    if args.summary:
        return summary(read_results(args.summary))
    if args.resample or not SAMPLE.exists():
        resample()
        if args.sample_only:
            return
    entries = read_sample()
    if args.only:
        keys = set(args.only.split(","))
        entries = [e for e in entries if e["id"] in keys or e["folder"] in keys]
    WORK.mkdir(parents=True, exist_ok=True)
    run_all(entries, args.jobs, Path(args.out), args.resume)


if __name__ == "__main__":
    main()
