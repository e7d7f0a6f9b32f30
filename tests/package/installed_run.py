"""The installed station's first start, as a plant gets it, checked from the outside.

Started by tests/package/run inside a private X display and D-Bus session, once the package is
installed. It starts the accessibility bus, the installed instrument simulator and the installed
launcher (surge-station) with SURGE_HOME naming a folder that does not exist yet, then works one
inspection cycle through the accessibility tree: reads a master from the instrument, names and
saves it, goes back to the main panel and starts the test. It checks the verdict shown, the log's
first lines (the program's version as the package names it, the port opened) and the exit code;
then it starts the station again in a legacy station's folder, whose own binary "surge.uir" must
stay as it was while the installed panels come up.

Prints one line per group of checks and closes with "N passed, N failed".
"""
import argparse
import contextlib
import os
import re
import sqlite3
import subprocess
import sys

WINDOW_TESTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "window")
sys.path.insert(0, WINDOW_TESTS)

from operator_run import (Abort, Checks, Processes, first_line, read_bytes,  # noqa: E402
                          wait_for_accessibility_bus)

SETUP = "0738062008"
NAME = "PKG-01"
MAIN_TITLE = "임펄스 권선 시험기 - 검사"
SETUP_TITLE = "임펄스 권선 시험기 - 마스터 등록"
SAVE_QUESTION = "저장하시겠습니까 ?"
# Bytes of no Qt Designer document, standing for a legacy station's own panel resource.
LEGACY_RESOURCE = bytes(range(256)) * 8


def version_text(package_version):
    """The version as the programs write it, from the package's: 1.0.0+N.gHASH[.dirty]."""
    m = re.fullmatch(r"([0-9.]+)(?:\+\d+\.g([0-9a-f]+)(\.dirty)?)?", package_version)
    if m is None:
        return None
    commit = (m.group(2) + ("-dirty" if m.group(3) else "")) if m.group(2) else "unknown"
    return f"{m.group(1)} ({commit})"


def log_lines(home):
    """station.log's lines without their time (ISO 8601 with milliseconds and the offset)."""
    text = (read_bytes(os.path.join(home, "station.log")) or b"").decode("utf-8", "replace")
    stamp = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d "
    return [line[30:] if re.match(stamp, line) else f"(no time) {line}"
            for line in text.splitlines()]


def check_history_carries_version(g, home, version):
    """The inspection history's record of the cycle names the station's version."""
    path = os.path.join(home, "inspection_history.db")
    if not g.expect(os.path.exists(path), f"{path} was not written"):
        return
    with contextlib.closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True)) as history:
        rows = history.execute("SELECT serial, outcome, software_version FROM inspection"
                               " ORDER BY id").fetchall()
    g.equal(rows[-1:], [("", "O.K", version)], "the cycle's record")


def start_station(procs, home, pty, output):
    env = dict(os.environ, SURGE_HOME=home, SURGE_COM1=pty, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_QPA_PLATFORM="xcb")
    env.pop("SURGE_LOG", None)
    return procs.start(["/usr/bin/surge-station"], env=env, stdout=open(output, "w"),
                       stderr=subprocess.STDOUT)


def quit_station(g, st, main, station):
    st.press(main, "종료")
    try:
        code = station.wait(timeout=30)
    except subprocess.TimeoutExpired:
        code = None
    g.equal(code, 0, "exit code")


def session(checks, work, package_version, procs):
    from panel_driver import Station, is_showing, poll, text_of, wait_until

    version = version_text(package_version)
    home = os.path.join(work, "fresh", "surge")
    with checks.group("the installed launcher starts the station in a new folder") as g:
        sim = procs.start(["/usr/bin/surge-sim", "--setup", SETUP], stdout=subprocess.PIPE,
                          stderr=open(os.path.join(work, "surge-sim.log"), "w"))
        pty = first_line(sim.stdout, 20)
        if not g.expect(pty.startswith("/dev/"), f"surge-sim named no terminal: {pty!r}"):
            raise Abort()
        station = start_station(procs, home, pty, os.path.join(work, "station-1.out"))
        st = Station()
        main = st.panel(MAIN_TITLE, timeout=30)
        g.equal(st.popup_titles(), [], "popups at start-up")
        g.equal(main.description, f"surge {version}", "the main panel's tooltip")
        g.expect(os.path.isdir(home), f"{home} was not made")
        g.expect(not os.path.exists(os.path.join(home, "surge.uir")),
                 "a panel resource was put in the working folder")

    with checks.group("a master read from the instrument is named and saved") as g:
        st.press(main, "마스터 등록")
        setup = st.panel(SETUP_TITLE)
        st.press(setup, "계측기 읽기")
        voltage = st.control(setup, "spin button", "전압")
        poll("the voltage to arrive", lambda: text_of(voltage) == "38.0")
        st.type_into(st.control(setup, "text", "모델명"), NAME)
        st.press(setup, "저장")
        alert, text = st.popup("확  인")
        g.equal(text, SAVE_QUESTION, "question")
        st.answer(alert, "예")
        names = os.path.join(home, "model_name.dat")
        wait_until(lambda: (read_bytes(names) or b"").startswith(NAME.encode()))
        g.equal(read_bytes(names), f"{NAME} 38.0 6 20 8 8 0\n".encode(), "model_name.dat")
        g.equal(st.popup_titles(), [], "popups after the save")

    with checks.group("back on the main panel, the start command gives the verdict") as g:
        st.press(setup, "나가기")
        main = st.panel(MAIN_TITLE)
        st.press(main, "시작")
        ok_lamp = st.child(main, "label", "O.K 램프")
        ng_lamp = st.child(main, "label", "N.G 램프")
        poll("a verdict lamp", lambda: is_showing(ok_lamp) or is_showing(ng_lamp)
             or st.popup_titles(), timeout=30)
        g.equal(st.popup_titles(), [], "popups")
        g.expect(is_showing(ok_lamp), "the O.K lamp is off")
        g.expect(not is_showing(ng_lamp), "the N.G lamp is lit")
        st.press(main, "정지")

    with checks.group("quit, and the log names the package's version first") as g:
        quit_station(g, st, main, station)
        lines = log_lines(home)
        g.expect(version is not None, f"the package's version {package_version!r} does not read")
        g.equal(lines[:3], [f"log surge {version}", "start station starting",
                            f"serial port 1: COM1 ({pty}) opened"], "station.log's first lines")
        check_history_carries_version(g, home, version)

    legacy = os.path.join(work, "legacy")
    os.makedirs(legacy)
    with open(os.path.join(legacy, "surge.uir"), "wb") as f:
        f.write(LEGACY_RESOURCE)
    with checks.group("in a legacy folder the installed panels come up, its surge.uir kept") as g:
        station = start_station(procs, legacy, pty, os.path.join(work, "station-2.out"))
        st = Station()
        main = st.panel(MAIN_TITLE, timeout=30)
        g.equal(st.popup_titles(), [], "popups at start-up")
        quit_station(g, st, main, station)
        g.equal(read_bytes(os.path.join(legacy, "surge.uir")), LEGACY_RESOURCE, "surge.uir")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("--version", required=True, help="the installed package's version")
    args = parser.parse_args()
    checks = Checks()
    procs = Processes(args.work)
    try:
        procs.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for_accessibility_bus()
        session(checks, os.path.abspath(args.work), args.version, procs)
    except Abort:
        pass
    except Exception as error:  # the harness itself failed: count it, never hide it
        checks.failed += 1
        print(f"FAIL  the session could not run: {type(error).__name__}: {error}")
    finally:
        procs.stop_all()
    if checks.failed:
        for log in ["station-1.out", "station-2.out", "surge-sim.log"]:
            path = os.path.join(args.work, log)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    print(f"--- last lines of {log}")
                    print("\n".join(f.read().splitlines()[-15:]))
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
