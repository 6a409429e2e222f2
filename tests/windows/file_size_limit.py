#!/usr/bin/env python3
"""Runs tests of a Windows test program under Wine with a limit on the size
of the files it may write (RLIMIT_FSIZE, SIGXFSZ ignored): every write past
the limit fails, so a save stops part-way through the file, as on a full
disk. It is the one real fault that makes a write fail in the middle of a
file under Wine. The file the tests save into is made here, larger than the
limit, since the program could not make it itself; they find it, and the
limit, in ZEP_OVERSIZED_FILE and ZEP_FILE_SIZE_LIMIT. Fails if the tests
did not run."""

import os
import resource
import signal
import subprocess
import tempfile

from filtered_run import arguments, command, finish

LIMIT = 64 * 1024


def limited():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (LIMIT, LIMIT))


def main():
    args = arguments()

    with tempfile.TemporaryDirectory() as root:
        path = os.path.join(root, "katta.txt")
        with open(path, "wb") as f:
            row = 0
            while f.tell() < 2 * LIMIT:
                f.write(f"eski qator {row}\r\n".encode())
                row += 1
        environment = dict(os.environ, ZEP_OVERSIZED_FILE="Z:" + path.replace("/", "\\"),
                           ZEP_FILE_SIZE_LIMIT=str(LIMIT))
        result = subprocess.run(command(args, args.program), env=environment, preexec_fn=limited,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
        finish(result, "under the limit")


if __name__ == "__main__":
    main()
