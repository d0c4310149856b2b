"""A read-only mirror of a folder in which one file has a bad 2048-byte
block, as on a scratched CD: the file opens, and every read that touches the
block fails with an I/O error. Each failed read is logged ("offset size").

  badblock.py SOURCE MOUNT FILE BLOCK LOG

FILE is relative to SOURCE, with / between parts. Runs in the foreground
until the mount is taken away. Needs FUSE and Debian's python3-fusepy, which
the system's own Python has.
"""
import errno
import os
import sys

from fusepy import FUSE, FuseOSError, Operations

BLOCK = 2048


class BadBlock(Operations):
    def __init__(self, source, bad_file, bad_block, log):
        self.source = source
        self.bad_file = "/" + bad_file
        self.bad = (bad_block * BLOCK, (bad_block + 1) * BLOCK)
        self.log = log

    def real(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path))
        return {key: getattr(st, key) for key in ("st_mode", "st_size", "st_nlink", "st_uid",
                                                  "st_gid", "st_atime", "st_mtime", "st_ctime")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in ("f_bsize", "f_frsize", "f_blocks", "f_bfree",
                                                  "f_bavail", "f_files", "f_ffree", "f_namemax")}

    def open(self, path, fi):
        if fi.flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        fi.fh = os.open(self.real(path), os.O_RDONLY)
        # The scratched file is read as the program asks, block by block,
        # not through the page cache, whose read-ahead would stumble on the
        # bad block for a read that never touches it.
        fi.direct_io = path == self.bad_file
        return 0

    def read(self, path, size, offset, fi):
        if path == self.bad_file and offset < self.bad[1] and self.bad[0] < offset + size:
            with open(self.log, "a") as f:
                f.write("%d %d\n" % (offset, size))
            raise FuseOSError(errno.EIO)
        return os.pread(fi.fh, size, offset)

    def release(self, path, fi):
        os.close(fi.fh)
        return 0


def main(argv):
    if len(argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    source, mount, bad_file, bad_block, log = argv[1:]
    FUSE(BadBlock(os.path.abspath(source), bad_file, int(bad_block), log), mount,
         foreground=True, ro=True, nothreads=True, raw_fi=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
