#!/usr/bin/env python3
"""Fails when the modules of a source folder include each other in a cycle.

Usage: check_include_cycles.py ROOT FOLDER

A module is a header and the sources that implement it: x.h with x.cpp, and also a source
without a header of its own that defines members of a class declared in one of the folder's
headers (export_button.cpp defines CAuditorExtras's members, so it belongs to
dialog_aids.h), or else whose name starts with a header's name (tavrin_dlg_import.cpp belongs
to tavrin_dlg.h). A test (x_test.cpp) is a module of its own: nothing includes it. Module A
depends on B when any file of A includes a header of B. Includes are the quoted ones,
relative to ROOT. Prints each cycle with the includes that close it and exits 1; prints
nothing and exits 0 without one.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
CLASS = re.compile(r'^\s*(?:class|struct)\s+(?:\w+\s+)?([A-Z]\w*)\s*(?:final\s*)?[:{]', re.M)
# A member defined at file scope: "void CFoo::Bar(", "CFoo::CFoo(", "CFoo::~CFoo(".
MEMBER = re.compile(r'^(?:[\w:<>,]+[\s*&]+)*([A-Z]\w*)::~?\w+\(', re.M)


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def collect(root, folder):
    files = {}
    for dirpath, _, names in os.walk(os.path.join(root, folder)):
        for name in names:
            if name.endswith((".h", ".cpp")):
                full = os.path.join(dirpath, name)
                files[os.path.relpath(full, root).replace(os.sep, "/")] = read(full)
    return files


def modules_of(files):
    headers = {p[:-2]: p for p in files if p.endswith(".h")}
    declared = {}
    for path in headers.values():
        for name in CLASS.findall(files[path]):
            declared.setdefault(name, path[:-2])
    module = {}
    for path, text in files.items():
        stem = path.rsplit(".", 1)[0]
        # A test is a module of its own: nothing includes it.
        if path.endswith(".h") or stem in headers or stem.endswith("_test"):
            module[path] = stem
            continue
        owners = [declared[c] for c in MEMBER.findall(text) if c in declared]
        prefixes = [h for h in headers if stem.startswith(h + "_")]
        if owners:
            module[path] = owners[0]
        elif prefixes:
            module[path] = max(prefixes, key=len)
        else:
            module[path] = stem
    return module


def edges_of(files, module):
    edges = {}
    for path, text in files.items():
        for included in INCLUDE.findall(text):
            if included in files and module[included] != module[path]:
                edges.setdefault(module[path], {}).setdefault(module[included], (path, included))
    return edges


def strongly_connected(nodes, edges):
    index, low, stack, on_stack, result = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        # Iterative Tarjan: deep include chains must not hit the recursion limit.
        work = [(v, iter(edges.get(v, {})))]
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        while work:
            node, children = work[-1]
            advanced = False
            for w in children:
                if w not in index:
                    index[w] = low[w] = counter[0]
                    counter[0] += 1
                    stack.append(w)
                    on_stack.add(w)
                    work.append((w, iter(edges.get(w, {}))))
                    advanced = True
                    break
                if w in on_stack:
                    low[node] = min(low[node], index[w])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    component.append(w)
                    if w == node:
                        break
                if len(component) > 1:
                    result.append(sorted(component))

    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return result


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    root, folder = argv[1], argv[2]
    files = collect(root, folder)
    if not files:
        print(f"no sources under {os.path.join(root, folder)}", file=sys.stderr)
        return 2
    module = modules_of(files)
    edges = edges_of(files, module)
    cycles = strongly_connected(set(module.values()), edges)
    for component in cycles:
        members = set(component)
        print("include cycle among: " + ", ".join(component))
        for a in component:
            for b, (path, included) in sorted(edges.get(a, {}).items()):
                if b in members:
                    print(f"  {path} includes {included}")
    return 1 if cycles else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
