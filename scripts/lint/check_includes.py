#!/usr/bin/env python3
"""Fails on an include that crosses into a folder the including library does
not link.

Every include names its folder from the repository root
("wordstore/word_bank.h"). This check reads the build's targets through
CMake's file API (their sources and what they link, directly or not) and
holds each file's includes against them: a file may include headers of the
folders its own target compiles and of the folders of every target that
target links. A header belongs to the target that compiles its sibling .cpp,
or else to every target compiling in its folder.

usage: check_includes.py BUILD_DIR   (a configured build folder)
"""
import json
import os
import re
import subprocess
import sys
from collections import defaultdict

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def codemodel(build):
    query = os.path.join(build, ".cmake", "api", "v1", "query", "codemodel-v2")
    if not os.path.exists(query):
        os.makedirs(os.path.dirname(query), exist_ok=True)
        open(query, "w").close()
        subprocess.run(["cmake", build], check=True, stdout=subprocess.DEVNULL)
    reply = os.path.join(build, ".cmake", "api", "v1", "reply")
    index = sorted(f for f in os.listdir(reply) if f.startswith("index-"))[-1]
    with open(os.path.join(reply, index)) as f:
        model_file = json.load(f)["reply"]["codemodel-v2"]["jsonFile"]
    with open(os.path.join(reply, model_file)) as f:
        model = json.load(f)
    targets = {}
    for config in model["configurations"][:1]:
        for entry in config["targets"]:
            with open(os.path.join(reply, entry["jsonFile"])) as f:
                targets[entry["id"]] = json.load(f)
    return model["paths"]["source"], targets


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    source_root, targets = codemodel(sys.argv[1])
    name = {tid: t["name"] for tid, t in targets.items()}
    deps = {tid: [d["id"] for d in t.get("dependencies", [])] for tid, t in targets.items()}

    def closure(tid):
        seen, todo = set(), [tid]
        while todo:
            for d in deps.get(todo.pop(), []):
                if d not in seen:
                    seen.add(d)
                    todo.append(d)
        return seen

    own_folders = defaultdict(set)  # target -> folders it compiles in
    sources = defaultdict(set)  # target -> source files (repository paths)
    for tid, t in targets.items():
        for s in t.get("sources", []):
            path = s["path"]
            if os.path.isabs(path) or path.startswith(".."):
                continue  # generated in the build folder
            sources[tid].add(path)
            own_folders[tid].add(os.path.dirname(path))

    allowed = {}
    for tid in targets:
        folders = set(own_folders[tid])
        for d in closure(tid):
            folders |= own_folders[d]
        allowed[tid] = folders

    owners = defaultdict(set)  # file -> targets it belongs to
    folder_targets = defaultdict(set)
    for tid, files in sources.items():
        for path in files:
            owners[path].add(tid)
            folder_targets[os.path.dirname(path)].add(tid)
    tracked = subprocess.run(["git", "-C", source_root, "ls-files", "*.h"], check=True, capture_output=True,
                             text=True).stdout.split()
    for header in tracked:
        if header in owners:
            continue
        sibling = os.path.splitext(header)[0] + ".cpp"
        owners[header] = set(owners.get(sibling, ())) or set(folder_targets.get(os.path.dirname(header), ()))

    problems = []
    for path, tids in sorted(owners.items()):
        if not tids or not path.endswith((".cpp", ".h")):
            continue
        with open(os.path.join(source_root, path), encoding="utf-8") as f:
            text = f.read()
        for included in INCLUDE.findall(text):
            folder = os.path.dirname(included)
            if not folder:
                problems.append(f"{path}: include \"{included}\" does not name its folder")
                continue
            if not os.path.exists(os.path.join(source_root, included)):
                continue  # not one of ours
            if not any(folder in allowed[t] for t in tids):
                who = ", ".join(sorted(name[t] for t in tids))
                problems.append(f"{path}: includes \"{included}\" but {who} does not link {folder}/")
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} include(s) cross the module graph", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
