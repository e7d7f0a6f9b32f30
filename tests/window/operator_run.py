"""One operator's session at the station, in a real window, checked from the outside.

Started by tests/window/run inside a private X display and D-Bus session. It starts the
accessibility bus, the instrument simulator and the built station as separate processes, then
works the panels as an operator would: reads a master from the instrument, names it and saves
it (the save question, then the same-name question), lists the store and brings the master
back, chooses a stand-in spreadsheet program in the file dialog, returns to the main panel,
exports the master alone, runs an inspection, exports it and quits. Along the way it reads
and answers every popup, and it checks the store files, the export file, how the stand-in was
started and the exit code. Each panel must lie on the screen (1024 x 768 unless told otherwise),
framed by the window manager. It opens the history panel on records put there before the start
and recorded in the session, and from it the chart panel of the session's master. It types barcode
reads into the main panel's serial field as a scanner does: a no-read, a read too long, a GS1 read
with blanks around it, and the next unit read twice while a test runs. It saves a picture of each
of the five panels, and, after the station has quit, one of the second page of the report
surge-report writes of the same history.

Prints one line per group of checks and closes with "N passed, N failed".
"""
import argparse
import datetime
import filecmp
import math
import os
import re
import select
import shutil
import signal
import sqlite3
import subprocess
import sys
import time

# The instrument's setup: model 07, 38 (3.8 kV in an inspection), width 06, 20 pulses (a wait of
# 1.1 s in an inspection), judge 08.
SETUP = "0738062008"
UPLOADED = {"전압": "38.0", "펄스 폭": "6", "펄스 수": "20", "면적": "8", "위상": "8"}
STORED_VALUES = "38.0 6 20 8 8"  # voltage, width, pulse_no, area, phase as the store writes them
LISTED_VALUES = ["38.0", "6", "20", "8", "8"]  # the same in the master list's columns 2 to 6

FIRST_NAME = "PUMP-12"
NAME = "모터똠7"  # 똠 exists only in the extended (UHC) part of code page 949
CORONA = "3"

MAIN_TITLE = "임펄스 권선 시험기 - 검사"
SETUP_TITLE = "임펄스 권선 시험기 - 마스터 등록"
LIST_TITLE = "임펄스 권선 시험기 - 마스터 목록"
HISTORY_TITLE = "임펄스 권선 시험기 - 검사 이력"
CHART_TITLE = "임펄스 권선 시험기 - 관리도"
HISTORY_SEEDED = 40  # records put into the history before the station starts

EMPTY_NAME_WARNING = ("등록될 Master 모델명을 먼저 입력하십시요.\n"
                      "          (모델명 글자 수 : 최대 12 자)")
SAVE_QUESTION = "저장하시겠습니까 ?"
SAME_NAME_QUESTION = "같은 Master 이름이 존재합니다.\n같은 파일에 저장하시겠습니까 ?"
NO_CHOICE_WARNING = "Master 한 개를 선택하십시요 !"
SERIAL_REFUSAL = "일련번호가 64 자를 넘습니다. 다시 읽으십시요."

READINGS = ["전압", "펄스 폭", "펄스 수", "면적", "위상", "코로나"]

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768  # as --screen sets them


class Abort(Exception):
    """The session cannot go on: a step's failure has been counted."""


class Group:
    def __init__(self, name):
        self.name = name
        self.problems = []

    def expect(self, ok, message):
        if not ok:
            self.problems.append(message)
        return ok

    def equal(self, actual, expected, what):
        return self.expect(actual == expected, f"{what}: {actual!r}, expected {expected!r}")


def built_version(build):
    """SURGE_VERSION_TEXT of the build, as cmake/version.cmake wrote it."""
    header = read_bytes(os.path.join(build, "generated", "version", "version.h")) or b""
    m = re.search(rb'#define SURGE_VERSION_TEXT "([^"]*)"', header)
    return m.group(1).decode() if m else None


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def group(self, name):
        return _GroupContext(self, name)

    def record(self, group, stopped=None):
        if stopped:
            group.problems.append(f"{stopped} (the session stops here)")
        if group.problems:
            self.failed += 1
            print(f"FAIL  {group.name}")
            for p in group.problems:
                print(f"        {p}")
        else:
            self.passed += 1
            print(f"ok    {group.name}")
        sys.stdout.flush()


class _GroupContext:
    def __init__(self, checks, name):
        self.checks = checks
        self.group = Group(name)

    def __enter__(self):
        return self.group

    def __exit__(self, kind, error, _traceback):
        if kind is None:
            self.checks.record(self.group)
            return False
        if kind is Abort:
            self.checks.record(self.group)
            return False
        self.checks.record(self.group, stopped=f"{kind.__name__}: {error}")
        raise Abort() from error


# --- files the station keeps ---------------------------------------------------------------

def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def store_line(name, corona):
    return (name.encode("cp949") + f" {STORED_VALUES} {corona}\n".encode("ascii"))


def signed(data):
    return [b - 256 if b > 127 else b for b in data]


def sim_commands(log_path):
    """The commands that the simulator received, in order (each ends in a carriage return)."""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        return re.findall(r"^\S+ RX (\S+)$", f.read(), flags=re.M)


# --- processes -----------------------------------------------------------------------------

class Processes:
    def __init__(self, work):
        self.work = work
        self.started = []
        self.named = {}

    def start(self, args, **kwargs):
        process = subprocess.Popen(args, **kwargs)
        self.started.append(process)
        self.named[os.path.basename(args[0])] = process
        return process

    def stop_all(self):
        for process in reversed(self.started):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def wait_for_accessibility_bus():
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "NameHasOwner",
                              GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                              Gio.DBusCallFlags.NONE, -1, None)
        if reply.unpack()[0]:
            return
        time.sleep(0.1)
    raise RuntimeError("the accessibility bus did not come up")


def first_line(stream, timeout):
    ready, _, _ = select.select([stream], [], [], timeout)
    return stream.readline().decode().strip() if ready else ""


def write_spreadsheet_stand_in(folder):
    """A program that only records the folder it was started in and its arguments."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "spreadsheet")
    with open(path, "w") as f:
        f.write('#!/bin/sh\n'
                '{ printf "cwd=%s\\n" "$PWD"; for a in "$@"; do printf "arg=%s\\n" "$a"; done;'
                ' echo end; } >> "$(dirname "$0")/calls.txt"\n')
    os.chmod(path, 0o755)
    return path, os.path.join(folder, "calls.txt")


# --- the session ---------------------------------------------------------------------------

# The history's first layout, one table with both waves in each row: the station upgrades it.
HISTORY_VERSION_1 = """CREATE TABLE inspection (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL,
  station TEXT NOT NULL, started_at TEXT NOT NULL, ended_at TEXT NOT NULL, serial TEXT NOT NULL,
  master TEXT NOT NULL, model_no TEXT NOT NULL, voltage REAL, width INTEGER, pulse_no INTEGER,
  judge INTEGER, area INTEGER, phase INTEGER, outcome TEXT NOT NULL, stopped_at TEXT NOT NULL,
  standard_wave BLOB, measured_wave BLOB, UNIQUE (station, uuid));
CREATE TABLE schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version VALUES (1);
CREATE TABLE outbox (record INTEGER PRIMARY KEY);"""


def seed_history(home):
    """Records of the last few days, in a history file of the first layout."""
    import sqlite3
    now = datetime.datetime.now().astimezone()
    with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
        db.executescript(HISTORY_VERSION_1)
        for i in range(HISTORY_SEEDED):
            at = (now - datetime.timedelta(minutes=90 * (HISTORY_SEEDED - i))).isoformat(
                timespec="milliseconds")
            wave = bytes(round(100 * math.exp(-k / 90) * math.sin(k / 7 + i / 20)) & 0xFF
                         for k in range(300))
            db.execute(
                "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master,"
                " model_no, voltage, width, pulse_no, judge, area, phase, outcome, stopped_at,"
                " standard_wave, measured_wave) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                (f"seed-{i}", "window", at, at, f"SN-{i + 1:04d}", NAME, "07", 3.8, 6, 12, 8,
                 i % 9, (i * 3) % 11, "N.G" if i % 7 == 0 else "O.K", "", wave,
                 bytes(round(0.9 * (b - 256 if b > 127 else b)) & 0xFF for b in wave)))


def session(checks, build, work, shots, procs):
    # Imported here: the accessibility bus is up by now.
    from panel_driver import (Station, descendants, poll, wait_until, is_enabled, is_showing,
                              text_of, states, xdotool, extents, window_on_screen)

    def on_screen(g, title):
        """The panel's client area and its title bar lie on the screen."""
        def framed():
            client, frame = window_on_screen(title)
            return (client, frame) if frame[2] > 0 else None

        (x, y, w, h), (_, _, top, _) = poll(f'the window manager to frame "{title}"', framed)
        g.expect(x >= 0 and y >= 0 and x + w <= SCREEN_WIDTH and y + h <= SCREEN_HEIGHT,
                 f'"{title}": client area {w}x{h} at ({x}, {y}) is not all on the '
                 f"{SCREEN_WIDTH}x{SCREEN_HEIGHT} screen")
        g.expect(y - top >= 0, f'"{title}": the title bar ({top} pixels) is above the screen')
        return x, y, w, h

    home = os.path.join(work, "station")
    os.makedirs(home)
    shutil.copy(os.path.join(build, "surge.uir"), home)
    seed_history(home)
    name_file = os.path.join(home, "model_name.dat")
    wave_file = os.path.join(home, "model_wave.dat")
    stand_in, calls_file = write_spreadsheet_stand_in(os.path.join(work, "spreadsheet"))
    sim_log = os.path.join(work, "surge-sim.log")
    # The verdict the simulator gives while this file holds one (the gates' part of the session).
    result_file = os.path.join(work, "verdict")
    station_log = os.path.join(work, "surge.log")

    with checks.group("the station starts on the simulator's line and shows its main panel") as g:
        sim = procs.start([os.path.join(build, "bin", "surge-sim"), "--setup", SETUP,
                           "--result-file", result_file],
                          stdout=subprocess.PIPE, stderr=open(sim_log, "w"))
        pty = first_line(sim.stdout, 20)
        if not g.expect(pty.startswith("/dev/"), f"surge-sim named no terminal: {pty!r}"):
            g.problems.append("(the session stops here)")
            raise Abort()
        env = dict(os.environ, SURGE_COM1=pty, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb")
        station = procs.start([os.path.join(build, "bin", "surge")], cwd=home, env=env,
                              stdout=open(station_log, "w"), stderr=subprocess.STDOUT)
        st = Station()
        main = st.panel(MAIN_TITLE, timeout=30)
        g.equal(st.shown_panel_titles(), [MAIN_TITLE], "panels shown")
        g.equal(st.popup_titles(), [], "popups at start-up")
        g.equal(main.description, f"surge {built_version(build)}", "the main panel's tooltip")
        for name in ["시작", "정지"]:
            g.expect(not is_enabled(st.control(main, "push button", name)),
                     f'"{name}" is enabled before a master was carried over')
        for name in ["마스터 등록", "엑셀 저장", "종료"]:
            g.expect(is_enabled(st.control(main, "push button", name)), f'"{name}" is dimmed')
        for lamp in ["O.K 램프", "N.G 램프", "검사 중 램프"]:
            g.expect(not is_showing(st.child(main, "label", lamp)), f"{lamp} is lit")

    with checks.group("the main panel fills the screen below its title bar") as g:
        # Below the 25-pixel band that its title bar takes.
        g.equal(on_screen(g, MAIN_TITLE), (0, 25, SCREEN_WIDTH, SCREEN_HEIGHT - 25),
                "client area (x, y, width, height)")

    with checks.group("saving without a name is refused with a warning") as g:
        st.press(main, "마스터 등록")
        setup = st.panel(SETUP_TITLE)
        g.equal(st.shown_panel_titles(), [SETUP_TITLE], "panels shown")
        on_screen(g, SETUP_TITLE)
        st.press(setup, "저장")
        alert, text = st.popup("경  고")
        g.equal(text, EMPTY_NAME_WARNING, "warning")
        st.answer(alert, "확인")
        g.equal(read_bytes(name_file), None, "model_name.dat")

    with checks.group("reading from the instrument fills the registration panel") as g:
        st.press(setup, "계측기 읽기")
        field = st.control(setup, "spin button", "전압")
        poll("the voltage to arrive", lambda: text_of(field) == UPLOADED["전압"])
        for name, value in UPLOADED.items():
            g.equal(text_of(st.control(setup, "spin button", name)), value, name)
        g.equal(sim_commands(sim_log), ["ME\\r", "WS\\r"], "commands the instrument received")
        g.equal(st.popup_titles(), [], "popups")

    with checks.group("a named master is saved after the save question") as g:
        name_field = st.control(setup, "text", "모델명")
        st.type_into(name_field, FIRST_NAME)
        st.press(setup, "저장")
        alert, text = st.popup("확  인")
        g.equal(text, SAVE_QUESTION, "question")
        st.answer(alert, "예")
        wait_until(lambda: read_bytes(name_file) == store_line(FIRST_NAME, 0))
        g.equal(read_bytes(name_file), store_line(FIRST_NAME, 0), "model_name.dat")
        wave = read_bytes(wave_file) or b""
        g.equal(len(wave), 300, "bytes in model_wave.dat")
        g.expect(max(map(abs, signed(wave)), default=0) > 50,
                 "model_wave.dat holds no surge ringing")
        g.equal(st.popup_titles(), [], "popups after the save")

    with checks.group("a second master, its Hangul name in code page 949 and its corona") as g:
        st.type_into(name_field, NAME)
        st.type_into(st.control(setup, "spin button", "코로나"), CORONA, then_key="Tab")
        st.press(setup, "저장")
        alert, text = st.popup("확  인")
        g.equal(text, SAVE_QUESTION, "question")
        st.answer(alert, "예")
        two = store_line(FIRST_NAME, 0) + store_line(NAME, CORONA)
        wait_until(lambda: read_bytes(name_file) == two)
        g.equal(read_bytes(name_file), two, "model_name.dat")
        g.equal(read_bytes(wave_file), wave + wave, "model_wave.dat (the same instrument wave)")
        g.equal(st.popup_titles(), [], "popups after the save")

    with checks.group("saving under the same name asks twice and replaces the record") as g:
        st.press(setup, "저장")
        alert, text = st.popup("확  인")
        g.equal(text, SAVE_QUESTION, "first question")
        st.answer(alert, "예")
        alert, text = st.popup("확  인")
        g.equal(text, SAME_NAME_QUESTION, "second question")
        st.answer(alert, "예")
        wait_until(lambda: not any(f.startswith("temp_") for f in os.listdir(home)))
        g.equal(st.popup_titles(), [], "popups after the save")
        g.equal(read_bytes(name_file), two, "model_name.dat (no duplicate)")
        g.equal(read_bytes(wave_file), wave + wave, "model_wave.dat")
        g.equal(sorted(f for f in os.listdir(home) if f.endswith(".dat")),
                ["model_name.dat", "model_wave.dat"], "files in the station's folder")

    with checks.group("the master list shows the store; select asks for a row first") as g:
        st.press(setup, "마스터 목록")
        listing = st.panel(LIST_TITLE)
        g.equal(st.shown_panel_titles(), [LIST_TITLE], "panels shown")
        on_screen(g, LIST_TITLE)
        table = st.control(listing, "table", "마스터 목록 표")
        count = st.control(listing, "spin button", "등록된 마스터 수")
        poll("the count", lambda: text_of(count) == "2")
        cells = [c.name for c in descendants(table) if c.getRoleName() == "table cell"]
        g.equal(cells, [FIRST_NAME, *LISTED_VALUES, NAME, *LISTED_VALUES], "table cells")
        st.press(listing, "선택")
        alert, text = st.popup("마스터 선택 경고")
        g.equal(text, NO_CHOICE_WARNING, "warning")
        st.answer(alert, "확인")

    with checks.group("clicking a name and selecting brings that master back") as g:
        cell = next(c for c in descendants(table)
                    if c.getRoleName() == "table cell" and c.name == NAME)
        st.click(cell)
        poll("the clicked cell to become the chosen one", lambda: "focused" in states(cell))
        st.screenshot(listing, os.path.join(shots, "master.png"))
        st.press(listing, "선택")
        setup = st.panel(SETUP_TITLE)
        g.equal(st.shown_panel_titles(), [SETUP_TITLE], "panels shown")
        name_field = st.control(setup, "text", "모델명")
        poll("the name", lambda: text_of(name_field) == NAME)
        shown = {n: text_of(st.control(setup, "spin button", n)) for n in READINGS}
        g.equal(shown, dict(UPLOADED, 코로나=CORONA), "fields")
        g.equal(st.popup_titles(), [], "popups")
        # The picture without a blinking caret: the graph takes the keyboard.
        st.control(setup, "filler", "마스터 파형 그래프").queryComponent().grabFocus()
        st.screenshot(setup, os.path.join(shots, "setup.png"))

    with checks.group("the spreadsheet program is chosen in the file dialog") as g:
        st.press(setup, "엑셀 선택")
        dialog = poll("the file dialog", lambda: next(
            (w for w in st.shown_windows() if w.getRoleName() == "dialog" and w.name == "excel"),
            None))
        # The dialog's one editable text is its file name field, whatever its label's language.
        name_fields = poll("the file name field", lambda: [
            a for a in descendants(dialog)
            if a.getRoleName() == "text" and "editable" in states(a) and is_showing(a)])
        g.equal(len(name_fields), 1, "editable fields in the file dialog")
        st.type_into(name_fields[0], stand_in)
        for _ in range(3):  # a completion list that is open takes the first Return
            xdotool("key", "Return")
            if wait_until(lambda: not any(
                    w.getRoleName() == "dialog" for w in st.shown_windows()), timeout=5):
                break
        g.expect(not any(w.getRoleName() == "dialog" for w in st.shown_windows()),
                 "the file dialog took the typed path but did not close")
        path_field = st.control(setup, "text", "엑셀 프로그램 경로")
        g.equal(text_of(path_field), stand_in, "path field")
        g.equal(read_bytes(os.path.join(home, "excel_path.txt")), stand_in.encode(),
                "excel_path.txt")

    with checks.group("leaving the registration panel enables start and stop") as g:
        st.press(setup, "나가기")
        main = st.panel(MAIN_TITLE)
        g.equal(st.shown_panel_titles(), [MAIN_TITLE], "panels shown")
        for name in ["시작", "정지", "마스터 등록", "엑셀 저장", "종료"]:
            g.expect(is_enabled(st.control(main, "push button", name)), f'"{name}" is dimmed')

    def export(g, launches):
        """Presses the export command; returns excel_file.dat's lines once the program started."""
        st.press(main, "엑셀 저장")
        wait_until(lambda: (read_bytes(calls_file) or b"").count(b"end\n") >= launches
                   or st.popup_titles(), timeout=30)
        g.equal(st.popup_titles(), [], "popups")
        calls = (read_bytes(calls_file) or b"").decode().split("end\n")
        g.equal(calls[launches - 1:], [f"cwd={home}\narg=chart.xls\n", ""],
                "how the spreadsheet program was started")
        lines = (read_bytes(os.path.join(home, "excel_file.dat")) or b"").split(b"\n")
        g.equal(len(lines), 303, "lines in excel_file.dat (302 and the end)")
        return lines + [b""] * 303

    def samples(lines):
        """Standard and measured columns of lines 3 to 302; None where a line is not two ints."""
        pairs = []
        for line in lines[2:302]:
            parts = line.split()
            ok = len(parts) == 2 and all(re.fullmatch(rb"-?\d+", p) for p in parts)
            pairs.append(tuple(map(int, parts)) if ok else (None, None))
        return [p[0] for p in pairs], [p[1] for p in pairs]

    with checks.group("export before any inspection: the carried master's name, BUSY") as g:
        lines = export(g, 1)
        g.equal(lines[0], NAME.encode("cp949") + b" 38.000000 6 20 0 8 8 BUSY",
                "line 1 (model in code page 949, judge 0: no inspection yet)")
        standard, measured = samples(lines)
        g.equal(standard, signed(wave), "standard column (the selected master's wave)")
        g.equal(measured, [0] * 300, "measured column before any inspection")

    with checks.group("an inspection lights the O.K lamp and holds the other commands") as g:
        before = len(sim_commands(sim_log))
        st.press(main, "시작")
        ok_lamp = st.child(main, "label", "O.K 램프")
        ng_lamp = st.child(main, "label", "N.G 램프")
        busy_lamp = st.child(main, "label", "검사 중 램프")
        poll("a verdict lamp", lambda: is_showing(ok_lamp) or is_showing(ng_lamp)
             or st.popup_titles(), timeout=30)
        g.equal(st.popup_titles(), [], "popups")
        g.expect(is_showing(ok_lamp), "the O.K lamp is off")
        g.expect(not is_showing(ng_lamp), "the N.G lamp is lit")
        g.expect(not is_showing(busy_lamp), "the busy lamp is still lit")
        g.equal(sim_commands(sim_log)[before:], ["ME\\r", "ST\\r", "WT\\r", "WS\\r", "RE\\r"],
                "commands the instrument received")
        for name in ["마스터 등록", "엑셀 저장", "종료"]:
            g.expect(not is_enabled(st.control(main, "push button", name)),
                     f'"{name}" is enabled during testing')
        g.expect(is_enabled(st.control(main, "push button", "정지")), '"정지" is dimmed')
        st.screenshot(main, os.path.join(shots, "main.png"))

    with checks.group("stop gives the commands back") as g:
        st.press(main, "정지")
        for name in ["마스터 등록", "엑셀 저장", "종료"]:
            button = st.control(main, "push button", name)
            g.expect(wait_until(lambda: is_enabled(button)), f'"{name}" stays dimmed')

    with checks.group("a stop clicked during an inspection runs after the inspection") as g:
        # A real click (X input) lands while the cycle holds the station's thread: Qt keeps it
        # until the cycle has returned. The check needs the click and the look at the commands
        # to fall inside the cycle's 1.1 s wait; a slow machine gets another inspection.
        register = st.control(main, "push button", "마스터 등록")
        x, y, w, h = extents(st.control(main, "push button", "정지"))
        inside = held = False
        for _ in range(3):
            before = len(sim_commands(sim_log))
            st.press(main, "시작")
            poll("the test to start", lambda: "ST\\r" in sim_commands(sim_log)[before:])
            xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
            time.sleep(0.2)
            held = not is_enabled(register)
            inside = "RE\\r" not in sim_commands(sim_log)[before:]
            poll("the inspection to end", lambda: "RE\\r" in sim_commands(sim_log)[before:])
            if inside:
                break
        g.expect(inside, "every inspection ended before the click and the look at the commands")
        g.expect(held, "the stop ran while the inspection held the thread")
        g.expect(wait_until(lambda: is_enabled(register)), "the stop clicked during it was lost")

    with checks.group("export after the inspection: its readings, date and both waves") as g:
        today = datetime.date.today()
        lines = export(g, 2)
        after = datetime.date.today()
        line1 = lines[0].decode("ascii", errors="replace")
        g.expect(re.fullmatch(r"07 3\.800000 6 20 8 \d+ \d+ O\.K", line1) is not None,
                 f"line 1: {line1!r}")
        dates = {f"{d.year}-{d.month}-{d.day}".encode() for d in (today, after)}
        g.expect(lines[1] in dates, f"line 2: {lines[1]!r}, expected one of {dates}")
        standard, measured = samples(lines)
        g.equal(standard, signed(wave), "standard column (the wave the instrument sent)")
        if g.expect(None not in measured, "a wave line is not two numbers"):
            g.expect(max(map(abs, measured)) > 50, "the measured column holds no ringing")
            g.expect(sum(abs(a - b) for a, b in zip(signed(wave), measured)) / 300 < 10,
                     "the measured wave is far from the standard for an O.K winding")

    with checks.group("a scanned serial number and Enter start a cycle, which is recorded") as g:
        before = len(sim_commands(sim_log))
        serial = st.control(main, "text", "일련번호")
        st.type_into(serial, "SN-0001", then_key="Return")
        wait_until(lambda: text_of(serial) == "" or st.popup_titles(), timeout=30)
        g.equal(st.popup_titles(), [], "popups")
        g.equal(sim_commands(sim_log)[before:], ["ME\\r", "ST\\r", "WT\\r", "WS\\r", "RE\\r"],
                "commands the instrument received")
        g.equal(text_of(serial), "", "the serial field after the cycle")
        g.expect(is_showing(st.child(main, "label", "기록 중")), "recording is off")
        g.expect(not is_showing(st.child(main, "label", "기록 중지")), "recording off is shown")
        st.press(main, "정지")

    def serials_recorded():
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            return [r[0] for r in db.execute(
                "SELECT serial FROM inspection WHERE station != 'window' ORDER BY id")]

    with checks.group("no-read: nothing; a read too long: refused; a GS1 read: kept") as g:
        refusal = st.child(main, "label", "일련번호 경고")
        st.click(serial)
        poll("the field to take the keyboard", lambda: "focused" in states(serial))
        before = len(sim_commands(sim_log))
        xdotool("key", "Return")  # a no-read
        xdotool("type", "--delay", "5", "7" * 65)
        xdotool("key", "Return")
        g.expect(wait_until(lambda: is_showing(refusal) and text_of(serial) == ""),
                 "the read of 65 characters was not refused")
        g.equal(refusal.description, SERIAL_REFUSAL, "the refusal on the strip")
        time.sleep(1.5)  # a test would have started by now
        g.equal(sim_commands(sim_log)[before:], [], "commands after a no-read and a refused read")
        xdotool("type", " 01")
        xdotool("key", "ctrl+bracketright")  # the group separator
        xdotool("type", "21SN-9 ")
        xdotool("key", "Return")
        poll("the GS1 read's test to end", lambda: "RE\\r" in sim_commands(sim_log)[before:]
             and text_of(serial) == "", timeout=30)
        g.equal(serials_recorded()[-1:], ["01\x1d21SN-9"], "the last record's serial")
        g.expect(not is_showing(refusal), "the refusal is still shown after a test")

    with checks.group("a unit scanned during a test waits for the Enter after it") as g:
        # The scanner reads the next unit twice (a double read) while the 20 pulses' 1.1 s wait
        # holds the station's thread. A slow machine gets another try.
        for attempt in range(3):
            tested, ahead = f"SN-{2 * attempt + 2:04d}", f"SN-{2 * attempt + 3:04d}"
            before = len(sim_commands(sim_log))
            st.type_into(serial, tested, then_key="Return")
            poll("the test to start", lambda: "ST\\r" in sim_commands(sim_log)[before:])
            for _ in range(2):
                xdotool("type", "--delay", "10", ahead)
                xdotool("key", "Return")
            inside = "RE\\r" not in sim_commands(sim_log)[before:]
            wait_until(lambda: text_of(serial) == ahead or not inside, timeout=10)
            time.sleep(1.5)  # a second test would have started by now
            if inside:
                break
            time.sleep(3)  # whatever the late keys started has ended
        g.expect(inside, "every test ended before the scanner's keys")
        g.equal(text_of(serial), ahead, "the field after the test")
        g.equal(sim_commands(sim_log)[before:], ["ME\\r", "ST\\r", "WT\\r", "WS\\r", "RE\\r"],
                "commands the instrument received")
        before = len(sim_commands(sim_log))
        xdotool("key", "Return")
        poll("the next unit's test to end", lambda: "RE\\r" in sim_commands(sim_log)[before:]
             and text_of(serial) == "", timeout=30)
        g.equal(serials_recorded()[-2:], [tested, ahead], "the last two records' serials")
        last_scanned = ahead
        st.press(main, "정지")

    with checks.group("the history panel lists the recorded inspections and goes back") as g:
        st.press(main, "검사 이력")
        history = st.panel(HISTORY_TITLE)
        g.equal(st.shown_panel_titles(), [HISTORY_TITLE], "panels shown")
        tested = st.control(history, "label", "검사 수")
        poll("the count", lambda: int(tested.description or 0) >= HISTORY_SEEDED)
        # The yield, named as on the main panel's strip: O.K over the records with a verdict.
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            ok, tested = db.execute("SELECT SUM(outcome = 'O.K'), SUM(outcome IN ('O.K', 'N.G'))"
                                    " FROM inspection").fetchone()
        st.control(history, "label", "양품률", description=f"{100 * ok / tested:.1f} %")
        table = st.control(history, "table", "검사 기록 표")
        cells = [c for c in descendants(table) if c.getRoleName() == "table cell"]
        newest = last_scanned  # the cycle the scanner started last, newer than every seeded record
        g.expect(any(c.name == newest for c in cells[:12]), f"{newest} is not among the newest")
        st.click(next(c for c in cells if c.name == newest))
        st.screenshot(history, os.path.join(shots, "history.png"))
        g.equal(st.popup_titles(), [], "popups")

    with checks.group("the chart panel charts the filter's master on the screen and goes back") as g:
        st.type_into(st.control(history, "text", "마스터 조건"), NAME)
        st.press(history, "관리도")
        chart = st.panel(CHART_TITLE)
        g.equal(st.shown_panel_titles(), [CHART_TITLE], "panels shown")
        on_screen(g, CHART_TITLE)
        heading = st.control(chart, "label", "관리도의 마스터와 기간")
        poll("the chart's master", lambda: NAME in (heading.description or ""))
        st.screenshot(chart, os.path.join(shots, "chart.png"))
        g.equal(st.popup_titles(), [], "popups")
        # The view ring's "주파수 관리도", picked from its list as a mouse does, redraws the chart
        # (a ring is named by the choice it shows).
        st.click(st.control(chart, "combo box", "면적 관리도"))
        frequency = poll("the ring's frequency choice", lambda: next(
            (a for a in descendants(st.app()) if a.name == "주파수 관리도" and is_showing(a)
             and a.getRoleName() != "combo box"), None))
        st.click(frequency)
        st.control(chart, "combo box", "주파수 관리도")
        frequency_shot = os.path.join(shots, "control-chart-frequency.png")
        poll("the frequency's chart drawn", lambda: st.screenshot(chart, frequency_shot) or
             not filecmp.cmp(frequency_shot, os.path.join(shots, "chart.png"), shallow=False))
        g.equal(st.popup_titles(), [], "popups")
        st.press(chart, "돌아가기")
        history = st.panel(HISTORY_TITLE)
        g.equal(st.shown_panel_titles(), [HISTORY_TITLE], "panels shown")
        st.press(history, "돌아가기")
        main = st.panel(MAIN_TITLE)
        g.equal(st.shown_panel_titles(), [MAIN_TITLE], "panels shown")

    with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
        before_gates = db.execute("SELECT MAX(id) FROM inspection").fetchone()[0]

    def test_unit(serial, verdict, refused=None, note=""):
        """Scans `serial` with the simulator giving `verdict` (or the six characters of a result);
        when `refused` is given, the start
        must be refused with a warning holding it, and the engineer's prompt gets `note`."""
        with open(result_file, "w") as f:
            f.write({"O.K": "0101OK", "N.G": "0909NG"}.get(verdict, verdict) + "\n")
        before = len(sim_commands(sim_log))
        st.type_into(serial_field, serial, then_key="Return")
        if refused is not None:
            alert, text = st.popup("경  고")
            g.expect(refused in text, f"the refusal of {serial}: {text!r}")
            st.answer(alert, "확인")
            prompt, _ = st.prompt("엔지니어 승인")
            st.answer_prompt(prompt, note)
        if refused is None or note:
            poll(f"{serial}'s test to end", lambda: "RE\\r" in sim_commands(sim_log)[before:]
                 and text_of(serial_field) == "", timeout=30)
        else:
            time.sleep(1.0)
            g.equal(sim_commands(sim_log)[before:], [], f"commands after {serial} was refused")
            st.type_into(serial_field, "")
        g.equal(st.popup_titles(), [], f"popups after {serial}")
        st.press(main, "정지")

    with checks.group("the gates: reference units at the shift start, a retested unit, a line "
                      "stop acknowledged, a drift's line stop acknowledged") as g:
        now = datetime.datetime.now()
        with open(os.path.join(home, "station.ini"), "w", encoding="utf-8") as f:
            f.write(f"[retest]\nenabled=true\n"
                    f"[line_stop]\nenabled=true\nin_a_row=3\nng_of_last=5\n"
                    f"[reference]\nenabled=true\nunits={NAME}: REF-1 O.K, REF-2 N.G\n"
                    f"shifts={now:%H:%M}\n")
        gate = st.child(main, "label", "라인 정지")
        retests = st.child(main, "label", "재검사 횟수")
        serial_field = st.control(main, "text", "일련번호")
        g.expect(wait_until(lambda: is_showing(gate), timeout=10),
                 "the reference check is not shown once station.ini turned it on")
        g.equal(gate.description, "기준품 확인 필요: REF-1 (O.K), REF-2 (N.G)", "the gate")
        test_unit("P-1", "O.K", refused="기준품 확인 필요")
        test_unit("REF-1", "O.K")
        test_unit("REF-2", "N.G")
        note = st.child(main, "label", "기준품 확인")
        g.expect(wait_until(lambda: is_showing(note)), "the passed check is not shown")
        g.expect(note.description.startswith("기준품 확인 "), f"the check: {note.description!r}")
        g.expect(not is_showing(gate), "the gate still shows after the reference check")
        test_unit("U-1", "N.G")
        test_unit("U-1", "N.G")
        g.equal(retests.description, "재검사 1회", "the retests of the unit tested")
        test_unit("U-1", "O.K")
        g.equal(retests.description, "재검사 2회", "the retests of the unit tested")
        for serial in ["U-2", "U-3", "U-4"]:
            test_unit(serial, "N.G")
        g.expect(wait_until(lambda: is_showing(gate)), "the line stop is not shown")
        g.equal(gate.description, f"라인 정지: N.G 3 회 연속 ({NAME})", "the line stop")
        test_unit("U-5", "O.K", refused="N.G 3 회 연속", note="winding tool replaced")
        g.expect(wait_until(lambda: not is_showing(gate)), "the line stop stays after the note")
        with open(os.path.join(home, "station.ini"), "a", encoding="utf-8") as f:
            f.write("[drift]\nline_stop=true\n")
        time.sleep(3.0)  # the settings are read again every two seconds
        test_unit("D-1", "9999OK")  # far above the master's limits: rule 1 on both readings
        g.expect(wait_until(lambda: is_showing(gate)), "the drift's line stop is not shown")
        g.equal(gate.description, f"라인 정지: 추세 경고 면적 규칙 1, 위상 규칙 1 ({NAME})",
                "the drift's line stop")
        test_unit("U-6", "O.K", refused="추세 경고", note="copper lot changed")
        os.remove(result_file)
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            tested = db.execute("SELECT serial, outcome, attempt, reference FROM inspection"
                                " WHERE id > ? ORDER BY id", (before_gates,)).fetchall()
            trail = db.execute("SELECT action, object, reason FROM audit WHERE action LIKE"
                               " 'line stop%' ORDER BY seq").fetchall()
        g.equal(tested, [("REF-1", "O.K", 1, 1), ("REF-2", "N.G", 1, 1), ("U-1", "N.G", 1, 0),
                         ("U-1", "N.G", 2, 0), ("U-1", "O.K", 3, 0), ("U-2", "N.G", 1, 0),
                         ("U-3", "N.G", 1, 0), ("U-4", "N.G", 1, 0), ("U-5", "O.K", 1, 0),
                         ("D-1", "O.K", 1, 0), ("U-6", "O.K", 1, 0)],
                "the records of the gates' part")
        g.equal(trail, [("line stopped", NAME, ""),
                        ("line stop acknowledged", NAME, "winding tool replaced"),
                        ("line stopped", NAME, ""),
                        ("line stop acknowledged", NAME, "copper lot changed")],
                "the line stops and their acknowledgements in the audit trail")

    with checks.group("the history panel counts the units of the gates' part: first-pass and "
                      "final yield, passed on retest") as g:
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            tests = db.execute("SELECT CASE serial WHEN '' THEN '#' || id ELSE serial END,"
                               " outcome, attempt FROM inspection WHERE reference = 0 AND outcome"
                               " IN ('O.K', 'N.G') ORDER BY started_at, id").fetchall()
        firsts = [outcome for _, outcome, attempt in tests if attempt == 1]
        of_unit = {}
        for unit, outcome, _ in tests:
            of_unit.setdefault(unit, []).append(outcome)
        final_ok = sum(outcomes[-1] == "O.K" for outcomes in of_unit.values())
        retest_ok = sum("O.K" in outcomes[outcomes.index("N.G"):]
                        for outcomes in of_unit.values() if "N.G" in outcomes)
        st.press(main, "검사 이력")
        history = st.panel(HISTORY_TITLE)
        st.control(history, "label", "직행률",
                   description=f"{100 * firsts.count('O.K') / len(firsts):.1f} %")
        st.control(history, "label", "최종 양품률",
                   description=f"{100 * final_ok / len(of_unit):.1f} %")
        st.control(history, "label", "재검사 합격", description=str(retest_ok))
        g.expect(retest_ok >= 1, "no unit passed on retest in the session")
        # Over months the units are counted on their own thread: the same figures, once they come.
        months_ago = datetime.date.today() - datetime.timedelta(days=90)
        st.type_into(st.control(history, "spin button", "기간 시작"), months_ago.isoformat())
        st.press(history, "조회")
        st.control(history, "label", "최종 양품률",
                   description=f"{100 * final_ok / len(of_unit):.1f} %")
        st.control(history, "label", "재검사 합격", description=str(retest_ok))
        st.press(history, "돌아가기")
        main = st.panel(MAIN_TITLE)

    with checks.group("quit ends the station with exit code 0 and the files intact") as g:
        st.press(main, "종료")
        try:
            code = station.wait(timeout=30)
        except subprocess.TimeoutExpired:
            code = None
        g.equal(code, 0, "exit code")
        g.equal(read_bytes(name_file), two, "model_name.dat")
        g.equal(read_bytes(wave_file), wave + wave, "model_wave.dat")
        g.equal(read_bytes(os.path.join(home, "excel_path.txt")), stand_in.encode(),
                "excel_path.txt")
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as history:
            recorded = history.execute("SELECT serial, master, outcome FROM inspection"
                                       " WHERE station != 'window' AND id <= ? ORDER BY id",
                                       (before_gates,)).fetchall()
            seeded = history.execute("SELECT COUNT(*) FROM inspection WHERE station = 'window'"
                                     " AND length(standard_wave) = 300").fetchone()[0]
            version = history.execute("SELECT version FROM schema_version").fetchall()
        g.equal((seeded, version), (HISTORY_SEEDED, [(9,)]), "the seeded records, upgraded")
        # Every cycle of the session, the stop-click check's one or more among them; the last one
        # the unit scanned last.
        g.equal(recorded[-1:], [(last_scanned, NAME, "O.K")], "the last record of the history")
        g.equal(sorted({r[1:] for r in recorded}), [(NAME, "O.K")], "the session's records")

    with checks.group("surge-report writes the history's report, its second page as a picture") as g:
        report = os.path.join(work, "report.pdf")
        first = (datetime.date.today() - datetime.timedelta(days=4)).isoformat()
        done = subprocess.run([os.path.join(build, "bin", "surge-report"), "--from", first, "--to",
                               datetime.date.today().isoformat(), "--db",
                               os.path.join(home, "inspection_history.db"), report],
                              capture_output=True, text=True, timeout=60)
        g.equal(done.returncode, 0, "surge-report's exit code: " + done.stderr)
        if shutil.which("pdftoppm") and done.returncode == 0:
            # The page of the alarms, line stops and reference tests, and the first master's.
            for page, name in [("2", "report"), ("3", "report-chart")]:
                subprocess.run(["pdftoppm", "-png", "-r", "80", "-f", page, "-l", page,
                                "-singlefile", report, os.path.join(shots, name)], check=True)
                g.expect(os.path.exists(os.path.join(shots, name + ".png")),
                         f"no picture of page {page}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--screen", default="1024x768")
    args = parser.parse_args()
    global SCREEN_WIDTH, SCREEN_HEIGHT
    SCREEN_WIDTH, SCREEN_HEIGHT = map(int, args.screen.split("x"))
    build, work = os.path.abspath(args.build), os.path.abspath(args.work)
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

    checks = Checks()
    procs = Processes(work)
    try:
        procs.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for_accessibility_bus()
        session(checks, build, work, os.path.abspath(args.screenshots), procs)
        from access_run import access_session
        access_session(checks, build, work, procs, first_line)
        from wave_run import wave_session
        wave_session(checks, build, work, os.path.abspath(args.screenshots), procs, first_line,
                     (SCREEN_WIDTH, SCREEN_HEIGHT))
    except Abort:
        station = procs.named.get("surge")
        if station is not None and station.poll() is not None:
            print(f"        (the station had ended, exit code {station.returncode})")
    except Exception as error:  # the harness itself failed: count it, never hide it
        checks.failed += 1
        print(f"FAIL  the session could not run: {type(error).__name__}: {error}")
    finally:
        procs.stop_all()
    if checks.failed:
        for log in ["surge.log", "surge-sim.log"]:
            path = os.path.join(work, log)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    tail = f.read().splitlines()[-15:]
                print(f"--- last lines of {log}")
                print("\n".join(tail))
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
