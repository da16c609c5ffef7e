#!/usr/bin/env python3
"""Reports what a browser downloads for the game: every file of the web build,
as is and gzipped (level 6, what web servers commonly use), and fails when
the gzipped total is over 250 KB."""
import gzip
import os
import sys

LIMIT = 250 * 1024


def main():
    dist = sys.argv[1] if len(sys.argv) > 1 else 'web/dist'
    total = 0
    for name in sorted(os.listdir(dist)):
        path = os.path.join(dist, name)
        if not os.path.isfile(path):
            continue
        with open(path, 'rb') as f:
            data = f.read()
        packed = len(gzip.compress(data, compresslevel=6, mtime=0))
        total += packed
        print('  %-20s %8d bytes, %8d gzipped' % (name, len(data), packed))
    verdict = 'within' if total <= LIMIT else 'OVER'
    print('%s: %d bytes gzipped (%.1f KB), %s the limit of %d KB' % (dist, total, total / 1024, verdict, LIMIT // 1024))
    return 0 if total <= LIMIT else 1


if __name__ == '__main__':
    sys.exit(main())
