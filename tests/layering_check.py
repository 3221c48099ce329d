#!/usr/bin/python3
"""Every #include between subsystems of src/ follows the layering: a subsystem includes
only itself and those below it. Usage: layering_check.py SOURCE_DIR"""
import pathlib
import re
import sys

BELOW = {
    "util": set(),
    "script": {"util"},
    "grid": {"util", "script"},
    "merge": {"util", "script", "grid"},
    "meshio": {"util", "script", "grid"},
    "builders": {"util", "script", "grid", "meshio"},
    "interp": {"util", "script", "grid", "merge", "meshio", "builders"},
    "ui": {"util", "script", "grid", "merge", "meshio", "builders", "interp"},
    "app": {"util", "script", "grid", "merge", "meshio", "builders", "interp", "ui"},
}
src = pathlib.Path(sys.argv[1]) / "src"
wrong = []
checked = 0
for path in sorted(src.rglob("*.[ch]*")):
    layer = path.relative_to(src).parts[0]
    for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([a-z_]+)/', line)
        if not m:
            continue
        checked += 1
        if m.group(1) != layer and m.group(1) not in BELOW.get(layer, set()):
            wrong.append("%s:%d: %s includes %s" % (path, n, layer, m.group(1)))
print("\n".join(wrong))
print("%d passed, %d failed" % (checked - len(wrong), len(wrong)))
sys.exit(1 if wrong else 0)
