#!/usr/bin/env python3
"""Turns the stress run's stacks (program.exe+0xOFFSET) into functions and lines.

Usage: symbolize.py <program.exe> < report.txt
Frames of the program are resolved with x86_64-w64-mingw32-addr2line (image base
0x140000000); other modules are left as they are.
"""
import re
import subprocess
import sys

BASE = 0x140000000


def main():
    program = sys.argv[1]
    name = program.replace("\\", "/").split("/")[-1]
    pattern = re.compile(re.escape(name) + r"\+0x([0-9a-f]+)")
    for line in sys.stdin:
        offsets = pattern.findall(line)
        if not offsets:
            sys.stdout.write(line)
            continue
        addresses = ["0x%x" % (BASE + int(o, 16) - 1) for o in offsets]
        out = subprocess.run(["x86_64-w64-mingw32-addr2line", "-f", "-C", "-i", "-p", "-e", program] + addresses,
                             capture_output=True, text=True).stdout
        sys.stdout.write(line.split("stack:")[0] + "stack:\n")
        for frame in out.splitlines():
            frame = re.sub(r" at /work/wt/[^/]+/", " at ", frame)
            frame = re.sub(r"\(.*?\) at", " at", frame) if len(frame) > 160 else frame
            sys.stdout.write("      " + frame + "\n")


if __name__ == "__main__":
    main()
