"""The same station with access control on, in a real window: the login panel first, an
operator's login, a command the operator's role may not give dimmed with who may in its tooltip,
the logout back to the login panel, and quit from there. The users are set up with surge-users
before the start, as a plant does.
"""
import os
import shutil
import sqlite3
import subprocess

LOGIN_TITLE = "임펄스 권선 시험기 - 로그인"
MAIN_TITLE = "임펄스 권선 시험기 - 검사"
SETUP_TITLE = "임펄스 권선 시험기 - 마스터 등록"
ENGINEERS_ONLY = "엔지니어(engineer) 또는 관리자(administrator)만 할 수 있습니다."


def users(build, home, arguments, given):
    return subprocess.run([os.path.join(build, "bin", "surge-users")] + arguments, cwd=home,
                          input=given, capture_output=True, text=True, timeout=60)


def access_session(checks, build, work, procs, first_line):
    from panel_driver import Station, is_enabled, poll, states, xdotool

    home = os.path.join(work, "access-station")
    os.makedirs(home)
    shutil.copy(os.path.join(build, "surge.uir"), home)
    with open(os.path.join(home, "station.ini"), "w") as f:
        f.write("[access]\nenabled=true\nidle_minutes=15\n")

    with checks.group("surge-users sets up an administrator and an operator before the start") as g:
        first = users(build, home, ["add", "admin", "administrator"], "pw-admin\n")
        g.equal(first.returncode, 0, f"the first administrator ({first.stderr.strip()})")
        second = users(build, home, ["--as", "admin", "add", "kim", "operator"],
                       "pw-admin\npw-kim\n")
        g.equal(second.returncode, 0, f"the operator ({second.stderr.strip()})")

    with checks.group("with access control on the login panel comes first") as g:
        sim = procs.start([os.path.join(build, "bin", "surge-sim")], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
        pty = first_line(sim.stdout, 20)
        env = dict(os.environ, SURGE_COM1=pty, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb")
        station = procs.start([os.path.join(build, "bin", "surge")], cwd=home, env=env,
                              stdout=open(os.path.join(work, "surge-access.log"), "w"),
                              stderr=subprocess.STDOUT)
        st = Station()
        login = st.panel(LOGIN_TITLE, timeout=30)
        g.equal(st.shown_panel_titles(), [LOGIN_TITLE], "panels shown")
        g.equal(st.popup_titles(), [], "popups at start-up")

    with checks.group("the operator logs in; the main panel names them") as g:
        st.type_into(st.control(login, "text", "이름 또는 배지"), "kim")
        # A masked field does not tell what it holds: the keys are typed blind.
        password = st.control(login, "password text", "암호")
        st.click(password)
        poll("the password field to take the keyboard", lambda: "focused" in states(password))
        xdotool("type", "--delay", "40", "pw-kim")
        st.press(login, "로그인")
        main = st.panel(MAIN_TITLE)
        g.equal(st.shown_panel_titles(), [MAIN_TITLE], "panels shown")
        user = st.control(main, "label", "사용자")
        g.equal(user.description, "kim · 작업자", "who is logged in")

    with checks.group("saving a master is dimmed for an operator, its tooltip names who may") as g:
        st.press(main, "마스터 등록")
        setup = st.panel(SETUP_TITLE)
        save = st.control(setup, "push button", "저장")
        g.expect(not is_enabled(save), '"저장" is enabled for an operator')
        g.equal(save.description, ENGINEERS_ONLY, "the tooltip of 저장")
        g.expect(not is_enabled(st.control(setup, "push button", "엑셀 선택")),
                 '"엑셀 선택" is enabled for an operator')
        g.expect(is_enabled(st.control(setup, "push button", "계측기 읽기")),
                 '"계측기 읽기" is dimmed for an operator')
        st.press(setup, "나가기")
        main = st.panel(MAIN_TITLE)

    with checks.group("the logout goes back to the login panel; quit from there") as g:
        st.press(main, "로그아웃")
        login = st.panel(LOGIN_TITLE)
        g.equal(st.shown_panel_titles(), [LOGIN_TITLE], "panels shown")
        st.press(login, "종료")
        try:
            code = station.wait(timeout=30)
        except subprocess.TimeoutExpired:
            code = None
        g.equal(code, 0, "exit code")
        with sqlite3.connect(os.path.join(home, "inspection_history.db")) as db:
            rows = db.execute("SELECT user_name, action, object, after_value FROM audit"
                              " WHERE action IN ('login', 'logout') ORDER BY seq").fetchall()
        g.equal(rows, [("kim", "login", "kim", "operator"), ("kim", "logout", "kim", "logout")],
                "the audit rows of the login")
