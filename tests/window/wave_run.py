"""The station's own judgement of the wave, in a real window against a population on the
simulator: a master saved, its reference learned from its first ten passed units (one audit row),
then, with [wave] hold on, a unit 1 % faster, which the tester passes, shown in amber in the busy
lamp's place while the O.K lamp stays lit; the next start refused until an engineer releases the
hold with a reason, and the next good unit clears the amber. Then an engineer names the units of
the reference on the history panel ("기준 학습"), and "기준 범위" shows its band behind the waves.
"""
import time
import os
import shutil
import sqlite3
import subprocess

MAIN_TITLE = "임펄스 권선 시험기 - 검사"
SETUP_TITLE = "임펄스 권선 시험기 - 마스터 등록"
HISTORY_TITLE = "임펄스 권선 시험기 - 검사 이력"
BAND_COLOUR = "#FFE6B8"
STANDARD_COLOUR = "#FF0000"


def share(picture, colour=BAND_COLOUR):
    """The share of the picture's pixels in `colour`."""
    out = subprocess.run(["convert", picture, "-fill", "black", "+opaque", colour,
                          "-fill", "white", "-opaque", colour, "-format", "%[fx:mean]",
                          "info:"], check=True, capture_output=True, text=True).stdout
    return float(out)


def wave_session(checks, build, work, shots, procs, first_line, screen):
    from panel_driver import Station, is_showing, poll, text_of, window_on_screen
    from panel_driver import states as states_of

    home = os.path.join(work, "wave-station")
    os.makedirs(home)
    shutil.copy(os.path.join(build, "surge.uir"), home)
    with open(os.path.join(home, "station.ini"), "w") as f:
        f.write("[wave]\nlearn_units=10\n")
    faults = os.path.join(work, "faults")
    sim_log = os.path.join(work, "surge-sim-wave.log")

    def commands():
        with open(sim_log, errors="replace") as f:
            return sum(1 for line in f if "RX" in line and "RE\\r" in line)

    with checks.group("a master saved from a population on the simulator's line") as g:
        sim = procs.start([os.path.join(build, "bin", "surge-sim"), "--population", "5",
                           "--fault-file", faults], stdout=subprocess.PIPE,
                          stderr=open(sim_log, "w"))
        pty = first_line(sim.stdout, 20)
        env = dict(os.environ, SURGE_COM1=pty, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb")
        procs.start([os.path.join(build, "bin", "surge")], cwd=home, env=env,
                    stdout=open(os.path.join(work, "surge-wave.log"), "w"),
                    stderr=subprocess.STDOUT)
        st = Station()
        main = st.panel(MAIN_TITLE, timeout=30)
        st.press(main, "마스터 등록")
        setup = st.panel(SETUP_TITLE)
        st.press(setup, "계측기 읽기")
        voltage = st.control(setup, "spin button", "전압")
        poll("the setup to arrive", lambda: text_of(voltage) not in ("", "0.0"))
        st.type_into(st.control(setup, "text", "모델명"), "WAVE-1")
        st.press(setup, "저장")
        alert, _ = st.popup("확  인")
        st.answer(alert, "예")
        poll("the master to be saved", lambda: os.path.exists(os.path.join(home, "model_name.dat")))
        st.press(setup, "나가기")
        main = st.panel(MAIN_TITLE)
        g.equal(st.popup_titles(), [], "popups")

    serial_field = st.control(main, "text", "일련번호")
    alarm = st.child(main, "label", "파형 경고")
    ok_lamp = st.child(main, "label", "O.K 램프")

    def test_unit(serial, release=None):
        before = commands()
        st.type_into(serial_field, serial, then_key="Return")
        if release is not None:
            alert, text = st.popup("경  고")
            g.expect("파형 보류" in text, f"the refusal of {serial}: {text!r}")
            st.answer(alert, "확인")
            prompt, _ = st.prompt("엔지니어 승인")
            st.answer_prompt(prompt, release)
        poll(f"{serial}'s test to end",
             lambda: commands() > before and text_of(serial_field) == "", timeout=30)
        st.press(main, "정지")

    with checks.group("the reference is learned from the first ten passed units") as g:
        for unit in range(1, 11):
            test_unit(f"W-{unit}")
            g.expect(not is_showing(alarm), f"the wave alarm shows while learning (W-{unit})")
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            learned = db.execute("SELECT object FROM audit WHERE action ="
                                 " 'wave reference learned'").fetchall()
            outcomes = db.execute("SELECT outcome, COUNT(*) FROM inspection GROUP BY outcome"
                                  ).fetchall()
        g.equal(learned, [("WAVE-1",)], "the audit row of the learned reference")
        g.equal(outcomes, [("O.K", 10)], "the tester's verdicts while learning")

    with checks.group("a unit 1 % faster passes the tester, is flagged in amber and holds the "
                      "line until an engineer releases it") as g:
        with open(os.path.join(home, "station.ini"), "a") as f:
            f.write("hold=true\n")
        time.sleep(3.0)  # the settings are read again every two seconds
        with open(faults, "w") as f:
            f.write("--faster 1\n")
        test_unit("W-FAST")
        g.expect(is_showing(ok_lamp), "the O.K lamp is not lit")
        g.expect(is_showing(alarm), "the wave alarm is not shown")
        g.expect((alarm.description or "").startswith("파형 주파수"),
                 f"the alarm does not name the frequency: {alarm.description!r}")
        client, _ = window_on_screen(MAIN_TITLE)
        g.expect(client[0] >= 0 and client[0] + client[2] <= screen[0],
                 f"the main panel {client} is wider than the screen {screen}")
        st.screenshot(main, os.path.join(shots, "main-wave.png"))
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            newest = db.execute("SELECT outcome, wave_alarm, wave_rule FROM inspection"
                                " ORDER BY id DESC LIMIT 1").fetchone()
        g.equal(newest[:2], ("O.K", 1), "the record's verdict and wave alarm")
        g.expect(newest[2].startswith("frequency"), f"the record's rule: {newest[2]!r}")
        with open(faults, "w") as f:
            f.write("\n")
        gate = st.child(main, "label", "라인 정지")
        g.expect(is_showing(gate) and (gate.description or "").startswith("파형 보류: W-FAST"),
                 f"the hold in the header: {gate.description!r}")
        test_unit("W-GOOD", release="unit set aside for the winding check")
        g.expect(not is_showing(alarm), "the wave alarm stays after a good unit")
        g.expect(not is_showing(gate), "the hold stays after its release")
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            rows = db.execute("SELECT action, code, reason FROM audit WHERE code = 'wave'"
                              " ORDER BY seq").fetchall()
        g.equal(rows, [("line stopped", "wave", ""),
                       ("line stop acknowledged", "wave", "unit set aside for the winding check")],
                "the hold's audit rows")

    with checks.group("an engineer names the reference's units on the history panel, and the band "
                      "shows behind the waves") as g:
        st.press(main, "검사 이력")
        history = st.panel(HISTORY_TITLE)
        st.type_into(st.control(history, "text", "마스터 조건"), "WAVE-1")
        st.press(history, "조회")
        st.press(history, "기준 학습")
        prompt, _ = st.prompt("엔지니어 승인")
        st.answer_prompt(prompt, "named after the winding check")
        alert, text = st.popup("기준 학습")
        g.expect("12대 중" in text, f"the confirmation does not count the 12 units: {text!r}")
        st.answer(alert, "확인")
        st.press(history, "돌아가기")
        main = st.panel(MAIN_TITLE)
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            named = db.execute("SELECT COUNT(*) FROM wave_reference_unit").fetchone()[0]
            row = db.execute("SELECT after_value, reason FROM audit WHERE action ="
                             " 'wave reference learned' ORDER BY seq DESC LIMIT 1").fetchone()
        g.equal(named, 12, "the named records kept")
        g.expect(row[0].startswith("엔지니어 지정") and row[1] == "named after the winding check",
                 f"the audit row of the named reference: {row!r}")
        plain = os.path.join(work, "main-no-band.png")
        st.screenshot(main, plain)
        g.equal(share(plain), 0.0, "the band's colour before the box is checked")
        box = st.control(main, "check box", "기준 범위")
        st.click(box)
        poll("the box to be checked", lambda: "checked" in states_of(box))
        shot = os.path.join(shots, "main-band.png")

        def drawn():  # the band, and the standard wave drawn again on top of it
            st.screenshot(main, shot)
            return share(shot) > 0.02 and share(shot, STANDARD_COLOUR) > 0.0

        poll("the band behind the waves", drawn)
        g.expect("focused" in states_of(serial_field), "the box took the scanner's field's focus")
        st.click(box)
        poll("the band to go", lambda: (st.screenshot(main, plain), share(plain))[1] == 0.0)
        g.equal(st.popup_titles(), [], "popups")
