#!/usr/bin/env python3
"""Packs the browser build into one zip with index.html at its root, the form
HTML5 game portals take, and prints its size and what it holds. The game's
licence (LICENSE.txt, the MIT licence) always goes with it.

usage: web_zip.py DIST OUT.zip
"""
import os
import sys
import zipfile


def main():
    if len(sys.argv) != 3:
        print('usage: web_zip.py DIST OUT.zip', file=sys.stderr)
        return 2
    dist, out = sys.argv[1], sys.argv[2]
    names = sorted(n for n in os.listdir(dist) if os.path.isfile(os.path.join(dist, n))) if os.path.isdir(dist) else []
    missing = [n for n in ('index.html', 'LICENSE.txt') if n not in names]
    if missing:
        print('web_zip: %s holds no %s: build it with make web' % (dist, missing[0]), file=sys.stderr)
        return 1
    if os.path.dirname(os.path.abspath(out)) == os.path.abspath(dist):
        print('web_zip: refusing to write %s inside the folder it packs' % out, file=sys.stderr)
        return 1
    part = out + '.part'
    try:
        with zipfile.ZipFile(part, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
            for name in names:
                z.write(os.path.join(dist, name), name)
        os.replace(part, out)
    except OSError as e:
        print('web_zip: cannot write %s: %s' % (out, e.strerror or e), file=sys.stderr)
        return 1
    with zipfile.ZipFile(out) as z:
        for info in z.infolist():
            print('  %-22s %8d bytes, %8d packed' % (info.filename, info.file_size, info.compress_size))
    print('%s: %d bytes (%.1f KB), %d files, index.html at the root' % (out, os.path.getsize(out),
                                                                       os.path.getsize(out) / 1024, len(names)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
