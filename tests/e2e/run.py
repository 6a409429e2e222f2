#!/usr/bin/env python3
"""End-to-end runner: starts the real zep binary inside tmux, types at it the
way a person would, and compares the screen, the files and the exit status.

A case is a folder under cases/ and needs no code:

  input/     files copied into a fresh temporary directory (the working
             directory of the run); optional
  prepare    shell commands run in that directory before zep starts (files
             too large or too odd for input/: sparse files, FIFOs); optional
  args       the command-line arguments, one per line; optional
  size       "COLUMNSxROWS", default 80x24; optional
  memory-limit  zep's address space in KiB (ulimit -v), to make it run out
             of memory; optional
  job-control   present: zep runs as a job of its own, as a shell with job
             control starts it, so that SIGTSTP really stops it; optional
  steps      what to do and what to check, one step per line (below)
  expect/    files that must exist afterwards with exactly these bytes; optional

Steps (blank lines and lines starting with # are ignored):

  keys K...          tmux key names (C-q, S-Left, Enter, F1, ...)
  type TEXT          the text literally
  hex XX XX ...      raw bytes, for mouse reports and the like
  paste FILE         the bytes of FILE (in the case folder) pasted as the
                     terminal pastes: bracketed when zep asked for it
  wait TEXT          until the screen shows TEXT
  gone TEXT          until the screen no longer shows TEXT
  gone-within MS TEXT  the same, but failing unless it happens within MS ms
  row N TEXT         until screen row N (0-based) is exactly TEXT (trailing
                     spaces ignored; TEXT may be empty)
  row-starts N TEXT  until screen row N begins with TEXT
  selected N TEXT    until the highlighted (selection-coloured) cells of row N
                     read TEXT
  cursor X Y         until the terminal's cursor is at column X of row Y (0-based)
  sleep MS           a pause, only where time itself is what is tested
  exit CODE          until zep has ended; its exit status must be CODE
  stderr TEXT        what zep wrote on standard error, exactly (after exit)
  restored           after exit: the terminal is as before the run (stty
                     settings, normal screen, cursor shown, mouse reporting off)
  untouched          after exit: zep never switched to the alternate screen
  absent FILE        FILE does not exist in the working directory
  run COMMAND        a shell command in the working directory, which must
                     succeed: another program at work, or a check of files
  signal NAME        sends the signal (TERM, HUP, QUIT, ...) to zep
  suspended          until zep is stopped with the terminal as before the run
                     (stty settings, normal screen, cursor shown, mouse
                     reporting off)
  resize WxH         resizes the terminal

Waits poll the screen until the condition holds or a generous time-out runs
out, so a loaded machine does not make a case flaky.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT = 15.0
POLL = 0.05
SELECTION_BG = "48;2;50;80;140"


class CaseFailure(Exception):
    pass


class Pane:
    def __init__(self, socket, workdir, zep, args, size, memory_limit=None, job_control=False):
        self.socket = socket
        self.workdir = workdir
        self.target = "zep-e2e"
        self.zep_name = os.path.basename(zep)[:15]
        cols, rows = size
        self.status_file = os.path.join(workdir, ".zep-status")
        self.stderr_file = os.path.join(workdir, ".zep-stderr")
        self.stty_before = os.path.join(workdir, ".stty-before")
        self.stty_after = os.path.join(workdir, ".stty-after")
        self.alt_log = os.path.join(workdir, ".alt-log")
        # The wrapper records the terminal settings around the run, and the
        # exit status and error stream of zep, then waits so the pane stays.
        run_zep = (
            f"env -u DISPLAY -u WAYLAND_DISPLAY {shlex.quote(zep)} "
            + " ".join(shlex.quote(a) for a in args)
            + f" 2> {shlex.quote(self.stderr_file)}; "
            f"echo $? > {shlex.quote(self.status_file)}"
        )
        if memory_limit:
            run_zep = f"ulimit -v {int(memory_limit)}; {run_zep}"
        # A subshell keeps the limit to zep. With job control (set -m) it is
        # a job of its own, which a SIGTSTP stops; the shell waits for the
        # subshell, which is never stopped, so the run goes on after.
        command = (
            ("set -m; " if job_control else "")
            + f"stty -g > {shlex.quote(self.stty_before)}; "
            f"( {run_zep} ); "
            # Renamed into place so that the runner never reads it half-written.
            f"stty -g > {shlex.quote(self.stty_after)}.part; "
            f"mv {shlex.quote(self.stty_after)}.part {shlex.quote(self.stty_after)}; "
            "exec sleep 3600"
        )
        self.tmux("new-session", "-d", "-s", self.target, "-x", str(cols), "-y", str(rows),
                  "-c", workdir, "sh", "-c", command)
        self.tmux("set-option", "-t", self.target, "status", "off")

    def tmux(self, *args, check=True):
        result = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *args],
                                capture_output=True, text=True)
        if check and result.returncode != 0:
            raise CaseFailure(f"tmux {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def screen(self, styled=False):
        args = ["capture-pane", "-p", "-N", "-t", self.target]
        if styled:
            args.insert(2, "-e")
        return self.tmux(*args).split("\n")

    def flag(self, name):
        return self.tmux("display-message", "-p", "-t", self.target, "#{" + name + "}").strip()

    def exited(self):
        return os.path.exists(self.status_file) and os.path.exists(self.stty_after)

    def zep_pids(self):
        """zep among the pane shell's descendants."""
        found, parents = [], [self.flag("pane_pid")]
        while parents:
            children = subprocess.run(["pgrep", "-P", ",".join(parents)], capture_output=True,
                                      text=True).stdout.split()
            for pid in children:
                try:
                    if open(f"/proc/{pid}/comm").read().strip() == self.zep_name:
                        found.append(pid)
                except OSError:
                    pass
            parents = children
        return found

    def terminal_as_before(self):
        """What is wrong with the terminal compared with before the run, or None."""
        now = subprocess.run(["stty", "-g", "-F", self.flag("pane_tty")], capture_output=True,
                             text=True).stdout
        if now != open(self.stty_before).read():
            return "terminal settings differ (raw mode left on?)"
        checks = {"alternate_on": "0", "cursor_flag": "1", "mouse_any_flag": "0",
                  "mouse_button_flag": "0", "mouse_standard_flag": "0", "mouse_sgr_flag": "0"}
        for name, want in checks.items():
            got = self.flag(name)
            if got != want:
                return f"tmux reports {name}={got}, expected {want}"
        return None


def selected_text(styled_row):
    """The characters of a captured row drawn with the selection background."""
    out = []
    on = False
    for token in re.findall(r"\x1b\[[0-9;:]*m|[^\x1b]", styled_row):
        if token.startswith("\x1b["):
            params = token[2:-1]
            if SELECTION_BG in params:
                on = True
            elif params in ("", "0", "49") or "48;" in params:
                on = False
        elif on:
            out.append(token)
    return "".join(out)


def wait_for(description, condition, pane, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(POLL)
    screen = "\n".join(f"{i:2}|{line}" for i, line in enumerate(pane.screen()))
    raise CaseFailure(f"timed out waiting for {description}; the screen was:\n{screen}")


def wait_settled(pane):
    """Until the first frame is drawn and the screen stops changing."""
    last = None
    stable_since = time.monotonic()
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        if pane.exited():
            return
        now = pane.screen()
        if now != last:
            last = now
            stable_since = time.monotonic()
        elif any(line.strip() for line in now) and time.monotonic() - stable_since > 0.3:
            return
        time.sleep(POLL)


def run_step(pane, line):
    word, _, rest = line.partition(" ")
    if word == "keys":
        pane.tmux("send-keys", "-t", pane.target, *rest.split())
    elif word == "type":
        pane.tmux("send-keys", "-t", pane.target, "-l", rest)
    elif word == "hex":
        pane.tmux("send-keys", "-t", pane.target, "-H", *rest.split())
    elif word == "paste":
        # -r: the bytes as they are (tmux would turn LF into CR); -p: in
        # brackets, if the program asked for bracketed paste.
        buffer = "zep-e2e-paste"
        pane.tmux("load-buffer", "-b", buffer, os.path.join(pane.case_dir, rest.strip()))
        pane.tmux("paste-buffer", "-p", "-r", "-d", "-b", buffer, "-t", pane.target)
    elif word == "wait":
        wait_for(f"'{rest}' on screen", lambda: any(rest in row for row in pane.screen()), pane)
    elif word == "gone":
        wait_for(f"'{rest}' to disappear", lambda: all(rest not in row for row in pane.screen()), pane)
    elif word == "gone-within":
        ms, _, text = rest.partition(" ")
        wait_for(f"'{text}' to disappear within {ms} ms",
                 lambda: all(text not in row for row in pane.screen()), pane, int(ms) / 1000.0)
    elif word == "signal":
        pids = pane.zep_pids()
        if not pids:
            raise CaseFailure("zep is not running")
        for pid in pids:
            subprocess.run(["kill", "-" + rest.strip(), pid], check=True)
    elif word == "suspended":
        def stopped():
            pids = pane.zep_pids()
            return bool(pids) and all(open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[0] == "T"
                                      for p in pids)
        wait_for("zep to stop", stopped, pane)
        wait_for("the terminal to be as before the run", lambda: pane.terminal_as_before() is None, pane)
    elif word == "run":
        result = subprocess.run(["sh", "-c", rest], cwd=pane.workdir, capture_output=True, text=True)
        if result.returncode != 0:
            raise CaseFailure(f"'{rest}' failed ({result.returncode}): {result.stderr.strip()}")
    elif word == "resize":
        cols, rows = rest.strip().split("x")
        pane.tmux("resize-window", "-t", pane.target, "-x", cols, "-y", rows)
    elif word == "absent":
        if os.path.exists(os.path.join(pane.workdir, rest)):
            raise CaseFailure(f"{rest} exists")
    elif word == "row":
        number, _, text = rest.partition(" ")
        n = int(number)
        wait_for(f"row {n} to read '{text}'", lambda: pane.screen()[n].rstrip() == text.rstrip(), pane)
    elif word == "row-starts":
        number, _, text = rest.partition(" ")
        n = int(number)
        wait_for(f"row {n} to begin with '{text}'", lambda: pane.screen()[n].startswith(text), pane)
    elif word == "selected":
        number, _, text = rest.partition(" ")
        n = int(number)
        wait_for(f"row {n} to highlight '{text}'",
                 lambda: selected_text(pane.screen(styled=True)[n]) == text, pane)
    elif word == "cursor":
        x, y = rest.split()
        wait_for(f"the cursor at column {x} of row {y}",
                 lambda: pane.flag("cursor_x") == x and pane.flag("cursor_y") == y, pane)
    elif word == "sleep":
        time.sleep(int(rest) / 1000.0)
    elif word == "exit":
        wait_for("zep to exit", pane.exited, pane)
        status = open(pane.status_file).read().strip()
        if status != rest.strip():
            raise CaseFailure(f"exit status {status}, expected {rest.strip()}; stderr: "
                              + open(pane.stderr_file, errors="replace").read())
    elif word == "stderr":
        wait_for("zep to exit", pane.exited, pane)
        got = open(pane.stderr_file, encoding="utf-8", errors="replace").read().rstrip("\n")
        if got != rest:
            raise CaseFailure(f"stderr was {got!r}, expected {rest!r}")
    elif word == "restored":
        wait_for("zep to exit", pane.exited, pane)
        if open(pane.stty_before).read() != open(pane.stty_after).read():
            raise CaseFailure("terminal settings differ after the run (raw mode left on?)")
        checks = {"alternate_on": "0", "cursor_flag": "1", "mouse_any_flag": "0",
                  "mouse_button_flag": "0", "mouse_standard_flag": "0", "mouse_sgr_flag": "0"}
        for name, want in checks.items():
            got = pane.flag(name)
            if got != want:
                raise CaseFailure(f"after the run tmux reports {name}={got}, expected {want}")
    elif word == "untouched":
        wait_for("zep to exit", pane.exited, pane)
        if open(pane.stty_before).read() != open(pane.stty_after).read():
            raise CaseFailure("terminal settings changed")
        if pane.flag("alternate_on") != "0":
            raise CaseFailure("still on the alternate screen")
        if any(line.strip() for line in pane.screen()):
            raise CaseFailure("zep drew on the normal screen:\n" + "\n".join(pane.screen()))
    else:
        raise CaseFailure(f"unknown step '{word}'")


def compare_files(case_dir, workdir):
    expect = os.path.join(case_dir, "expect")
    if not os.path.isdir(expect):
        return
    for root, _, files in os.walk(expect):
        for name in files:
            want_path = os.path.join(root, name)
            rel = os.path.relpath(want_path, expect)
            got_path = os.path.join(workdir, rel)
            want = open(want_path, "rb").read()
            if not os.path.exists(got_path):
                raise CaseFailure(f"{rel} was not written")
            got = open(got_path, "rb").read()
            if got != want:
                raise CaseFailure(f"{rel} differs:\n  got      {got[:200]!r}\n  expected {want[:200]!r}")


def run_case(zep, case_dir):
    steps_path = os.path.join(case_dir, "steps")
    steps = [line.rstrip("\n") for line in open(steps_path, encoding="utf-8")]
    steps = [line for line in steps if line.strip() and not line.startswith("#")]
    args = []
    if os.path.exists(os.path.join(case_dir, "args")):
        args = [line.rstrip("\n") for line in open(os.path.join(case_dir, "args"), encoding="utf-8")
                if line.strip()]
    size = (80, 24)
    if os.path.exists(os.path.join(case_dir, "size")):
        cols, rows = open(os.path.join(case_dir, "size")).read().strip().split("x")
        size = (int(cols), int(rows))
    memory_limit = None
    if os.path.exists(os.path.join(case_dir, "memory-limit")):
        memory_limit = open(os.path.join(case_dir, "memory-limit")).read().strip()
    job_control = os.path.exists(os.path.join(case_dir, "job-control"))

    workdir = tempfile.mkdtemp(prefix="zep-e2e-")
    socket = f"zep-e2e-{os.getpid()}-{os.path.basename(case_dir)}"
    pane = None
    try:
        if os.path.isdir(os.path.join(case_dir, "input")):
            shutil.copytree(os.path.join(case_dir, "input"), workdir, dirs_exist_ok=True)
        prepare = os.path.abspath(os.path.join(case_dir, "prepare"))
        if os.path.exists(prepare):
            result = subprocess.run(["sh", "-e", prepare], cwd=workdir, capture_output=True, text=True)
            if result.returncode != 0:
                raise CaseFailure(f"prepare failed: {result.stderr.strip()}")
        pane = Pane(socket, workdir, zep, args, size, memory_limit, job_control)
        pane.case_dir = case_dir
        wait_settled(pane)
        for step in steps:
            run_step(pane, step)
        if not pane.exited():
            # Cases that leave zep running are ended here; only files are checked.
            pane.tmux("kill-server", check=False)
            pane = None
        compare_files(case_dir, workdir)
    finally:
        if pane is not None:
            pane.tmux("kill-server", check=False)
        shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zep", required=True)
    parser.add_argument("--cases", required=True)
    parser.add_argument("only", nargs="*", help="run only these cases")
    options = parser.parse_args()
    zep = os.path.abspath(options.zep)
    names = sorted(os.listdir(options.cases))
    if options.only:
        names = [n for n in names if n in options.only]
    passed = failed = 0
    for name in names:
        case_dir = os.path.join(options.cases, name)
        if not os.path.isfile(os.path.join(case_dir, "steps")):
            continue
        started = time.monotonic()
        try:
            run_case(zep, case_dir)
            passed += 1
            print(f"PASS {name} ({time.monotonic() - started:.1f}s)")
        except CaseFailure as failure:
            failed += 1
            print(f"FAIL {name}: {failure}")
        sys.stdout.flush()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
