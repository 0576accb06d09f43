#!/usr/bin/env python3
"""Checks the include direction across the tree: every #include "..." must resolve to a file
of the including file's own layer or of a layer below it (see LAYERS and MAY_SEE). Tests,
fuzzers and test support (testing/ folders) follow the same rule, except that the tests of
the layers that meet the meeting server (framework, sdk, client) may include the server: they
run against it. Prints each offending include and exits 1 when there is one."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_EXT = ('.h', '.hpp', '.c', '.cc', '.cpp')
SKIP_DIRS = {'.git', 'build'}

# Path prefix -> layer; the longest matching prefix decides.
LAYERS = {
    'common/': 'common',
    'protocol/': 'protocol',
    # The board model library (graphs, pages, painter, board messages): SDK folders, but
    # below the server and the rest of the SDK, which both link it.
    'sdk/wb/model/': 'board',
    'sdk/wb/message/': 'board',
    'sdk/wb/paint/': 'board',
    'server/': 'server',
    'framework/': 'framework',
    'audio/processing/': 'audio_processing',
    'audio/engine/': 'audio_engine',
    'sdk/': 'sdk',
    'winlib/': 'winlib',
    'client/': 'client',
    'bench/': 'bench',
}

# Layer -> the layers right below it; a layer may include its own and every layer below.
BELOW = {
    'common': set(),
    'protocol': {'common'},
    'board': {'protocol'},
    'server': {'protocol', 'board'},
    'audio_processing': {'common'},
    'audio_engine': {'audio_processing'},
    'framework': {'protocol', 'audio_engine'},
    'sdk': {'framework', 'board'},
    'winlib': {'common'},
    'client': {'sdk', 'winlib'},
    'bench': {'server', 'sdk', 'client'},
}


def below(layer):
    seen = set()
    todo = list(BELOW[layer])
    while todo:
        lower = todo.pop()
        if lower not in seen:
            seen.add(lower)
            todo.extend(BELOW[lower])
    return seen


MAY_SEE = {layer: below(layer) for layer in BELOW}

# Tests of these layers may include the meeting server they run against.
TESTS_MAY_SEE_SERVER = {'framework', 'sdk', 'client'}

# Known offenders, as (including file, included file); none today.
PENDING = set()

INCLUDE_RE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path):
    best = None
    for prefix, layer in LAYERS.items():
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, layer)
    return best[1] if best else None


def is_test_code(path):
    parts = path.split('/')
    name = parts[-1]
    return ('testing' in parts or 'fuzz' in parts or re.search(r'_test(_host|_support)?\.(cpp|h)$', name) is not None
            or name.endswith('_testing.h') or name.endswith('_test_host.cpp'))


def tree_files():
    files = []
    for dirpath, dirnames, filenames in os.walk(ROOT):
        rel_dir = os.path.relpath(dirpath, ROOT)
        dirnames[:] = [d for d in dirnames if not (rel_dir == '.' and d in SKIP_DIRS) and not d.startswith('.')]
        for name in filenames:
            if name.endswith(SOURCE_EXT):
                files.append(os.path.normpath(os.path.join(rel_dir, name)))
    return sorted(files)


def common_prefix_len(a, b):
    n = 0
    for x, y in zip(a.split('/'), b.split('/')):
        if x != y:
            break
        n += 1
    return n


def resolve(includer, target, by_suffix, all_files):
    """The tree file an include names: beside the includer first, then the tree file whose path
    ends with the include and lies closest to the includer (as the include folders do)."""
    beside = os.path.normpath(os.path.join(os.path.dirname(includer), target))
    if beside in all_files:
        return beside
    if target in all_files:
        return target
    candidates = by_suffix.get(os.path.basename(target), [])
    candidates = [c for c in candidates if c == target or c.endswith('/' + target)]
    if not candidates:
        return None  # a system or third-party header
    return max(candidates, key=lambda c: (common_prefix_len(includer, c), -len(c)))


def main():
    files = tree_files()
    all_files = set(files)
    by_suffix = {}
    for f in files:
        by_suffix.setdefault(os.path.basename(f), []).append(f)
    problems = []
    for f in files:
        layer = layer_of(f)
        if layer is None:
            continue
        allowed = MAY_SEE[layer] | {layer}
        if is_test_code(f) and layer in TESTS_MAY_SEE_SERVER:
            allowed = allowed | {'server'}
        with open(os.path.join(ROOT, f), encoding='utf-8', errors='replace') as src:
            for number, line in enumerate(src, 1):
                m = INCLUDE_RE.match(line)
                if not m:
                    continue
                target = resolve(f, m.group(1), by_suffix, all_files)
                if target is None:
                    continue
                target_layer = layer_of(target)
                if target_layer is None or target_layer in allowed or (f, target) in PENDING:
                    continue
                problems.append(f'{f}:{number}: {layer} includes {target} ({target_layer})')
    for p in problems:
        print(p)
    if problems:
        print(f'check_layers: {len(problems)} include(s) run to a higher or sibling layer '
              '(see the layer order in scripts/check_layers.py)')
        return 1
    print('check_layers: every include stays in its layer or below')
    return 0


if __name__ == '__main__':
    sys.exit(main())
