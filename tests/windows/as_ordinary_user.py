#!/usr/bin/env python3
"""Runs some tests of a Windows test program under Wine as an ordinary
user. Wine run as root may write any file, read-only ones included, so the
tests of what a user may not do only mean something without root. Run by
root, this makes a Wine prefix for the user nobody and runs the tests there;
run by anyone else, the ordinary run has already covered them (skipped, 77).
Fails if the tests were skipped there too.

The program is copied into a directory of the user's own first: the build
folder may lie where the user cannot enter (a home directory made 0700,
/root), and Wine would then fail to start it."""

import os
import pwd
import shutil
import subprocess
import sys
import tempfile

from filtered_run import arguments, command, finish


def main():
    args = arguments()

    if os.geteuid() != 0:
        print("skipped: not running as root, so the ordinary run covered these tests")
        sys.exit(77)
    user = pwd.getpwnam("nobody")
    root = tempfile.mkdtemp(prefix="zep-wine-user-")
    os.mkdir(os.path.join(root, "prefix"))
    program = os.path.join(root, os.path.basename(args.program))
    shutil.copy2(args.program, program)
    for path in (root, os.path.join(root, "prefix"), program):
        os.chown(path, user.pw_uid, user.pw_gid)
    environment = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": root,
        "WINEPREFIX": os.path.join(root, "prefix"),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "winedbg.exe=d",
        "WINEARCH": "win64",
    }
    wineserver = shutil.which("wineserver") or "wineserver"

    def as_user(command, **kwargs):
        return subprocess.run(command, user=user.pw_uid, group=user.pw_gid, extra_groups=[], env=environment,
                              stdin=subprocess.DEVNULL, cwd=root, **kwargs)

    try:
        # The server first, so that the helpers wineboot starts do not hold
        # our output open.
        as_user([wineserver, "-p"], check=True)
        as_user(["wineboot", "-i"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        result = as_user(command(args, program), capture_output=True, text=True, timeout=300)
        finish(result, "as an ordinary user either")
    finally:
        as_user([wineserver, "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
