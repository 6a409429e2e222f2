#!/usr/bin/env python3
"""zep.exe edited by hand, under Wine inside tmux: Wine's console turns the
keys tmux sends into console input records, so this drives the Windows
backend's whole input path (records read from the console, mapped to
events, dispatched) and its console set-up and restore.

It runs twice. Drawn with VT sequences, as on Windows 10 and later, the
frame Wine's console shows is not faithful, so the screen only tells that
the editor has started and the checks are on the file and the exit status.
Drawn through the console's own functions (ZEP_LEGACY_CONSOLE=1, as on a
console without VT sequences), Wine's console shows the frame as written,
colours included: the screen is checked too, the status bar, the text
after typing, the encoding menu's message, the help box and the colours
that set them apart."""

import argparse
import os
import re
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


# The background colours tmux reports for the console's colours: dark grey
# (the status bar), grey (the help box), blue (the selection); "" for the
# terminal's own.
BACKGROUND = {"dark grey": "100", "grey": "47", "blue": "44", "own": ""}


def backgrounds(line):
    """The background colour of each character of a `capture-pane -e` line."""
    found = []
    background = ""
    for piece in re.split(r"(\x1b\[[0-9;]*m)", line):
        if piece.startswith("\x1b["):
            for code in piece[2:-1].split(";"):
                if code in ("", "0", "49"):
                    background = ""
                elif re.fullmatch(r"4[0-7]|10[0-7]", code):
                    background = code
        else:
            found.extend(background for _ in piece)
    return found


def run(args, legacy):
    """One session; returns a failure's description, or None."""
    mode = "ZEP_LEGACY_CONSOLE=1" if legacy else "VT"
    session = f"zep-wine-{os.getpid()}-{'legacy' if legacy else 'vt'}"
    with tempfile.TemporaryDirectory() as root:
        document = os.path.join(root, "matn.txt")
        marker = os.path.join(root, "exit-status")
        with open(document, "wb") as f:
            f.write(b"abc\ndef\n")
        # A tmux server started earlier has its own environment: Wine's
        # settings (prefix, debug output) are handed over explicitly.
        environment = {name: os.environ[name] for name in ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "WINEARCH")
                       if name in os.environ}
        if legacy:
            environment["ZEP_LEGACY_CONSOLE"] = "1"
        settings = " ".join(f"{name}={shlex.quote(value)}" for name, value in environment.items())
        command = (f"env {settings} {shlex.quote(args.wine)} {shlex.quote(args.zep)} {shlex.quote(document)}; "
                   f"echo $? > {shlex.quote(marker)}; sleep 30")
        tmux("new-session", "-d", "-s", session, "-x", "80", "-y", "24", command)
        screen = lambda: tmux("capture-pane", "-p", "-N", "-t", session, check=False).stdout.split("\n")
        coloured = lambda: tmux("capture-pane", "-p", "-e", "-N", "-t", session, check=False).stdout.split("\n")

        def shows(row, text):
            lines = screen()
            return row < len(lines) and lines[row].startswith(text)

        def expect_row(what, row, text, timeout=10):
            wait_for(f"{what}: row {row} to start with {text!r}", lambda: shows(row, text), timeout)

        def keys(*names, settle=0.4):
            tmux("send-keys", "-t", session, *names)
            time.sleep(settle)

        try:
            if legacy:
                expect_row("the status bar", 0, " matn.txt  ", timeout=60)
                bar = screen()[0]
                if not bar.rstrip().endswith("UTF-8  1:1  3 qator"):
                    raise AssertionError(f"the status bar reads {bar!r}")
                expect_row("the first line with its number", 1, " 1 abc")
                expect_row("the start-up hint", 23, " Ctrl+S saqlash  |  Ctrl+E encoding")
                bar_colours = set(backgrounds(coloured()[0])[:80])
                if bar_colours != {BACKGROUND["dark grey"]}:
                    raise AssertionError(f"the status bar's backgrounds are {bar_colours}, not dark grey")
            else:
                wait_for("the document's text", lambda: "abc" in "\n".join(screen()), 60)
            # Wine's console passes no key on for some seconds after it
            # starts (it waits for the terminal to answer queries of its
            # own), and may garble an escape sequence sent meanwhile. Ctrl+L,
            # one plain byte, turns the line numbers off as soon as keys come
            # through, and again to put them back (which only the faithful
            # screen is sure to show).
            numbered = lambda: any(line.startswith(" 1 abc") for line in screen())
            keys("C-l")
            wait_for("the first key to come through", lambda: not numbered(), 60)
            keys("C-l")
            if legacy:
                wait_for("the line numbers back", numbered, 10)

            keys("Down")
            keys("-l", "X")
            keys("-l", "Жё")   # Cyrillic arrives as characters, not as bytes
            if legacy:
                expect_row("the typed text", 2, " 2 XЖёdef")
                wait_for("the cursor's place in the status bar", lambda: "UTF-8  2:4  3 qator" in screen()[0], 10)
                keys("S-Left")
                # " 2 XЖёdef": only the ё is selected.
                wait_for("the selection", lambda: backgrounds(coloured()[2])[3:8] ==
                         [BACKGROUND["own"]] * 2 + [BACKGROUND["blue"]] + [BACKGROUND["own"]] * 2, 10)
                keys("Right")
            keys("C-s")
            wait_for("the first save", lambda: read(document) == "abc\nXЖёdef\n".encode(), 15)

            if legacy:
                expect_row("the save's message", 23, " Saqlandi: matn.txt")
                keys("C-e")
                expect_row("the encoding menu's message", 23,
                           " Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251")
                keys("Escape")
                keys("F1")
                wait_for("the help box", lambda: any("│  ZEP — Terminal matn muharriri" in line for line in screen()),
                         10)
                lines = screen()
                top = next(i for i, line in enumerate(lines) if "ZEP — Terminal matn muharriri" in line)
                if "│  NAVIGATSIYA" not in lines[top + 2] or "╭──" not in lines[top - 2]:
                    raise AssertionError("the help box is not whole:\n" + "\n".join(lines))
                left = lines[top].index("│  ZEP")
                box = set(backgrounds(coloured()[top])[left:left + 52])
                if box != {BACKGROUND["grey"]}:
                    raise AssertionError(f"the help box's backgrounds are {box}, not grey")
                keys("Escape")   # only closes the box
                wait_for("the help box to close", lambda: not any("NAVIGATSIYA" in line for line in screen()), 10)

            # (Wine's console delivers no Ctrl+Z, Home or End, so the keys
            # here are ones it passes on.)
            keys("Up")
            keys("C-d")        # duplicate line 0; the cursor goes with the copy
            keys("-l", "!")
            keys("BSpace")
            keys("BSpace")
            keys("Enter")
            if legacy:
                expect_row("the edited lines", 2, " 2 ab ")
                expect_row("the edited lines", 3, " 3  ")
                expect_row("the edited lines", 4, " 4 XЖёdef")
            keys("C-s")
            wait_for("the second save", lambda: read(document) == "abc\nab\n\nXЖёdef\n".encode(), 15)

            keys("C-q")
            wait_for("zep.exe to end", lambda: read(marker) is not None, 20)
            status = read(marker).decode().strip()
            if status != "0":
                raise AssertionError(f"zep.exe ended with status {status}, expected 0")
        except (AssertionError, IndexError, StopIteration) as failure:
            return (f"{mode}: {failure!r}\nfile: {read(document)}\n" +
                    tmux("capture-pane", "-p", "-t", session, check=False).stdout)
        finally:
            tmux("kill-session", "-t", session, check=False)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zep", required=True)
    parser.add_argument("--wine", required=True)
    args = parser.parse_args()

    if subprocess.run(["tmux", "-V"], capture_output=True).returncode != 0:
        print("skipped: tmux is not available")
        sys.exit(77)

    failures = [failure for failure in (run(args, legacy=False), run(args, legacy=True)) if failure]
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("ok: keys typed in the console edited and saved the file and Ctrl+Q ended with status 0, drawn with VT "
          "sequences and through the console's functions; the latter showed the bar, the text, the messages, "
          "the selection and the help box")


if __name__ == "__main__":
    main()
