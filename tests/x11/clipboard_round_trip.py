#!/usr/bin/env python3
"""Copy and paste between zep and a real X11 clipboard.

Starts a private X server (Xvfb), runs zep inside tmux with DISPLAY pointing
at it, copies a CR LF document's text in zep and reads the CLIPBOARD
selection with xclip (it must come out with LF alone), then puts text on the
clipboard with xclip and pastes it into zep, saves and compares the file's
bytes. Exits 77 (skipped) only when Xvfb cannot start here.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TIMEOUT = 20.0


def fail(message, tmux=None):
    print(f"FAIL: {message}")
    if tmux is not None:
        print("screen:\n" + tmux.screen())
    sys.exit(1)


def wait_for(what, check, timeout=TIMEOUT):
    """Polls until check() gives a true value; returns it, or None at the time-out."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            print(f"timed out waiting for {what}")
            return None
        time.sleep(0.05)


def start_xvfb(workdir):
    """Starts Xvfb on a display it picks itself; returns (process, display) or a reason it could not."""
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        return None, "Xvfb is not installed"
    read_end, write_end = os.pipe()
    log = open(os.path.join(workdir, "xvfb.log"), "wb")
    process = subprocess.Popen(
        [xvfb, "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0", "640x480x24"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        number = pipe.readline().strip()
    log.close()
    if not number:
        process.wait()
        with open(os.path.join(workdir, "xvfb.log"), "rb") as f:
            tail = f.read().decode(errors="replace").strip().splitlines()[-3:]
        return None, "Xvfb could not start: " + " / ".join(tail)
    return process, ":" + number.decode()


class Tmux:
    def __init__(self, workdir):
        self.socket = os.path.join(workdir, "tmux.sock")

    def run(self, *args, check=True):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null", *args],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=check)

    def screen(self):
        result = self.run("capture-pane", "-p", "-t", "zep", check=False)
        return result.stdout.decode(errors="replace")

    def keys(self, *keys):
        self.run("send-keys", "-t", "zep", *keys)

    def alive(self):
        return self.run("has-session", "-t", "zep", check=False).returncode == 0

    def kill(self):
        self.run("kill-server", check=False)


def clipboard(display):
    result = subprocess.run(["xclip", "-selection", "clipboard", "-out"], env=dict(os.environ, DISPLAY=display),
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
    return result.stdout if result.returncode == 0 else None


def set_clipboard(display, data):
    # xclip leaves a process serving the selection; its output goes nowhere
    # so that the call returns once xclip's own process has exited.
    subprocess.run(["xclip", "-selection", "clipboard", "-in"], input=data, env=dict(os.environ, DISPLAY=display),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=10)


def round_trip(zep, workdir, display):
    document = os.path.join(workdir, "hujjat.txt")
    with open(document, "wb") as f:
        f.write("birinchi qator\r\nO\u2018zbekiston \u2014 \u0434\u0443\u043d\u0451\r\n".encode())

    tmux = Tmux(workdir)
    command = ["env", "-u", "WAYLAND_DISPLAY", f"DISPLAY={display}", zep, document]
    tmux.run("new-session", "-d", "-s", "zep", "-x", "100", "-y", "30", *command)
    try:
        if not wait_for("the document on screen", lambda: "birinchi qator" in tmux.screen()):
            fail("zep did not show the document", tmux)

        # Copy in zep, read with xclip: LF line breaks, UTF-8 intact.
        tmux.keys("C-a")
        tmux.keys("C-c")
        if not wait_for("the copy message", lambda: "Nusxa olindi" in tmux.screen()):
            fail("no copy message", tmux)
        expected = "birinchi qator\nO\u2018zbekiston \u2014 \u0434\u0443\u043d\u0451\n".encode()
        if not wait_for("zep's copy on the X clipboard", lambda: clipboard(display) == expected):
            fail(f"xclip -o gave {clipboard(display)!r}, expected {expected!r}", tmux)

        # Set with xclip, paste into zep over the whole text, save.
        set_clipboard(display, "Salom\r\ndunyo\tva \u00abqo\u2018shtirnoq\u00bb\r\noxiri".encode())
        tmux.keys("C-a")
        tmux.keys("C-v")
        tmux.keys("C-s")
        expected_file = "Salom\r\ndunyo\tva \u00abqo\u2018shtirnoq\u00bb\r\noxiri".encode()

        if not wait_for("the save message", lambda: "Saqlandi: hujjat.txt" in tmux.screen()):
            fail("no save message", tmux)
        with open(document, "rb") as f:
            saved = f.read()
        if saved != expected_file:
            fail(f"file holds {saved!r}, expected {expected_file!r}", tmux)

        tmux.keys("C-q")
        if not wait_for("zep to quit", lambda: not tmux.alive()):
            fail("zep did not quit", tmux)
    finally:
        tmux.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zep", required=True)
    args = parser.parse_args()
    zep = os.path.abspath(args.zep)
    for tool in ("tmux", "xclip"):
        if shutil.which(tool) is None:
            fail(f"{tool} is not installed (tools/setup-deps installs it)")

    workdir = tempfile.mkdtemp(prefix="zep-x11-")
    xvfb = None
    try:
        xvfb, display = start_xvfb(workdir)
        if xvfb is None:
            print(f"SKIP: {display}; the X11 clipboard round trip is not tested")
            return SKIP
        round_trip(zep, workdir, display)
        print("PASS: copy to and paste from the X11 clipboard")
        return 0
    finally:
        # The X server's end also ends every xclip still serving a selection.
        if xvfb is not None:
            xvfb.terminate()
            try:
                xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                xvfb.kill()
                xvfb.wait()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
