#!/usr/bin/python3
"""src/ is one module per header/source pair, and the README's "Where things are" names every
module of every folder. Usage: module_map_check.py SOURCE_DIR"""
import pathlib
import re
import sys

# Modules without the other half, and why.
HEADER_ONLY = {
    "util/RefCounted.h",     # a template
    "merge/cell_table.h",    # inline: probed in the check's innermost loops
    "merge/mesh_geometry.h", # inline vector arithmetic
}
NO_HEADER = {
    "app/main.cpp",          # the program's entry
}

root = pathlib.Path(sys.argv[1])
src = root / "src"
wrong = []
files = sorted(p.relative_to(src).as_posix() for p in src.glob("*/*.[ch]*"))
for f in files:
    stem, ext = f.rsplit(".", 1)
    other = stem + (".cpp" if ext == "h" else ".h")
    exempt = HEADER_ONLY if ext == "h" else NO_HEADER
    if other not in files and f not in exempt:
        wrong.append("%s has no %s" % (f, other))
for f in sorted(HEADER_ONLY | NO_HEADER):
    if f not in files:
        wrong.append("%s is excused but does not exist" % f)

# The map: one entry per folder, "    src/<folder>  text", continued on indented lines.
readme = (root / "README.md").read_text()
block = readme.split("## Where things are", 1)[1].split("\n## ", 1)[0]
entries = {}
folder = None
for line in block.splitlines():
    m = re.match(r"    (\S+)\s+(.*)", line)
    if m:
        folder = m.group(1).rstrip("/")
        entries[folder] = m.group(2)
    elif folder and line.startswith("      "):
        entries[folder] += " " + line.strip()
for d in sorted(p.name for p in src.iterdir() if p.is_dir()):
    text = entries.get("src/" + d)
    if text is None:
        wrong.append("README: no entry for src/%s" % d)
        continue
    named = set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text))
    for stem in sorted({f.rsplit(".", 1)[0] for f in files if f.startswith(d + "/")}):
        if stem.split("/")[1] not in named:
            wrong.append("README: src/%s does not name %s" % (d, stem))
print("\n".join(wrong))
print("%d files, %d problems" % (len(files), len(wrong)))
sys.exit(1 if wrong else 0)
