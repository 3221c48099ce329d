#!/usr/bin/python3
"""No function body in src/ runs over 60 lines (from its opening brace to its closing one).
Comments and string literals are blanked first; a brace opens a function when the text
before it ends in ')' (and qualifiers) and no function encloses it, so lambdas and control
blocks count with their function. Usage: function_length_check.py SOURCE_DIR"""
import pathlib
import re
import sys

LIMIT = 60
HEAD = re.compile(r"\)\s*(const|override|noexcept|final|mutable|->\s*[\w:<>&*\s]+|\s)*$")
CONTROL = re.compile(r"\b(if|for|while|switch|catch)\s*\(.*\)\s*$", re.S)


def blank(m):
    return re.sub(r"[^\n]", " ", m.group())


def strip(text):
    text = re.sub(r'R"\((.*?)\)"|/\*.*?\*/', blank, text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    return re.sub(r"'(\\.|[^'\\\n])'", "''", text)


wrong = []
for path in sorted((pathlib.Path(sys.argv[1]) / "src").rglob("*.[ch]*")):
    text = strip(path.read_text())
    open_blocks, last = [], 0  # (opens a function, line)
    for i, ch in enumerate(text):
        if ch == "{":
            head = text[last:i].strip()
            is_function = (HEAD.search(head) is not None and not CONTROL.search(head)
                           and not any(f for f, _ in open_blocks))
            open_blocks.append((is_function, text.count("\n", 0, i) + 1))
        elif ch == "}" and open_blocks:
            is_function, start = open_blocks.pop()
            lines = text.count("\n", 0, i) + 2 - start
            if is_function and lines > LIMIT:
                wrong.append("%s:%d: %d lines" % (path.relative_to(sys.argv[1]), start, lines))
        if ch in "{};":
            last = i + 1
print("\n".join(wrong))
print("%d functions over %d lines" % (len(wrong), LIMIT))
sys.exit(1 if wrong else 0)
