#!/usr/bin/env python3
"""Checks, from the Linux side, the files an end-to-end run left behind.

Each line of the manifest holds three fields separated by tabs:
  source, backup, "same"   one inode, two or more links
  source, backup, "differ" two files
  path, "", "absent"       nothing of that name
  dir, names, "listing"    the directory holds exactly these names ("/" between them)
  path, text, "content"    a file holding exactly this text"""
import os
import sys


def check(first, second, expect):
    if expect in ('same', 'differ'):
        s, b = os.stat(first), os.stat(second)
        same = (s.st_dev, s.st_ino) == (b.st_dev, b.st_ino)
        ok = (same and s.st_nlink >= 2) if expect == 'same' else not same
        return ok, 'inodes %d %d links %d' % (s.st_ino, b.st_ino, s.st_nlink)
    if expect == 'absent':
        return not os.path.lexists(first), ''
    if expect == 'listing':
        found = sorted(os.listdir(first)) if os.path.isdir(first) else None
        return found == sorted(n for n in second.split('/') if n), 'holds %s' % found
    if expect == 'content':
        with open(first, 'rb') as f:
            held = f.read()
        return held == os.fsencode(second), 'holds %r' % held
    return False, 'unknown expectation'


manifest = sys.argv[1]
failures = 0
lines = [l.rstrip('\n').split('\t') for l in open(manifest, encoding='utf-8', errors='surrogateescape') if l.strip()]
for first, second, expect in lines:
    try:
        ok, seen = check(first, second, expect)
    except OSError as error:
        ok, seen = False, str(error)
    print(('ok  ' if ok else 'FAIL'), expect, first, second, seen)
    failures += 0 if ok else 1
if not lines:
    print('FAIL: empty manifest')
    failures = 1
print('%d passed, %d failed' % (len(lines) - failures, failures))
sys.exit(1 if failures else 0)
