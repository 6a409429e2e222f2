#!/usr/bin/env python3
"""Side-by-side comparison of zep with the peer editors vim, nano, micro and
kakoune, through tmux: the same generated files, the same 120x40 pane, one run.

    bench/compare.py --zep build/zep typing   # bytes written for typing and a cursor move
    bench/compare.py --zep build/zep paste    # a 40 KB bracketed paste until it shows
    bench/compare.py --zep build/zep open     # open 100 MB files: time and peak memory
    bench/compare.py --zep build/zep all      # the three, one after another

Options: --editors zep,vim,... picks editors; --data DIR keeps the generated
100 MB files between runs (they take a while to write); --timeout SECONDS.

Every editor runs with a clean configuration (vim --clean, nano
--ignorercfile, micro -config-dir on an empty directory, kak -n) and with
HOME, the XDG directories and TMPDIR pointing into a private temporary
directory, so nothing of the user's set-up is read. tmux runs on a private
socket and is shut down at the end, with the temporary files.

Nothing waits a fixed time: each step polls the screen (capture-pane), the
byte count or the process until the condition holds, or a time-out runs out.
This is run by hand, never by ctest or CI; the figures depend on the machine.
"""

import argparse
import fcntl
import os
import random
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import termios
import time
import tty

WIDTH, HEIGHT = 120, 40
TERM = "tmux-256color"
POLL = 0.005  # between looks at the screen while a time is being measured
QUIET = 0.5  # no output for this long means the editor has settled
KEY_QUIET = 0.2  # the same between two typed keys
READY_TIMEOUT = 30.0
TYPED = "thequickbrownfoxjump"  # 20 letters
RUNS = 3

# Words for the generated texts. They only need to look like text to an
# editor: word lengths, spaces, punctuation, the mix of one- and two-byte
# letters.
ENGLISH = """the of and to in is was that for on with as by at from his her
they which this have had not are but were been their one all would there what
so out up into about than them can only other new some could time these two
may then first any like now my such make over did even most after also made
many before must through back years where much your way well down should
because each just those people how too little state good very world still own
see men work long get here between both life being under never day same
another know while last might great old year off come since against go came
right used take three states himself few house use during without again place
around however home small found thought went say part once general high upon
school every does got united left number course war until always away
something fact though water less public put think almost hand enough far took
head yet government system better set told nothing night end why called
didn't eyes find going look asked later knew point next program city business
give group toward young days let room president side social given present
several order national possible rather second face per among form important
often things looking early white case john become large big need four within
felt along children saw best church ever least power development light""".split()

RUSSIAN = """и в не на я быть он с что а по это она этот к но они мы как из у
который то за свой что весь год от так о для ты же все тот мочь вы человек
такой его сказать только или еще бы себя один как уже до время если сам когда
другой вот говорить наш мой знать стать при чтобы дело жизнь кто первый очень
два день её новый рука даже во со раз где там под можно ну какой после их
работа без самый потом надо хотеть ли слово идти большой должен место иметь
ничто то сейчас тут лицо каждый друг нет теперь ни глаз тоже тогда видеть
вопрос через да здесь дом да потому сторона какой-то думать сделать страна
жить чем мир об последний случай голова более делать что-то смотреть ребенок
просто конечно сила российский конец перед несколько видеть вид система всегда
любой понять свет город дорога земля хороший ночь утро вечер письмо книга окно
улица столица берег река лес поле школа учитель отец мать брат сестра история
деревня народ язык правда голос сердце память""".split()

# Words with letters beyond ASCII from the languages zep is used with.
ACCENTED = """café naïve façade déjà rôle élève français garçon über Straße
Müller schön Mädchen grüßen Öl Ärger søster smørrebrød Ísland fjörður
oʻzbek gʻalaba oʻqituvchi shahar maktab kitob oʻrik gʻisht Toshkent Samarqand
Buxoro qoʻshiq yoʻl koʻcha Привет мир Київ Беларусь Ўзбекистон""".split()


def sentence(rng, words, count):
    text = " ".join(rng.choices(words, k=count))
    return text[0].upper() + text[1:] + rng.choice(".....!?;:")


def prose_lines(rng, count, width):
    """COUNT lines of English prose no wider than WIDTH, with a blank line
    between paragraphs now and then."""
    lines = []
    while len(lines) < count:
        if lines and rng.random() < 0.08:
            lines.append("")
            continue
        line = sentence(rng, ENGLISH, rng.randint(3, 14))
        while len(line) > width:
            line = line[: line.rindex(" ")] + "."
        lines.append(line)
    return lines


def typing_text(rng):
    # The first line stays short, so that the typed letters cannot push any
    # editor into wrapping or scrolling it sideways.
    return "\n".join(["A few notes on the harbour"] + prose_lines(rng, 299, 72)) + "\n"


PASTE_LAST_LINE = "The pasted text ends here, après cinq cents lignes — конец."


def paste_text(rng):
    """About 40 KB in 500 lines: prose (a third of it Russian), indented
    lines, tab-separated columns, letters beyond ASCII. No line is wider than
    78 columns with its tabs expanded, so that no editor wraps one."""
    lines = []
    while len(lines) < 499:
        kind = rng.random()
        if kind < 0.15:
            line = "\t".join(rng.choices(ACCENTED + ENGLISH, k=4)) + f"\t{rng.randint(1, 99999)}"
        else:
            words = RUSSIAN if kind < 0.5 else ENGLISH + ACCENTED
            indent = "\t" if kind > 0.85 else ""
            width = rng.randint(64, 78)
            line = sentence(rng, words, 3)
            while True:
                longer = line[:-1] + " " + rng.choice(words) + line[-1]
                if len((indent + longer).expandtabs(8)) > width:
                    break
                line = longer
            line = indent + line
        if len(line.expandtabs(8)) <= 78:
            lines.append(line)
    lines.append(PASTE_LAST_LINE)
    return "\n".join(lines)


# The first line of each large file holds an ASCII mark found nowhere else:
# an editor that does not decode windows-1251 shows the Cyrillic around it
# wrongly, but the mark itself as it is.
OPEN_MARK = "1998-03-12 No. 4711"
LARGE_LINES = 1_000_000


def large_text(path, encoding, rng):
    """A text of LARGE_LINES lines of about 100 bytes each in ENCODING:
    Latin and Cyrillic lines mixed for UTF-8, Russian only for windows-1251.
    Written beside PATH first and renamed, so an interrupted run leaves no
    half file to be reused."""
    if encoding == "utf-8":
        first = f"Report {OPEN_MARK} / Отчёт за март"
        pools = [(ENGLISH, 15, 27), (RUSSIAN, 6, 11)]
    else:
        first = f"Протокол {OPEN_MARK}, Москва"
        pools = [(RUSSIAN, 13, 25)]
    with open(path + ".part", "w", encoding=encoding, newline="\n") as out:
        out.write(first + "\n")
        chunk = []
        for n in range(1, LARGE_LINES):
            words, low, high = rng.choice(pools)
            chunk.append(sentence(rng, words, rng.randint(low, high)))
            if len(chunk) == 10000 or n == LARGE_LINES - 1:
                out.write("\n".join(chunk) + "\n")
                chunk = []
    os.rename(path + ".part", path)


# --- tmux -------------------------------------------------------------------


class Tmux:
    """A tmux server of our own on a private socket. A session that only
    waits keeps it alive between the editors' sessions, so starting an
    editor never includes starting the server."""

    def __init__(self):
        self.socket = f"zep-bench-{os.getpid()}"
        self.count = 0
        self.run("new-session", "-d", "-s", "keeper", "-x", str(WIDTH), "-y", str(HEIGHT),
                 "sleep", "1000000")
        self.run("set-option", "-g", "status", "off")
        self.run("set-option", "-g", "default-terminal", TERM)
        # A pane whose program has ended stays, so a crash shows as a dead
        # pane with its last screen instead of a vanished session.
        self.run("set-option", "-g", "remain-on-exit", "on")

    def run(self, *args):
        result = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *args],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"tmux {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def start(self, argv, cwd):
        """A new session running ARGV directly (no shell between: the pane's
        process is the program itself when ARGV execs it)."""
        self.count += 1
        name = f"run{self.count}"
        self.run("new-session", "-d", "-s", name, "-x", str(WIDTH), "-y", str(HEIGHT),
                 "-c", cwd, *argv)
        return Pane(self, name)

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


class Pane:
    def __init__(self, tmux, name):
        self.tmux = tmux
        self.name = name
        # One question to tmux, not three: this runs inside the measured time.
        pid, size = tmux.run("display-message", "-p", "-t", name,
                             "#{pane_pid} #{pane_width}x#{pane_height}").split()
        self.pid = int(pid)
        if size != f"{WIDTH}x{HEIGHT}":
            raise RuntimeError(f"the pane is {size}, not {WIDTH}x{HEIGHT}")

    def flag(self, name):
        return self.tmux.run("display-message", "-p", "-t", self.name, "#{" + name + "}").strip()

    def screen(self):
        return self.tmux.run("capture-pane", "-p", "-t", self.name).split("\n")[:HEIGHT]

    def shows(self, text):
        return any(text in row for row in self.screen())

    def keys(self, *keys):
        self.tmux.run("send-keys", "-t", self.name, *keys)

    def type(self, text):
        self.tmux.run("send-keys", "-t", self.name, "-l", text)

    def dead(self):
        return self.flag("pane_dead") == "1"

    def close(self):
        """Ends the session (its programs get SIGHUP) and makes sure the
        program we started is gone."""
        self.tmux.run("kill-session", "-t", self.name)
        deadline = time.monotonic() + 5
        while os.path.exists(f"/proc/{self.pid}") and time.monotonic() < deadline:
            time.sleep(0.01)
        if os.path.exists(f"/proc/{self.pid}"):
            os.kill(self.pid, signal.SIGKILL)


class TimedOut(Exception):
    pass


def wait_until(condition, timeout, what, pane=None):
    """Until CONDITION() holds; looks whether the editor has died now and
    then, not on every poll, which would halve the polling rate."""
    start = time.monotonic()
    checked = start
    while not condition():
        now = time.monotonic()
        if now - start > timeout:
            raise TimedOut(f"no {what} within {timeout:g} s")
        if pane is not None and now - checked > 0.25:
            checked = now
            if pane.dead():
                raise TimedOut(f"the editor ended before {what}")
        # Every look starts a tmux client, which takes processor time from
        # the editor on a small machine: a long wait looks less often, so
        # that the figure stays within about 1 % either way.
        time.sleep(min(max(POLL, (now - start) / 100), 0.1))


def wait_quiet(measure, quiet, timeout):
    """Until MEASURE() has not changed for QUIET seconds."""
    deadline = time.monotonic() + timeout
    last = measure()
    since = time.monotonic()
    while time.monotonic() - since < quiet:
        if time.monotonic() > deadline:
            raise TimedOut(f"still changing after {timeout:g} s")
        time.sleep(0.01)
        now = measure()
        if now != last:
            last, since = now, time.monotonic()


# --- the editors ----------------------------------------------------------


class Editor:
    def __init__(self, name, argv, insert_key=None, insert_mark=None, ready=None):
        self.name = name
        self.argv = argv  # (file, a function making an empty directory) -> command line
        self.insert_key = insert_key  # the key that starts typing text, for modal editors
        self.insert_mark = insert_mark  # what the bottom row shows once it has
        self.ready = ready  # screen -> True once start-up messages are gone


def zep_ready(screen):
    # zep shows a hint of the main keys on its message line for its first
    # seconds; a keystroke measured while it is still there would pay for
    # taking it away.
    return not any("Ctrl+S saqlash" in row for row in screen)


def editors(zep, names):
    table = {
        "zep": Editor("zep", lambda f, c: [zep, f], ready=zep_ready),
        "vim": Editor("vim", lambda f, c: [shutil.which("vim"), "--clean", "-n", f],
                      insert_key="i", insert_mark="-- INSERT --"),
        "nano": Editor("nano", lambda f, c: [shutil.which("nano"), "--ignorercfile", f]),
        "micro": Editor("micro", lambda f, c: [shutil.which("micro"), "-config-dir", c(), f]),
        "kakoune": Editor("kakoune", lambda f, c: [shutil.which("kak"), "-n", f],
                          insert_key="i", insert_mark="insert"),
    }
    chosen = []
    for name in names:
        if name not in table:
            sys.exit(f"compare.py: unknown editor {name}; known: {', '.join(table)}")
        if name != "zep" and table[name].argv("", lambda: "")[0] is None:
            sys.exit(f"compare.py: {name} is not installed (tools/setup-deps --tests)")
        chosen.append(table[name])
    return chosen


def version_lines(zep, chosen):
    def first_line(argv):
        try:
            out = subprocess.run(argv, capture_output=True, text=True, timeout=10).stdout
        except OSError as error:
            return str(error)
        return out.strip().split("\n")[0]

    def package(name):
        out = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", name],
                             capture_output=True, text=True)
        return f"  (Debian {out.stdout})" if out.returncode == 0 and out.stdout else ""

    checkout = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(__file__)),
                               "describe", "--always", "--dirty"],
                              capture_output=True, text=True).stdout.strip()
    lines = []
    for e in chosen:
        if e.name == "zep":
            lines.append(f"zep      {os.path.abspath(zep)}  (this checkout: {checkout or '?'})")
        elif e.name == "vim":
            lines.append("vim      " + first_line(["vim", "--version"]) + package("vim"))
        elif e.name == "nano":
            lines.append("nano     " + first_line(["nano", "--version"]) + package("nano"))
        elif e.name == "micro":
            lines.append("micro    " + first_line(["micro", "-version"]) + package("micro"))
        elif e.name == "kakoune":
            lines.append("kakoune  " + first_line(["kak", "-version"]) + package("kakoune"))
    lines.append(f"tmux     {first_line(['tmux', '-V'])}, pane {WIDTH}x{HEIGHT}, TERM={TERM}; "
                 f"{os.uname().sysname} {os.uname().release}, {os.cpu_count()} CPUs")
    return lines


class Bench:
    """The private directories, the tmux server and the editors of one run."""

    def __init__(self, args):
        self.tmp = tempfile.mkdtemp(prefix="zep-bench-")
        self.home = os.path.join(self.tmp, "home")
        for sub in ("home/.config", "home/.local/share", "home/.cache", "home/.local/state",
                    "run", "tmp", "work"):
            os.makedirs(os.path.join(self.tmp, sub), mode=0o700)
        self.work = os.path.join(self.tmp, "work")
        self.zep = os.path.abspath(args.zep)
        self.editors = editors(self.zep, args.editors.split(","))
        self.timeout = args.timeout
        self.tmux = Tmux()

    def close(self, keep=False):
        self.tmux.close()
        if keep:
            print(f"kept {self.tmp}", file=sys.stderr)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def environment(self):
        """A clean environment: only PATH, the terminal, a UTF-8 locale and
        the private directories."""
        t = self.tmp
        return ["env", "-i", f"PATH={os.environ.get('PATH', '/usr/bin:/bin')}", f"TERM={TERM}",
                "LANG=C.UTF-8", "LC_ALL=C.UTF-8", f"HOME={self.home}",
                f"XDG_CONFIG_HOME={t}/home/.config", f"XDG_DATA_HOME={t}/home/.local/share",
                f"XDG_CACHE_HOME={t}/home/.cache", f"XDG_STATE_HOME={t}/home/.local/state",
                f"XDG_RUNTIME_DIR={t}/run", f"TMPDIR={t}/tmp"]

    def start(self, editor, path, relay_log=None):
        argv = self.environment()
        if relay_log is not None:
            argv += [sys.executable, os.path.abspath(__file__), "relay", relay_log, "--"]
        # An editor that is given a configuration directory (micro) gets an
        # empty one of its own every time.
        config = lambda: tempfile.mkdtemp(prefix=f"{editor.name}-config-", dir=self.tmp)
        return self.tmux.start(argv + editor.argv(path, config), self.work)

    def settle(self, editor, pane, shown, quiet_measure):
        """Until the editor shows SHOWN, has dropped its start-up messages and
        has written nothing for a while; then into insert mode for a modal
        editor, again until it settles. Nothing of this is measured."""
        wait_until(lambda: shown(pane.screen()), READY_TIMEOUT, "first frame", pane)
        if editor.ready:
            wait_until(lambda: editor.ready(pane.screen()), READY_TIMEOUT, "settled screen", pane)
        wait_quiet(quiet_measure, QUIET, READY_TIMEOUT)
        if editor.insert_key:
            pane.keys(editor.insert_key)
            wait_until(lambda: editor.insert_mark in pane.screen()[-1], READY_TIMEOUT,
                       "insert mode", pane)
            wait_quiet(quiet_measure, QUIET, READY_TIMEOUT)


# --- typing ---------------------------------------------------------------


def relay(log_path, argv):
    """Runs ARGV on a pseudo-terminal of its own and passes every byte
    between it and this terminal (the tmux pane) unchanged, appending what
    the program writes to LOG_PATH before passing it on.

    This is how the typing figures are counted. The log holds exactly the
    bytes the program's terminal delivers, after the terminal driver's own
    output processing: what a terminal, or ssh, would carry. Because each
    piece reaches the log before tmux sees it, a character on screen means
    every byte up to it has been counted. (tmux pipe-pane copies the pane's
    output too, but asynchronously: nothing says when its copy is complete.)"""
    master, slave = os.openpty()
    termios.tcsetattr(slave, termios.TCSANOW, termios.tcgetattr(0))
    fcntl.ioctl(slave, termios.TIOCSWINSZ, fcntl.ioctl(0, termios.TIOCGWINSZ, bytes(8)))
    pid = os.fork()
    if pid == 0:
        os.close(master)
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
        for fd in (0, 1, 2):
            os.dup2(slave, fd)
        os.close(slave)
        os.execvp(argv[0], argv)
    os.close(slave)

    def pass_resize(*_):
        fcntl.ioctl(master, termios.TIOCSWINSZ, fcntl.ioctl(0, termios.TIOCGWINSZ, bytes(8)))

    signal.signal(signal.SIGWINCH, pass_resize)
    tty.setraw(0)
    log = os.open(log_path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o600)

    def write_all(fd, data):
        while data:
            data = data[os.write(fd, data):]

    while True:
        readable, _, _ = select.select([0, master], [], [])
        if master in readable:
            try:
                data = os.read(master, 65536)
            except OSError:  # EIO: the program has ended
                data = b""
            if not data:
                break
            write_all(log, data)
            write_all(1, data)
        if 0 in readable:
            data = os.read(0, 65536)
            if not data:
                break
            write_all(master, data)
    os.waitpid(pid, 0)


def write_text(directory, name, text):
    path = os.path.join(directory, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def in_rounds(editors, measure):
    """RUNS of MEASURE(editor, number) for each editor, round after round
    rather than editor after editor, so that a passing load on the machine
    spreads over all of them. An editor that timed out is not run again:
    the figures of each editor, and why the ones that failed did."""
    runs = {e.name: [] for e in editors}
    failed = {}
    for number in range(RUNS):
        for editor in editors:
            if editor.name not in failed:
                try:
                    runs[editor.name].append(measure(editor, number))
                except TimedOut as error:
                    failed[editor.name] = str(error)
    return runs, failed


def print_runs(editors, runs, show):
    """Every run's figures, shown by SHOW, below the table of medians."""
    for editor in editors:
        if runs[editor.name]:
            print(f"  {editor.name:<14} runs: " + ", ".join(show(run) for run in runs[editor.name]))


def typing(bench):
    text = typing_text(random.Random(17))
    path = write_text(bench.work, "notes.txt", text)
    first = text.split("\n")[0]
    results = {}
    bracketed = []
    for editor in bench.editors:
        log = os.path.join(bench.tmp, f"{editor.name}.out")
        pane = bench.start(editor, path, relay_log=log)
        size = lambda: os.path.getsize(log) if os.path.exists(log) else 0
        try:
            bench.settle(editor, pane, lambda s: any(first in row for row in s), size)
            # (a) twenty letters at the start of the first line, each sent
            # on its own and waited for until it is on screen, and the
            # output quiet again, so that every key gets a frame of its own.
            before = size()
            for i in range(len(TYPED)):
                pane.type(TYPED[i])
                expected = TYPED[: i + 1] + first[:10]
                wait_until(lambda: pane.shows(expected), bench.timeout, f"'{TYPED[i]}' on screen", pane)
                wait_quiet(size, KEY_QUIET, bench.timeout)
            wait_quiet(size, QUIET, bench.timeout)
            typed = size() - before
            # (b) one line down, alone: until something is written and the
            # output is quiet again.
            before = size()
            pane.keys("Down")
            wait_until(lambda: size() > before, bench.timeout, "output for Down", pane)
            wait_quiet(size, QUIET, bench.timeout)
            results[editor.name] = (typed, size() - before)
            with open(log, "rb") as f:
                if b"\x1b[?2004h" in f.read():
                    bracketed.append(editor.name)
        except TimedOut as error:
            results[editor.name] = str(error)
        finally:
            pane.close()
    print(f"\ntyping: {len(TYPED)} letters typed one at a time at the start of line 1 of a "
          f"{text.count(chr(10))}-line text ({len(text.encode()):,} bytes), "
          "then one Down; bytes the editor wrote to its terminal")
    print_table(bench.editors, results,
                [("20 typed characters", "{:,}", "B", True), ("one Down", "{:,}", "B", True)])
    print("  asked the terminal for bracketed paste: " + (", ".join(bracketed) or "none"))


# --- paste ----------------------------------------------------------------


def paste(bench):
    text = paste_text(random.Random(18))
    bench.tmux.run("load-buffer", "-b", "bench", write_text(bench.tmp, "paste.txt", text))
    runs, failed = in_rounds(bench.editors, lambda editor, number: paste_once(bench, editor, number))
    print(f"\npaste: {len(text.encode()):,} bytes in {text.count(chr(10)) + 1} lines (tabs, "
          "letters beyond ASCII) pasted with tmux paste-buffer -p into an empty file; "
          f"median of {RUNS} runs, seconds until its last line is on screen")
    results = {e.name: failed.get(e.name) or (statistics.median(runs[e.name]),)
               for e in bench.editors}
    print_table(bench.editors, results, [("paste", "{:.3f}", "s", True)])
    print_runs(bench.editors, runs, lambda t: f"{t:.3f} s")


def paste_once(bench, editor, number):
    # Each run pastes into a new, empty file of its own.
    path = os.path.join(bench.work, f"pasted-{editor.name}-{number}.txt")
    pane = bench.start(editor, path)
    try:
        bench.settle(editor, pane, lambda s: any(row.strip() for row in s), pane.screen)
        # -p brackets the paste when the editor asked for bracketed paste;
        # otherwise tmux sends the text as typed keys, each line end as
        # Enter, as a terminal does.
        start = time.monotonic()
        bench.tmux.run("paste-buffer", "-p", "-b", "bench", "-t", pane.name)
        wait_until(lambda: pane.shows(PASTE_LAST_LINE), bench.timeout,
                   "last pasted line on screen", pane)
        return time.monotonic() - start
    finally:
        pane.close()


# --- open -----------------------------------------------------------------


def peak_memory(pid):
    """The process's peak resident set (VmHWM) in bytes.

    Read from /proc of the editor process itself: the pane runs env, which
    execs the editor, so the pane's process is the editor. VmHWM is the
    kernel's own record of the largest resident set the process ever had
    (the figure /usr/bin/time -v reports as its maximum), so reading it
    while the editor still runs loses nothing; /usr/bin/time would need a
    process of its own in the pane, and its report would land on the screen
    the editor draws."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no VmHWM for process {pid}")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def timed(argv):
    start = time.monotonic()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def open_files(bench, data):
    files = []
    for name, encoding, seed in (("utf8-100M.txt", "utf-8", 1), ("cp1251-100M.txt", "cp1251", 2)):
        path = os.path.join(data, name)
        if not os.path.exists(path):
            print(f"writing {path} ...", file=sys.stderr, flush=True)
            large_text(path, encoding, random.Random(seed))
        files.append((path, encoding))
    for path, encoding in files:
        chosen = list(bench.editors)
        if encoding != "utf-8" and any(e.name == "vim" for e in chosen):
            # The peers read the file as UTF-8 (or vim as Latin-1), so they
            # do not decode it; vim told the encoding shows what decoding costs it.
            chosen.append(Editor("vim cp1251", lambda f, c: [
                shutil.which("vim"), "--clean", "-n", "--cmd", "set fileencodings=cp1251", f]))
        size = os.path.getsize(path)
        timed(["cat", path])  # into the page cache: every run reads from memory
        floors = {
            "wc -l": statistics.median(timed(["wc", "-l", path]) for _ in range(RUNS)),
            "cat > /dev/null": statistics.median(timed(["cat", path]) for _ in range(RUNS)),
            "pane, head -n 1": statistics.median(pane_floor(bench, path) for _ in range(RUNS)),
        }
        runs, failed = in_rounds(chosen, lambda editor, _: open_once(bench, editor, path))
        lines = subprocess.run(["wc", "-l", path], capture_output=True, text=True).stdout.split()[0]
        print(f"\nopen: {os.path.basename(path)}, {size / 1e6:.1f} MB, {int(lines):,} lines, "
              f"{encoding}; median of {RUNS} runs, from starting the editor in a new pane until "
              "the file's first line is on screen; peak resident memory (VmHWM)")
        for name, seconds in floors.items():
            print(f"  floor: {name:<16} {seconds:.3f} s")
        results = {}
        for editor in chosen:
            measured = runs[editor.name]
            if editor.name in failed:
                results[editor.name] = f"skipped: {failed[editor.name]}"
            else:
                peak = statistics.median(m for _, m in measured)
                results[editor.name] = (statistics.median(t for t, _ in measured), peak / 1e6,
                                        peak / size)
        print_table(chosen, results,
                    [("time", "{:.3f}", "s", True), ("memory", "{:.1f}", "MB", True),
                     ("memory / file", "{:.2f}", "x", False)])
        print_runs(chosen, runs, lambda run: f"{run[0]:.3f} s {run[1] / 1e6:.1f} MB")
        if encoding != "utf-8":
            print("  (of the peers as started, none decodes windows-1251: they show the bytes "
                  "as Latin-1 (vim) or as invalid UTF-8)")


def pane_floor(bench, path):
    """What the measurement itself costs: starting a pane that shows the
    first line with head, until it is seen. The shell stays after head, as an
    editor would: tmux may drop what a program wrote just before it ended."""
    start = time.monotonic()
    pane = bench.tmux.start(bench.environment() + [
        "sh", "-c", 'head -n 1 "$0"; exec sleep 1000000', path], bench.work)
    try:
        wait_until(lambda: pane.shows(OPEN_MARK), bench.timeout, "first line on screen")
        return time.monotonic() - start
    finally:
        pane.close()


def open_once(bench, editor, path):
    """Seconds until the first line is on screen, and the peak memory."""
    # The time starts before tmux is asked for the pane, so it includes
    # starting the pane: the same for every editor, and shown as a floor.
    start = time.monotonic()
    pane = bench.start(editor, path)
    try:
        wait_until(lambda: pane.shows(OPEN_MARK), bench.timeout, "first line on screen", pane)
        seconds = time.monotonic() - start
        # Until the editor has stopped working (its processor time stands
        # still), so the peak includes whatever it does after its first frame.
        wait_quiet(lambda: cpu_ticks(pane.pid), QUIET, bench.timeout)
        return seconds, peak_memory(pane.pid)
    finally:
        pane.close()


# --- the tables -----------------------------------------------------------


def print_table(chosen, results, columns):
    """One row per editor; COLUMNS are (title, format, unit, with ratio).
    The ratio is zep's figure divided by the peer's: below 1 means zep's is
    lower (faster, smaller)."""
    zep = results.get("zep")
    header = f"  {'':<14}"
    for title, _, unit, ratio in columns:
        header += f"{title + ' (' + unit + ')':>24}" + (f"{'zep/peer':>10}" if ratio else "")
    print(header)
    for editor in chosen:
        figures = results[editor.name]
        row = f"  {editor.name:<14}"
        if isinstance(figures, str):
            print(row + figures)
            continue
        for i, (_, fmt, _, ratio) in enumerate(columns):
            row += f"{fmt.format(figures[i]):>24}"
            if not ratio:
                continue
            if editor.name == "zep" or not isinstance(zep, tuple):
                row += f"{'':>10}"
            elif figures[i] == 0:
                row += f"{'-':>10}"
            else:
                row += f"{zep[i] / figures[i]:>9.2f}x"
        print(row.rstrip())


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "relay":
        # compare.py relay LOG -- PROGRAM ARGS...: see relay().
        relay(sys.argv[2], sys.argv[4:])
        return
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("what", choices=["typing", "paste", "open", "all"])
    parser.add_argument("--zep", required=True, help="the zep binary to measure")
    parser.add_argument("--editors", default="zep,vim,nano,micro,kakoune")
    parser.add_argument("--data", help="where the large files for open are kept "
                        "(default: a temporary directory, removed afterwards)")
    parser.add_argument("--timeout", type=float, default=120.0,
                        help="seconds to wait for one measured step (default 120)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary directory "
                        "(with what each editor wrote while typing, in EDITOR.out)")
    args = parser.parse_args()
    if not os.access(args.zep, os.X_OK):
        sys.exit(f"compare.py: {args.zep} is not an executable")

    bench = Bench(args)
    try:
        print("\n".join(version_lines(args.zep, bench.editors)))
        if args.what in ("typing", "all"):
            typing(bench)
        if args.what in ("paste", "all"):
            paste(bench)
        if args.what in ("open", "all"):
            if args.data:
                os.makedirs(args.data, exist_ok=True)
            open_files(bench, args.data or bench.tmp)
    finally:
        bench.close(args.keep)


if __name__ == "__main__":
    main()
