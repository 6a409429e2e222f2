#!/usr/bin/env python3
"""zep.exe edited by hand, under Wine inside tmux: Wine's console turns the
keys tmux sends into console input records, so this drives the Windows
backend's whole input path (records read from the console, mapped to
events, dispatched) and its console set-up and restore. Wine's console
does not show a faithful frame, so the screen is only used to see that the
editor has started; the checks are on the file and the exit status."""

import argparse
import os
import shlex
import subprocess
import sys
import tempfile
import time


def tmux(*args, check=True):
    return subprocess.run(["tmux", *args], capture_output=True, text=True, check=check)


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zep", required=True)
    parser.add_argument("--wine", required=True)
    args = parser.parse_args()

    if subprocess.run(["tmux", "-V"], capture_output=True).returncode != 0:
        print("skipped: tmux is not available")
        sys.exit(77)

    session = f"zep-wine-{os.getpid()}"
    with tempfile.TemporaryDirectory() as root:
        document = os.path.join(root, "matn.txt")
        marker = os.path.join(root, "exit-status")
        with open(document, "wb") as f:
            f.write(b"abc\ndef\n")
        # A tmux server started earlier has its own environment: Wine's
        # settings (prefix, debug output) are handed over explicitly.
        wine_environment = " ".join(f"{name}={shlex.quote(os.environ[name])}" for name in
                                    ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "WINEARCH") if name in os.environ)
        command = (f"env {wine_environment} {shlex.quote(args.wine)} {shlex.quote(args.zep)} {shlex.quote(document)}; "
                   f"echo $? > {shlex.quote(marker)}; sleep 30")
        tmux("new-session", "-d", "-s", session, "-x", "80", "-y", "24", command)
        try:
            screen = lambda: tmux("capture-pane", "-p", "-t", session, check=False).stdout
            wait_for("the status bar with the file name", lambda: "matn.txt" in screen(), 60)
            # Wine's console reads the terminal's answers to its own queries
            # first; a key sent before that is done can be lost.
            time.sleep(1.0)

            def keys(*names, settle=0.4):
                tmux("send-keys", "-t", session, *names)
                time.sleep(settle)

            keys("Down")
            keys("-l", "X")
            keys("-l", "Жё")   # Cyrillic arrives as characters, not as bytes
            keys("C-s")
            wait_for("the first save", lambda: read(document) == "abc\nXЖёdef\n".encode(), 15)

            # (Wine's console delivers no Ctrl+Z, Home or End, so the keys
            # here are ones it passes on.)
            keys("Up")
            keys("C-d")        # duplicate line 0; the cursor goes with the copy
            keys("-l", "!")
            keys("BSpace")
            keys("BSpace")
            keys("Enter")
            keys("C-s")
            wait_for("the second save", lambda: read(document) == "abc\nab\n\nXЖёdef\n".encode(), 15)

            keys("C-q")
            wait_for("zep.exe to end", lambda: read(marker) is not None, 20)
            status = read(marker).decode().strip()
            if status != "0":
                raise AssertionError(f"zep.exe ended with status {status}, expected 0")
        except AssertionError as failure:
            print("FAIL:", failure)
            print("file:", read(document))
            print(tmux("capture-pane", "-p", "-t", session, check=False).stdout)
            sys.exit(1)
        finally:
            tmux("kill-session", "-t", session, check=False)
    print("ok: keys typed in the console edited and saved the file; Ctrl+Q ended with status 0")


if __name__ == "__main__":
    main()
