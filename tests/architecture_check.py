#!/usr/bin/env python3
"""The folder picture holds: no folder includes a folder above it, the plain libraries
(tendrix_<folder> without _widgets) include no Qt Widgets header, directly or through a
project header, and a folder's code is in namespace tendrix::<folder> (or one nested in it;
another folder's namespace only for forward declarations).

    architecture_check.py SOURCE_DIR BUILD_DIR

BUILD_DIR's compile_commands.json says which library each source file is built into.
"""
import json
import os
import re
import sys

# Bottom layer first; the same order as the top CMakeLists.txt.
FOLDERS = ["common", "store", "context", "ui", "desktop", "voice", "platform_api", "printing",
           "capture", "input", "accounts", "checkout", "settings", "app", "plugins", "sandbox",
           "tools"]
RANK = {f: i for i, f in enumerate(FOLDERS)}
# Libraries that are windows by design.
WIDGET_LIBRARIES = {"tendrix_ui", "tendrix_app"}
INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.M)
# Comments, string and character literals, preprocessor lines: blanked before namespaces are read.
NOISE = re.compile(r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"'
                   r"|'(?:\\.|[^'\\\n])*'|^[ \t]*#(?:[^\n]*\\\n)*[^\n]*", re.S | re.M)
NS_TOKEN = re.compile(r'\bnamespace\s+([A-Za-z_][\w:]*)?\s*([{=])|[{}]')
FORWARD_ONLY = re.compile(r'^(\s*((class|struct)\s+\w+|enum\s+class\s+\w+(\s*:\s*[\w:]+)?)\s*;)*\s*$')


def widget_headers():
    for base in ("/usr/include/x86_64-linux-gnu/qt6/QtWidgets", "/usr/include/qt6/QtWidgets"):
        if os.path.isdir(base):
            return {n for n in os.listdir(base) if not n.endswith(".h")}
    return set()


def includes(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return INCLUDE.findall(f.read())
    except OSError:
        return []


def namespace_problems(path, shown, folder):
    """Named namespace blocks in the file that are neither tendrix::<folder> (or nested in it)
    nor forward declarations only."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = NOISE.sub(lambda m: " " * len(m.group(0)), f.read())
    own = "tendrix::" + folder
    stack = []  # full name of each open namespace block, None for other braces
    problems = []
    for m in NS_TOKEN.finditer(text):
        if m.group(0) == "{":
            stack.append(None)
        elif m.group(0) == "}":
            if stack:
                stack.pop()
        elif m.group(2) == "{":
            outer = next((n for n in reversed(stack) if n), "")
            if m.group(1) is None:  # anonymous: stays in the enclosing namespace
                stack.append(outer or None)
                continue
            name = f"{outer}::{m.group(1)}" if outer else m.group(1)
            stack.append(name)
            if outer and (outer == own or outer.startswith(own + "::")):
                continue
            if name == own or name.startswith(own + "::"):
                continue
            # Another namespace: only forward declarations inside.
            depth, i = 1, m.end()
            while i < len(text) and depth:
                depth += {"{": 1, "}": -1}.get(text[i], 0)
                i += 1
            if not FORWARD_ONLY.match(text[m.end():i - 1]):
                line = text.count("\n", 0, m.start()) + 1
                problems.append(f"{shown}:{line}: namespace {name}, not {own}")
    return problems


def main():
    src, build = sys.argv[1], sys.argv[2]
    problems = []

    # 1. Include edges.
    for folder in FOLDERS:
        for dirpath, _, names in os.walk(os.path.join(src, folder)):
            for name in names:
                if not name.endswith((".h", ".cpp", ".c")):
                    continue
                path = os.path.join(dirpath, name)
                for kind, target in includes(path):
                    top = target.split("/")[0]
                    if kind == '"' and top in RANK and RANK[top] > RANK[folder]:
                        problems.append(f"{os.path.relpath(path, src)}: includes {target}, "
                                        f"a folder above {folder}/")

    # 2. One namespace per folder.
    for folder in FOLDERS:
        for dirpath, _, names in os.walk(os.path.join(src, folder)):
            for name in names:
                if name.endswith((".h", ".cpp", ".c")):
                    path = os.path.join(dirpath, name)
                    problems += namespace_problems(path, os.path.relpath(path, src), folder)

    # 3. No Qt Widgets in the plain libraries.
    qt_widgets = widget_headers()
    if not qt_widgets:
        print("cannot check Qt Widgets: no QtWidgets include folder", file=sys.stderr)
        return 77
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    seen = {}

    def widget_use(path):
        if path in seen:
            return seen[path]
        seen[path] = None
        found = None
        for kind, target in includes(path):
            name = target.split("/")[-1]
            if kind == "<" and (target.startswith("QtWidgets/") or name in qt_widgets):
                found = [target]
                break
            if kind == '"' and target.split("/")[0] in RANK:
                header = os.path.join(src, target)
                if os.path.isfile(header):
                    below = widget_use(header)
                    if below:
                        found = [target] + below
                        break
        seen[path] = found
        return found

    for e in entries:
        m = re.search(r"CMakeFiles/([A-Za-z0-9_]+)\.dir/", e.get("output", e.get("command", "")))
        if not m:
            continue
        library = m.group(1)
        if (not library.startswith("tendrix_") or library.endswith("_widgets")
                or library.endswith("_autogen") or library in WIDGET_LIBRARIES):
            continue
        path = e["file"]
        if not path.startswith(src) or "/tests/" in path or "_autogen/" in path:
            continue
        chain = widget_use(path)
        if chain:
            problems.append(f"{os.path.relpath(path, src)} ({library}): Qt Widgets through "
                            + " -> ".join(chain))

    for p in problems:
        print(p)
    print(f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
