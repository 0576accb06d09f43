#!/usr/bin/env python3
"""Checks that no source file of the tree is compiled into more than one object: a source
shared by several programs or libraries belongs to one library that they link. Reads the
compile_commands.json of each configured tree given (build/native when none is given),
prints every source compiled more than once with the targets that compile it, and exits 1
when there is one. Sources outside the checkout (third-party) and generated sources in the
build tree are not checked."""
import json
import os
import re
import shlex
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, 'build')

# Sources compiled more than once on purpose, with the reason.
KNOWN = {
    # One program per expectation (KIV_EXPECT_FRAMEWORK): beside Tessarine32.dll and in a
    # folder without it; the framework-only cases exist in the first only.
    'sdk/kiv_sdk_api_test.cpp',
}


def output_of(entry):
    """The object file an entry writes, relative to its build directory."""
    if 'output' in entry:
        return entry['output']
    args = entry['arguments'] if 'arguments' in entry else shlex.split(entry['command'])
    for i, arg in enumerate(args):
        if arg == '-o' and i + 1 < len(args):
            return args[i + 1]
        if arg.startswith('-o') and len(arg) > 2:
            return arg[2:]
    return None


def target_of(output):
    """The CMake target an object belongs to (CMakeFiles/<target>.dir/...)."""
    m = re.search(r'CMakeFiles/([^/]+)\.dir/', output)
    return m.group(1) if m else output


def duplicates(tree):
    path = os.path.join(tree, 'compile_commands.json')
    with open(path, encoding='utf-8') as f:
        entries = json.load(f)
    objects = {}  # source -> set of outputs
    for entry in entries:
        source = os.path.realpath(os.path.join(entry['directory'], entry['file']))
        if not source.startswith(ROOT + os.sep) or source.startswith(BUILD + os.sep):
            continue
        output = output_of(entry)
        if output is None:
            continue
        output = os.path.normpath(os.path.join(entry['directory'], output))
        objects.setdefault(os.path.relpath(source, ROOT), set()).add(output)
    return {src: outs for src, outs in objects.items() if len(outs) > 1 and src not in KNOWN}


def main(argv):
    trees = argv[1:] or [os.path.join(BUILD, 'native')]
    found = 0
    for tree in trees:
        if not os.path.isfile(os.path.join(tree, 'compile_commands.json')):
            print(f'check_single_compile: {tree} has no compile_commands.json (configure it first)')
            return 2
        dups = duplicates(tree)
        for src in sorted(dups):
            targets = sorted(target_of(o) for o in dups[src])
            print(f'{os.path.basename(os.path.normpath(tree))}: {src} compiled into {len(targets)} '
                  f'targets: {", ".join(targets)}')
        found += len(dups)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
