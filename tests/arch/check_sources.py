#!/usr/bin/env python3
"""Source rules that no compiler checks.

boundary: windowing (SDL) and process-starting calls appear only under src/platform/.
layers:   a library's #include lines name only itself and the libraries before it in the
          layer order (lowest first) that it links, so a call up the layers, or into a library
          it does not link, cannot creep in; and it links only libraries before it.
self-test: both checks run on a small made-up tree that breaks each rule once, and on one
          that keeps them, and must tell the two apart.

Usage: check_sources.py boundary SRC_DIR
       check_sources.py layers SRC_DIR LIB[=DEP,DEP...]...   (lowest first; DEP: what LIB
                                                              links directly)
       check_sources.py self-test
Prints one line per breach and exits 1 when there is any.
"""
import os
import re
import sys
import tempfile

SOURCE_EXT = (".h", ".hpp", ".c", ".cc", ".cpp")

# SDL names and headers; the C library's ways of starting a process.
FORBIDDEN = [
    (re.compile(r"\bSDL_\w+|[<\"]SDL2?/"), "SDL"),
    (re.compile(r"(?<![\w.>])(?:std::|::)?(?:posix_spawnp?|fork|vfork|popen|system|daemon|"
                r"execl|execlp|execle|execv|execvp|execve|execvpe|fexecve)\s*\("),
     "process start"),
    (re.compile(r"#\s*include\s*<spawn\.h>"), "process start"),
]

INCLUDE = re.compile(r"^\s*#\s*include\s*[<\"]([A-Za-z0-9_]+)/")


def strip_comments(text):
    """The code with comments and literals blanked; #include lines and line numbers kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        at_line_start = i == 0 or text[i - 1] == "\n"
        if at_line_start and re.match(r"[ \t]*#[ \t]*include", text[i:i + 40]):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(text[i:j])
            i = j
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1 if j < n and text[j] == c else j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def sources(root):
    for base, dirs, files in os.walk(root):
        dirs.sort()
        for f in sorted(files):
            if f.endswith(SOURCE_EXT):
                yield os.path.join(base, f)


def check_boundary(src):
    breaches = []
    platform = os.path.join(src, "platform") + os.sep
    for path in sources(src):
        if path.startswith(platform):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            code = strip_comments(f.read())
        for no, line in enumerate(code.split("\n"), 1):
            for pattern, what in FORBIDDEN:
                for m in pattern.finditer(line):
                    breaches.append(f"{os.path.relpath(path, src)}:{no}: {what} outside src/platform: "
                                    f"{m.group(0).strip()}")
    return breaches


def parse_layers(args):
    """Order of the libraries and what each links, directly and through the libraries it links."""
    order, direct = [], {}
    for arg in args:
        lib, _, deps = arg.partition("=")
        order.append(lib)
        direct[lib] = [d for d in deps.split(",") if d]
    closure = {}
    for lib in order:
        seen, todo = set(), list(direct[lib])
        while todo:
            d = todo.pop()
            if d not in seen:
                seen.add(d)
                todo.extend(direct.get(d, []))
        closure[lib] = seen
    return order, direct, closure


def check_layers(src, args):
    breaches = []
    order, direct, closure = parse_layers(args)
    rank = {lib: i for i, lib in enumerate(order)}
    for lib in order:
        for d in direct[lib]:
            if d in rank and rank[d] >= rank[lib]:
                breaches.append(f"{lib} links {d}, which is not below it")
        folder = os.path.join(src, lib)
        if not os.path.isdir(folder):
            continue
        for path in sources(folder):
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = f.read().split("\n")
            for no, line in enumerate(lines, 1):
                m = INCLUDE.match(line)
                if not m or m.group(1) not in rank or m.group(1) == lib:
                    continue
                used = m.group(1)
                where = f"{os.path.relpath(path, src)}:{no}: {lib} includes {used}"
                if rank[used] > rank[lib]:
                    breaches.append(f"{where}, which is above it")
                elif used not in closure[lib]:
                    breaches.append(f"{where}, which it does not link")
    return breaches


def self_test():
    good = {
        "platform/src/window.cpp": '#include <SDL2/SDL.h>\nvoid f() { SDL_Quit(); posix_spawnp(0, 0, 0, 0, 0, 0); }\n',
        "files/src/a.cpp": ('#include "files/a.h"\n#include "platform/spawn.h"\n'
                            '// posix_spawn( and SDL_Init( in a comment do not count\n'
                            'const char* s = "system(";\nint file_system(int);\nvoid before_fork();\n'
                            'void g() { file_system(1); before_fork(); obj.system(); p->fork(); }\n'),
        "shell/src/b.cpp": '#include "widgets/butn.h"\n#include "shell/b.h"\n/* SDL_ShowCursor(0) */\n',
    }
    bad = dict(good)
    bad.update({
        "shell/src/c.cpp": '#include <SDL2/SDL.h>\nvoid c() { SDL_ShowCursor(0); }\n',
        "files/src/d.cpp": '#include <spawn.h>\nint d() { return std::system("x") + execvp("a", 0); }\n',
        "files/src/e.cpp": '#include "engine/master.h"\n',
        "widgets/src/f.cpp": '#  include <shell/keys.h>\n',
        "shell/src/g.cpp": '#include "engine/install.h"\n',
    })
    good_links = ["platform", "files=platform", "engine=files", "widgets=files", "shell=widgets"]
    bad_links = good_links[:-1] + ["shell=widgets,engine", "extra=shell,late", "late"]
    failures = []
    bad_boundary = ["files/src/d.cpp:1: process start", "files/src/d.cpp:2: process start outside src/platform: std::system(",
                    "files/src/d.cpp:2: process start outside src/platform: execvp(",
                    "shell/src/c.cpp:1: SDL", "shell/src/c.cpp:2: SDL outside src/platform: SDL_ShowCursor"]
    bad_layers = ["files/src/e.cpp:1: files includes engine, which is above it",
                  "widgets/src/f.cpp:1: widgets includes shell, which is above it",
                  "shell/src/g.cpp:1: shell includes engine, which it does not link"]
    cases = (("good", good, [], good_links, []),
             ("bad", bad, bad_boundary, good_links, bad_layers),
             ("badly linked", good, [], bad_links, ["extra links late, which is not below it"]))
    for name, tree, want_boundary, links, want_layers in cases:
        with tempfile.TemporaryDirectory() as root:
            for rel, text in tree.items():
                os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
                with open(os.path.join(root, rel), "w") as f:
                    f.write(text)
            for check, got, want in (("boundary", check_boundary(root), want_boundary),
                                     ("layers", check_layers(root, links), want_layers)):
                missed = [w for w in want if not any(g.startswith(w) for g in got)]
                if missed or len(got) != len(want):
                    failures.append(f"{name} tree, {check}: found {got}, expected {want}")
    return failures


def main(argv):
    if len(argv) >= 3 and argv[1] == "boundary":
        breaches = check_boundary(argv[2])
    elif len(argv) >= 4 and argv[1] == "layers":
        breaches = check_layers(argv[2], argv[3:])
    elif len(argv) == 2 and argv[1] == "self-test":
        breaches = self_test()
    else:
        print(__doc__)
        return 2
    for b in breaches:
        print(b)
    print(f"{argv[1]}: {len(breaches)} breach(es)")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
