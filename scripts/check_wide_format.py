#!/usr/bin/env python3
"""Checks that no wide string literal (L"...", also when it continues in adjacent literals)
holds a printf conversion %s or %S without a length modifier. In C++ against msvcrt,
mingw-w64 switches swprintf and its relatives to its own printf, where %s in a wide format
takes a narrow string, while _vsnwprintf keeps the Microsoft meaning (a wide one): the same
format means different things by the function. %ls means a wide string in both, so wide
formats spell it that way (or build the text without a format). Comments are not looked at.
Prints each offending literal and exits 1 when there is one."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_EXT = ('.h', '.hpp', '.c', '.cc', '.cpp')
SKIP_DIRS = {'.git', 'build'}

# flags, width, precision, length modifier, conversion
CONVERSION = re.compile(r"%([-+ #0']*)(\*|\d+)?(\.(\*|\d+))?(hh|h|ll|l|L|j|z|t|I64|I32|I|w)?([a-zA-Z%])")


def literals(text):
    """Yields (line, prefix, body) for each string literal outside comments; adjacent
    literals are joined, taking the first prefix that is not empty."""
    i, n, line = 0, len(text), 1
    pending = None  # [line, prefix, body] of a literal that may continue
    while i < n:
        c = text[i]
        if c == '\n':
            line += 1
            i += 1
            continue
        if c.isspace():
            i += 1
            continue
        if text.startswith('//', i):
            i = text.find('\n', i)
            i = n if i < 0 else i
            continue
        if text.startswith('/*', i):
            end = text.find('*/', i + 2)
            end = n if end < 0 else end + 2
            line += text.count('\n', i, end)
            i = end
            continue
        m = re.compile(r'(u8|u|U|L)?(R)?"').match(text, i)
        if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            prefix, raw = m.group(1) or '', m.group(2)
            start_line = line
            j = m.end()
            if raw:
                delim_end = text.find('(', j)
                delim = text[j:delim_end]
                close = text.find(')' + delim + '"', delim_end)
                body = text[delim_end + 1:close]
                j = close + len(delim) + 2
            else:
                k = j
                while k < n and text[k] != '"':
                    k += 2 if text[k] == '\\' else 1
                body = text[j:k]
                j = k + 1
            line += text.count('\n', i, j)
            if pending is None:
                pending = [start_line, prefix, body]
            else:
                pending[1] = pending[1] or prefix
                pending[2] += body
            i = j
            continue
        if pending is not None:
            yield tuple(pending)
            pending = None
        if c == "'":
            k = i + 1
            while k < n and text[k] != "'":
                k += 2 if text[k] == '\\' else 1
            i = k + 1
            continue
        i += 1
    if pending is not None:
        yield tuple(pending)


def narrow_conversions(body):
    found = []
    for m in CONVERSION.finditer(body):
        if m.group(6) in 'sS' and not m.group(5):
            found.append(m.group(0))
    return found


def main():
    bad = 0
    for dirpath, dirnames, filenames in os.walk(ROOT):
        dirnames[:] = sorted(d for d in dirnames if d not in SKIP_DIRS)
        for name in sorted(filenames):
            if not name.endswith(SOURCE_EXT):
                continue
            path = os.path.join(dirpath, name)
            with open(path, encoding='utf-8', errors='replace') as f:
                text = f.read()
            for line, prefix, body in literals(text):
                if prefix != 'L':
                    continue
                found = narrow_conversions(body)
                if found:
                    rel = os.path.relpath(path, ROOT)
                    print(f'{rel}:{line}: wide format with {", ".join(found)}: write %ls (L"{body}")')
                    bad += 1
    if bad:
        print(f'check_wide_format: {bad} wide literal(s) with %s; in a wide format write %ls')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
