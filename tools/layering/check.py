#!/usr/bin/env python3
"""Checks the library graph: every `#include <lib/...>` of a library's sources names a library
it links (directly, or through a public dependency of one it links), a public header includes
only what its library links publicly, and the libraries' links have no cycle.

Usage: check.py TARGETS_FILE SOURCE_DIR
TARGETS_FILE holds one line per target, written by CMake at configure time:
name<TAB>sources;...<TAB>link libraries;...<TAB>interface link libraries;...
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*<([A-Za-z_0-9]+)/([^>]+)>', re.M)
NAMESPACES = {'lang', 'io', 'math', 'util', 'lua', 'gr', 'img', 'framework', 'game', 'audio', 'pf', 'net', 'analytics'}
GL_TARGETS = {'gr_gles1', 'gr_gles2', 'gr_glplatform', 'gr_gles1_api', 'gr_gles2_api'}


def strip(name):
    name = name.strip()
    m = re.match(r'^\$<LINK_ONLY:(.*)>$', name)
    private = bool(m)
    if m:
        name = m.group(1)
    if name.startswith('engine::'):
        name = name[len('engine::'):]
    return name, private


def main():
    targets_file, source_dir = sys.argv[1], sys.argv[2]
    sources, deps, public = {}, {}, {}
    with open(targets_file) as f:
        for line in f:
            parts = line.rstrip('\n').split('\t')
            if len(parts) != 4:
                continue
            name, srcs, links, iface = parts
            sources[name] = [s for s in srcs.split(';') if s]
            deps[name] = {strip(d)[0] for d in links.split(';') if d and not d.startswith('$<')} | \
                {strip(d)[0] for d in iface.split(';') if d}
            public[name] = {strip(d)[0] for d in iface.split(';') if d and not strip(d)[1]}
    ours = set(sources)

    def public_closure(t, seen=None):
        seen = set() if seen is None else seen
        if t in seen:
            return seen
        seen.add(t)
        for d in public.get(t, ()):
            public_closure(d, seen)
        return seen

    def reachable(roots):
        out = set()
        for r in roots:
            out |= public_closure(r)
        return out

    def ours_header(lib, rest):
        # <net/if.h> and the like are the system's, not the net library's.
        return lib in NAMESPACES and os.path.isfile(os.path.join(source_dir, 'include', lib, rest))

    def allows(reach, lib, rest):
        if lib == 'gr' and rest.startswith('gl/'):
            return bool(reach & GL_TARGETS)
        return lib in reach or (lib == 'pf' and bool(reach & {'pf_video', 'pf_webkit'}))

    errors = []
    for t in sorted(ours):
        reach = reachable(deps[t] | {t})
        for src in sources[t]:
            if not src.endswith(('.cpp', '.h')) or not os.path.isfile(src):
                continue
            text = open(src, encoding='utf-8', errors='replace').read()
            for lib, rest in INCLUDE.findall(text):
                if ours_header(lib, rest) and not allows(reach, lib, rest):
                    errors.append('%s: %s includes <%s/%s> but does not link %s' % (t, os.path.relpath(src, source_dir), lib, rest, lib))
    # Public headers: include/<lib>/ belongs to the library of that name (include/gr/gl to the back ends).
    for lib in sorted(NAMESPACES & ours):
        folder = os.path.join(source_dir, 'include', lib)
        reach = reachable(public[lib] | {lib})
        for root, _, files in os.walk(folder):
            if lib == 'gr' and os.path.relpath(root, folder).startswith('gl'):
                continue
            for name in files:
                if not name.endswith('.h'):
                    continue
                path = os.path.join(root, name)
                for inc_lib, rest in INCLUDE.findall(open(path, encoding='utf-8', errors='replace').read()):
                    if ours_header(inc_lib, rest) and not allows(reach, inc_lib, rest):
                        errors.append('%s: public header %s includes <%s/%s>, which %s does not link publicly' % (
                            lib, os.path.relpath(path, source_dir), inc_lib, rest, lib))
    # No cycles among our libraries.
    state = {}

    def visit(t, path):
        state[t] = 1
        for d in sorted(deps.get(t, ())):
            if d not in ours:
                continue
            if state.get(d) == 1:
                errors.append('cycle: ' + ' -> '.join(path + [t, d]))
            elif d not in state:
                visit(d, path + [t])
        state[t] = 2

    for t in sorted(ours):
        if t not in state:
            visit(t, [])
    for e in errors:
        print(e)
    print('%d libraries checked, %d problems' % (len(ours), len(errors)))
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main())
