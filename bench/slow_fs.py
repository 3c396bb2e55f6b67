"""A slow device for the benchmarks: mounts FOLDER's files read-only at MOUNTPOINT, adding
DELAY_MS (10 unless given) to every open and every read, as a network share or a busy disk
would. Requests are served on threads of their own, so that many wait at once, as on a device
that answers many requests at once about as fast as one. Runs in the foreground until
unmounted (fusermount3 -u MOUNTPOINT).
Usage: /usr/bin/python3 bench/slow_fs.py FOLDER MOUNTPOINT [DELAY_MS]"""
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class SlowPassthrough(Operations):
    def __init__(self, root, delay):
        self.root = root
        self.delay = delay

    def _path(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        keys = ("st_mode", "st_size", "st_nlink", "st_uid", "st_gid",
                "st_atime", "st_mtime", "st_ctime")
        return {key: getattr(st, key) for key in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        time.sleep(self.delay)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        time.sleep(self.delay)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    delay_ms = float(sys.argv[3]) if len(sys.argv) == 4 else 10.0
    FUSE(SlowPassthrough(os.path.realpath(sys.argv[1]), delay_ms / 1000), sys.argv[2],
         foreground=True, nothreads=False, ro=True)
