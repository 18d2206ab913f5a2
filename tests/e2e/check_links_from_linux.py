#!/usr/bin/env python3
"""Checks, from the Linux side, the hard links an end-to-end run left behind.

Each line of the manifest: source path, backup path, "same" (one inode, two or
more links) or "differ" (two files)."""
import os
import sys

manifest = sys.argv[1]
failures = 0
lines = [l.rstrip('\n').split('\t') for l in open(manifest, encoding='utf-8', errors='surrogateescape') if l.strip()]
for source, backup, expect in lines:
    s, b = os.stat(source), os.stat(backup)
    same = (s.st_dev, s.st_ino) == (b.st_dev, b.st_ino)
    ok = (same and s.st_nlink >= 2) if expect == 'same' else not same
    print(('ok  ' if ok else 'FAIL'), expect, source, backup, 'inodes', s.st_ino, b.st_ino, 'links', s.st_nlink)
    failures += 0 if ok else 1
if not lines:
    print('FAIL: empty manifest')
    failures = 1
print('%d passed, %d failed' % (len(lines) - failures, failures))
sys.exit(1 if failures else 0)
