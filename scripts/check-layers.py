#!/usr/bin/env python3
"""Checks that no source file includes from a layer above its own.

Usage: check-layers.py SOURCE_FOLDER (the project's src/). Prints every upward include as
FILE:LINE: and exits 1 when there is one, 0 when there is none.
"""
import pathlib
import re
import sys

# The layers from the bottom up; folders on one line are side by side and include neither the
# other. The build's targets link in the same order.
LAYERS = [
    ["net"],
    ["message"],
    ["protocols"],
    ["platform"],
    ["hotkeys"],
    ["shell", "mail_window"],
    ["app"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')


def upward_includes(source_folder):
    for path in sorted(source_folder.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        folder = path.relative_to(source_folder).parts[0]
        if folder not in RANK:
            yield f"{path}:1: the folder {folder}/ is in no layer"
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) == folder:
                continue
            included = match.group(1)
            if included not in RANK or RANK[included] >= RANK[folder]:
                yield f"{path}:{number}: {folder}/ includes from {included}/: {line.strip()}"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    problems = list(upward_includes(pathlib.Path(sys.argv[1])))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
