#!/usr/bin/env python3
"""The include graph of the library's folders, and the layers it must keep.

Prints one line per folder with the folders it includes, then every include
that runs upward (a folder including one of a higher layer, or two folders
that include each other). Exits 1 when there is any: a lower layer never
includes a higher one.

    tools/layers/include_graph.py [SRC_DIR]
"""
import pathlib
import re
import sys

# Bottom to top. A folder may include its own files and those of the layers
# listed before it; folders on one line are one layer and include none of
# each other. Beneath them all lies common/, a library of its own at the top
# of the tree (the test camera and the shared camera stand on it too), which
# every folder may include and which includes none of them.
LAYERS = [
    ["library"],
    ["enum"],
    ["frames", "encoder"],
    ["formats"],
    ["graph"],
    ["config", "controls", "events", "devices", "sharecam", "stills", "sound"],
    ["profiles"],
    ["exports"],
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


def folder_edges(src):
    edges = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        folder = path.relative_to(src).parts[0]
        for included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if included != folder and (src / included).is_dir():
                edges.setdefault(folder, {}).setdefault(included, []).append(path.relative_to(src).as_posix())
    return edges


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2] / "src")
    layer_of = {folder: i for i, layer in enumerate(LAYERS) for folder in layer}
    edges = folder_edges(src)
    for folder in sorted(set(edges) | {f for t in edges.values() for f in t}, key=lambda f: layer_of.get(f, -1)):
        print(f"{folder:9} -> {', '.join(sorted(edges.get(folder, {}))) or '(nothing)'}")
    wrong = []
    for folder, targets in sorted(edges.items()):
        for target, files in sorted(targets.items()):
            if folder not in layer_of or target not in layer_of:
                wrong.append(f"{folder} -> {target}: a folder of no layer ({files[0]})")
            elif layer_of[target] >= layer_of[folder]:
                wrong.append(f"{folder} -> {target} runs upward or sideways: {', '.join(files)}")
    for line in wrong:
        print("UPWARD", line)
    print(f"{len(wrong)} includes against the layers")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
