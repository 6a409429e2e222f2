#!/usr/bin/env python3
"""Runs a command (a Windows test program under Wine) inside a fresh
pseudo-terminal, so that Wine gives it a console of its own, and copies
what it shows to standard output. Nothing is ever typed into the terminal:
a test that wants input puts records into its console itself. The exit
status is the command's."""

import os
import pty
import sys


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: in_console.py COMMAND [ARGUMENT...]")
    pid, master = pty.fork()
    if pid == 0:
        os.execvp(sys.argv[1], sys.argv[1:])
    shown = 0
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:  # the terminal's other side has closed
            break
        if not data:
            break
        shown += len(data)
        sys.stdout.buffer.write(data)
        sys.stdout.buffer.flush()
    _, status = os.waitpid(pid, 0)
    code = os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 1
    if code != 0 and shown == 0:
        # Nothing to go by otherwise: say at least how it ended.
        print(f"in_console.py: {' '.join(sys.argv[1:])} showed nothing and ended with {os.waitstatus_to_exitcode(status)}")
    sys.exit(code)


if __name__ == "__main__":
    main()
