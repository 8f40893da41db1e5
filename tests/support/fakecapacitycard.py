#!/usr/bin/python3
"""A memory card that lies about its capacity, as a FUSE file system.

It acknowledges every write, but of each file it keeps only the first
KEPT bytes: what lies past that offset reads back as zeros. It claims
CAPACITY bytes in all. The kernel's cached pages of a file survive a new
open (keep_cache), as they would over a real card, so that a read-back
that does not bypass the cache can see what was written rather than what
the card kept.

    fakecapacitycard.py MOUNTPOINT --capacity BYTES --kept BYTES

Runs in the foreground until it is unmounted or killed. Needs Debian's
python3-fusepy (module "fusepy"; elsewhere the same module is "fuse").
"""

import argparse
import errno
import os
import stat
import sys
import threading
import time

try:
    from fusepy import FUSE, FuseOSError, Operations
except ImportError:  # pragma: no cover - the module's name off Debian
    from fuse import FUSE, FuseOSError, Operations

BLOCK = 4096


class Node:
    def __init__(self, folder):
        self.folder = folder
        self.kept = bytearray()  # the bytes the card really holds
        self.size = 0            # the size it claims
        now = time.time()
        self.times = (now, now)


class FakeCapacityCard(Operations):
    def __init__(self, capacity, kept):
        self.capacity = capacity
        self.limit = kept
        self.nodes = {"/": Node(True)}
        self.mutex = threading.Lock()
        self.handles = 0

    # --- helpers -----------------------------------------------------------
    def _node(self, path):
        node = self.nodes.get(path)
        if node is None:
            raise FuseOSError(errno.ENOENT)
        return node

    def _parent(self, path):
        parent = os.path.dirname(path) or "/"
        node = self.nodes.get(parent)
        if node is None or not node.folder:
            raise FuseOSError(errno.ENOENT)
        return node

    def _used(self):
        return sum((n.size + BLOCK - 1) // BLOCK * BLOCK for n in self.nodes.values() if not n.folder)

    def _handle(self, fi):
        self.handles += 1
        fi.fh = self.handles
        fi.keep_cache = 1
        return 0

    # --- the file system ---------------------------------------------------
    def getattr(self, path, fh=None):
        with self.mutex:
            node = self._node(path)
            mode = (stat.S_IFDIR | 0o755) if node.folder else (stat.S_IFREG | 0o644)
            return {
                "st_mode": mode,
                "st_nlink": 2 if node.folder else 1,
                "st_size": 0 if node.folder else node.size,
                "st_blocks": 0 if node.folder else (node.size + 511) // 512,
                "st_atime": node.times[0],
                "st_mtime": node.times[1],
                "st_ctime": node.times[1],
                "st_uid": os.getuid(),
                "st_gid": os.getgid(),
            }

    def access(self, path, amode):
        with self.mutex:
            self._node(path)
        return 0

    def readdir(self, path, fh):
        with self.mutex:
            if not self._node(path).folder:
                raise FuseOSError(errno.ENOTDIR)
            prefix = path.rstrip("/") + "/"
            names = [p[len(prefix):] for p in self.nodes
                     if p != "/" and p.startswith(prefix) and "/" not in p[len(prefix):]]
        return [".", ".."] + sorted(names)

    def mkdir(self, path, mode):
        with self.mutex:
            self._parent(path)
            if path in self.nodes:
                raise FuseOSError(errno.EEXIST)
            self.nodes[path] = Node(True)

    def rmdir(self, path):
        with self.mutex:
            node = self._node(path)
            if not node.folder:
                raise FuseOSError(errno.ENOTDIR)
            if any(p.startswith(path + "/") for p in self.nodes):
                raise FuseOSError(errno.ENOTEMPTY)
            del self.nodes[path]

    def create(self, path, mode, fi):
        with self.mutex:
            self._parent(path)
            node = self.nodes.get(path)
            if node is not None and node.folder:
                raise FuseOSError(errno.EISDIR)
            self.nodes[path] = Node(False)
            return self._handle(fi)

    def open(self, path, fi):
        with self.mutex:
            node = self._node(path)
            if node.folder:
                raise FuseOSError(errno.EISDIR)
            if fi.flags & os.O_TRUNC:
                node.kept = bytearray()
                node.size = 0
            return self._handle(fi)

    def read(self, path, size, offset, fi):
        with self.mutex:
            node = self._node(path)
            end = min(node.size, offset + size)
            if offset >= end:
                return b""
            data = bytes(node.kept[offset:min(end, len(node.kept))])
            return data + bytes(end - offset - len(data))

    def write(self, path, data, offset, fi):
        with self.mutex:
            node = self._node(path)
            end = offset + len(data)
            if offset < self.limit:
                keep = data[:self.limit - offset]
                if len(node.kept) < offset:
                    node.kept.extend(bytes(offset - len(node.kept)))
                node.kept[offset:offset + len(keep)] = keep
            node.size = max(node.size, end)
            # Every byte acknowledged, kept or not. The times stay: a change
            # would make the kernel drop the file's cached pages, which a
            # real card's never are.
            return len(data)

    def truncate(self, path, length, fh=None):
        with self.mutex:
            node = self._node(path)
            del node.kept[length:]
            node.size = length

    def unlink(self, path):
        with self.mutex:
            node = self._node(path)
            if node.folder:
                raise FuseOSError(errno.EISDIR)
            del self.nodes[path]

    def rename(self, old, new):
        with self.mutex:
            node = self._node(old)
            self._parent(new)
            target = self.nodes.get(new)
            if target is not None and target.folder != node.folder:
                raise FuseOSError(errno.EISDIR if target.folder else errno.ENOTDIR)
            moved = {p: n for p, n in self.nodes.items() if p == old or p.startswith(old + "/")}
            for p in moved:
                del self.nodes[p]
            self.nodes.pop(new, None)
            for p, n in moved.items():
                self.nodes[new + p[len(old):]] = n

    def utimens(self, path, times=None):
        with self.mutex:
            node = self._node(path)
            now = time.time()
            node.times = times if times else (now, now)

    def chmod(self, path, mode):
        return 0

    def chown(self, path, uid, gid):
        return 0

    def flush(self, path, fi):
        return 0

    def fsync(self, path, datasync, fi):
        return 0

    def fsyncdir(self, path, datasync, fi):
        return 0

    def release(self, path, fi):
        return 0

    def statfs(self, path):
        with self.mutex:
            free = max(0, self.capacity - self._used()) // BLOCK
        return {
            "f_bsize": BLOCK,
            "f_frsize": BLOCK,
            "f_blocks": self.capacity // BLOCK,
            "f_bfree": free,
            "f_bavail": free,
            "f_namemax": 255,
        }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mountpoint")
    parser.add_argument("--capacity", type=int, required=True)
    parser.add_argument("--kept", type=int, required=True)
    args = parser.parse_args()
    FUSE(FakeCapacityCard(args.capacity, args.kept), args.mountpoint, raw_fi=True,
         foreground=True, nothreads=True, big_writes=True, fsname="fakecapacitycard")
    return 0


if __name__ == "__main__":
    sys.exit(main())
