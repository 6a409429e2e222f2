#!/usr/bin/env python3
"""zep.exe started as a user would, under Wine: named a directory, it must
write the one start-up error line and end with status 1 before it touches
the console. The directory's name is in Cyrillic and CJK script, so this
also shows that the path survives the trip from the wide command line: a
path read through the ANSI code page would name nothing, and the editor
would open an empty document instead of failing."""

import argparse
import os
import subprocess
import sys
import tempfile


def run(wine, zep, argument):
    return subprocess.run([wine, zep, argument], stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zep", required=True)
    parser.add_argument("--wine", required=True)
    args = parser.parse_args()

    failures = []
    with tempfile.TemporaryDirectory() as root:
        directory = os.path.join(root, "папка 日本")
        os.mkdir(directory)
        for shown, argument in (("unix path", directory), ("drive path", "Z:" + directory.replace("/", "\\"))):
            result = run(args.wine, args.zep, argument)
            stderr = result.stderr.decode("utf-8", "replace")
            lines = [line for line in stderr.splitlines() if line]
            if result.returncode != 1:
                failures.append(f"{shown}: exit status {result.returncode}, expected 1")
            if len(lines) != 1 or not lines[0].startswith("zep: ishga tushirishda xato: ") \
                    or not lines[0].endswith("(os error 5)"):
                failures.append(f"{shown}: standard error was {stderr!r}")
            if result.stdout:
                failures.append(f"{shown}: the console was written to: {result.stdout[:80]!r}")

        # Without a console (standard input is not one here), start-up fails
        # cleanly with the system's reason instead of hanging or crashing.
        result = run(args.wine, args.zep, os.path.join(root, "yangi.txt"))
        stderr = result.stderr.decode("utf-8", "replace").strip()
        if result.returncode != 1 or not stderr.startswith("zep: ishga tushirishda xato: ") or "(os error" not in stderr:
            failures.append(f"no console: status {result.returncode}, standard error {stderr!r}")
        if os.path.exists(os.path.join(root, "yangi.txt")):
            failures.append("no console: the new file was created without a save")

    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("ok: a directory gives the start-up error and status 1; no console fails cleanly")


if __name__ == "__main__":
    main()
