"""The plant view in a real browser: headless chromium, driven through chromium-driver, against
surge-plant on a PostgreSQL of the run's own, fed by a real station testing units on the
simulator in a real window.

Started by tests/browser/run inside a private X display and D-Bus session. Each group is one
checked step; prints "ok" or "FAIL" a group and closes with "N passed, N failed".
"""
import argparse
import os
import shutil
import subprocess
import sys
import urllib.error
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "window"))

from operator_run import Abort, Checks, Processes, first_line, wait_for_accessibility_bus
from plant_server import PlantServer
from webdriver import Driver, wait_for

MAIN_TITLE = "임펄스 권선 시험기 - 검사"
SETUP_TITLE = "임펄스 권선 시험기 - 마스터 등록"
STATION = "PB-1"
MARKUP = "<img src=x onerror=alert(1)>"
WRONG = "이름 또는 암호가 맞지 않습니다."

# Without a session: a page goes to /login, an API answers 401.
CLOSED = [("GET", "/", "/login"), ("GET", "/line", "/login"), ("POST", "/logout", "/login"),
          ("GET", "/api/line", 401), ("GET", "/api/events", 401), ("GET", "/api/session", 401),
          ("POST", "/api/users", 401)]
# Who may change a plant user: the HTTP status of the change.
USER_CHANGES = [("viewer1", "viewer", 403), ("admin1", "administrator", 200)]
# The page's sizes: a 1366 x 768 office screen and a phone of 360 x 740 CSS px.
SIZES = [(1366, 768, "plant-line.png"), (360, 740, "plant-line-phone.png")]
# The units the station tests, the simulator's result for each.
UNITS = [("PB-1", "0101OK"), ("PB-2", "0909NG"), (MARKUP, "0101OK")]


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


def http(url, method="GET", form=None, headers=None):
    """(status, headers) of one request, redirects not followed."""
    data = urllib.parse.urlencode(form).encode() if form is not None else None
    request = urllib.request.Request(url, data=data, method=method, headers=headers or {})
    try:
        with urllib.request.build_opener(NoRedirect).open(request, timeout=10) as answer:
            return answer.status, answer.headers, answer.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, ""


def session_headers(url, name):
    """The cookie and CSRF token of a login of `name` (password "pw-" and the name)."""
    _, headers, _ = http(f"{url}/login", "POST", {"name": name, "password": f"pw-{name}"})
    cookie = {"Cookie": headers.get("Set-Cookie", "").split(";")[0]}
    _, _, body = http(f"{url}/api/session", headers=cookie)
    csrf = body.split('"csrf":"')[1][:64] if '"csrf":"' in body else ""
    return dict(cookie, **{"X-CSRF-Token": csrf})


def station_row(driver):
    """The texts of the station's row on 라인 현황, or None without one."""
    return driver.run(
        "for (const row of document.querySelectorAll('#stations tr'))"
        "  if (row.cells[0].textContent === arguments[0])"
        "    return Array.from(row.cells, c => c.textContent);"
        "return null;", STATION)


def set_up(checks, build, work):
    with checks.group("the plant's server set up, a viewer and an administrator made, "
                      "surge-plant started") as g:
        server = PlantServer(build, work)
        server.login("plantweb", "pw-plantweb")
        server.login("pbline", "pw-pbline")
        server.tool("surge-audit", "setup-server", "--plant", "plantweb")
        server.tool("surge-audit", "setup-server", "--station", f"{STATION}=pbline")
        for name, role, _ in USER_CHANGES:
            server.tool("surge-users", "--server", "add", name, role, stdin=f"pw-{name}\n")
        server.start_service(work, os.path.join(HERE, "..", "..", "plant", "web"))
        g.expect(server.service.poll() is None, "surge-plant ended")
    return server


def closed_without_session(checks, url):
    with checks.group("without a session every page and API is refused; /health answers") as g:
        for method, path, expected in CLOSED:
            status, headers, _ = http(url + path, method, {} if method == "POST" else None)
            shown = status if expected == 401 else (status, headers.get("Location"))
            g.equal(shown, expected if expected == 401 else (302, expected), f"{method} {path}")
        status, _, body = http(f"{url}/health")
        g.equal((status, body), (200, '{"service":true,"database":true}'), "/health")


def log_in(checks, driver, url, shots):
    def submit(name, password):
        driver.type_into("input[name=name]", name)
        driver.type_into("input[name=password]", password)
        driver.submit("form")

    with checks.group("a wrong password is refused; the right one opens 라인 현황") as g:
        driver.open(f"{url}/line")
        driver.viewport(*SIZES[0][:2])
        g.equal(driver.run("return location.pathname"), "/login", "the page without a session")
        driver.screenshot(os.path.join(shots, "plant-login.png"))
        submit("admin1", "not-the-password")
        refused = wait_for("the refusal", lambda: driver.run(
            "const p = document.querySelector('.refused'); return p && p.textContent"))
        g.equal(refused, WRONG, "the refusal")
        g.equal(driver.run("return location.pathname"), "/login", "the page after a refusal")
        submit("admin1", "pw-admin1")
        wait_for("라인 현황", lambda: driver.run("return location.pathname") == "/line")


def start_station(procs, build, work, server):
    """The station in a real window on the simulator's line, sending to the server, with a
    master saved from the instrument; the driver of its panels and its main panel."""
    from panel_driver import Station, poll, text_of

    home = os.path.join(work, "station")
    os.makedirs(home)
    shutil.copy(os.path.join(build, "surge.uir"), home)
    sim = procs.start([os.path.join(build, "bin", "surge-sim"), "--setup", "0738062008",
                       "--result-file", os.path.join(work, "verdict")],
                      stdout=subprocess.PIPE, stderr=open(os.path.join(work, "surge-sim.log"), "w"))
    env = dict(os.environ, SURGE_COM1=first_line(sim.stdout, 20), SURGE_STATION=STATION,
               SURGE_HISTORY_DB=server.setting("pbline"), SURGE_HISTORY_PASSWORD="pw-pbline",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    procs.start([os.path.join(build, "bin", "surge")], cwd=home, env=env,
                stdout=open(os.path.join(work, "surge.log"), "w"), stderr=subprocess.STDOUT)
    st = Station()
    st.press(st.panel(MAIN_TITLE, timeout=30), "마스터 등록")
    setup = st.panel(SETUP_TITLE)
    st.press(setup, "계측기 읽기")
    voltage = st.control(setup, "spin button", "전압")
    poll("the setup to arrive", lambda: text_of(voltage) not in ("", "0.0"))
    st.type_into(st.control(setup, "text", "모델명"), "PB-MOTOR")
    st.press(setup, "저장")
    alert, _ = st.popup("확  인")
    st.answer(alert, "예")
    poll("the master to be saved", lambda: os.path.exists(os.path.join(home, "model_name.dat")))
    st.press(setup, "나가기")
    return st, st.panel(MAIN_TITLE)


def test_units(checks, driver, st, main, work):
    from panel_driver import poll, text_of

    serial_field = st.control(main, "text", "일련번호")
    with checks.group("each unit the station tests shows on 라인 현황 without a reload") as g:
        driver.run("window.notReloaded = true")
        for serial, result in UNITS:
            with open(os.path.join(work, "verdict"), "w") as f:
                f.write(result + "\n")
            st.type_into(serial_field, serial, then_key="Return")
            poll(f"{serial}'s test to end", lambda: text_of(serial_field) == "", timeout=30)
            st.press(main, "정지")
            row = wait_for(f"{serial} on 라인 현황", lambda: (station_row(driver) or [""] * 4)[3]
                           == serial and station_row(driver), timeout=5)
            g.equal(row[4], "O.K" if result.endswith("OK") else "N.G", f"{serial}'s verdict")
        g.expect(driver.run("return window.notReloaded === true"), "the page was reloaded")

    with checks.group("the page's tested, 양품률 and 직행률 are the station's strip") as g:
        strip = [st.control(main, "label", name).description
                 for name in ["오늘 검사 수", "오늘 양품률", "오늘 직행률"]]
        g.equal(station_row(driver)[7:10], strip, "the page's counts")
        g.equal(strip[0], str(len(UNITS)), "the strip's tested")

    with checks.group("a serial holding markup is shown as that text and runs nothing") as g:
        g.equal(station_row(driver)[3], MARKUP, "the serial's cell")
        g.equal(driver.run("return document.querySelectorAll('#stations img').length"), 0,
                "images in the table")
        g.equal(driver.alert_text(), None, "an alert")


def trace(checks, driver, url, shots):
    serial = UNITS[0][0]
    with checks.group("추적 of a unit the station tested: its test and both waves drawn") as g:
        driver.viewport(*SIZES[0][:2])
        driver.open(f"{url}/trace?serial={urllib.parse.quote(serial)}")
        rows = wait_for("the trace's rows", lambda: driver.run(
            "const rows = document.querySelectorAll('#tests tr');"
            "return rows.length && Array.from(rows, r => Array.from(r.cells, c => c.textContent));"))
        g.equal([(row[0], row[6]) for row in rows], [(STATION, "O.K")], "the tests")
        g.equal(driver.run("return document.querySelectorAll('#charts canvas').length"), 1,
                "the charts drawn")
        g.equal(driver.run("return Array.from(document.querySelectorAll("
                           "'#charts .u-legend .u-series:not(:first-child) .u-label'),"
                           " e => e.textContent)"), ["표준", "측정"], "the series")
        driver.screenshot(os.path.join(shots, "plant-trace.png"))


def yield_page(checks, driver, st, main, url, shots):
    with checks.group("수율 of today: the station's tested and 양품률 are its strip's; the page "
                      "fits a 360 x 740 phone, only its table scrolling sideways") as g:
        strip = [st.control(main, "label", name).description
                 for name in ["오늘 검사 수", "오늘 양품률"]]
        for width, height in [SIZES[1][:2], SIZES[0][:2]]:
            driver.viewport(width, height)
            driver.open(f"{url}/yield?by=station")
            row = wait_for("수율's row of the station", lambda: driver.run(
                "for (const row of document.querySelectorAll('#rows tr'))"
                "  if (row.cells[0].textContent === arguments[0])"
                "    return Array.from(row.cells, c => c.textContent);"
                "return null;", STATION))
            g.equal(row[1:3], strip, f"{width} px: the station's tested and 양품률")
            g.equal(sideways(driver), 0, f"{width} px: 수율 scrolls sideways by")
        g.expect("from=" in driver.run("return location.search"), "the period in the address")
        driver.screenshot(os.path.join(shots, "plant-yield.png"))


def charts(checks, driver, url, shots):
    master = "PB-MOTOR"
    with checks.group("관리도 of the station's master: its I and MR charts drawn, and it fits a "
                      "1366 x 768 screen and a 360 x 740 phone") as g:
        for width, height, picture in [(1366, 768, "plant-charts.png"), (360, 740, None)]:
            driver.viewport(width, height)
            driver.open(f"{url}/charts?master={urllib.parse.quote(master)}&item=area")
            wait_for("the charts", lambda: driver.run(
                "return document.querySelectorAll('.chart-pair canvas').length === 2"))
            g.equal(driver.run("return document.getElementById('master').value"), master,
                    "the master chosen")
            g.equal(sideways(driver), 0, f"{width} px: 관리도 scrolls sideways by")
            if picture:
                driver.screenshot(os.path.join(shots, picture))


def line_csv(checks, driver, url):
    with checks.group("라인 현황's CSV link answers its table as a file") as g:
        driver.open(f"{url}/line")
        link = driver.run(
            "return document.querySelector('a[href$=\".csv\"]').getAttribute('href')")
        status, headers, body = http(url + link, headers=session_headers(url, USER_CHANGES[0][0]))
        g.equal((status, headers.get("Content-Disposition")),
                (200, 'attachment; filename="line.csv"'), "the answer")
        g.expect(f"\r\n{STATION}," in body, f"no row of {STATION} in {body!r}")


def user_changes(checks, url):
    with checks.group("a viewer is refused the users page and a user change; an administrator "
                      "sees it and makes it") as g:
        for name, _, expected in USER_CHANGES:
            headers = session_headers(url, name)
            form = {"action": "add", "name": f"by_{name}", "role": "viewer",
                    "password": "pw-new-user-1"}
            status, _, _ = http(f"{url}/api/users", "POST", form, headers)
            g.equal(status, expected, f"the change by {name}")
            for path in ["/users", "/api/users"]:
                g.equal(http(url + path, headers=headers)[0], expected, f"{path} for {name}")


def trail_and_users(checks, driver, url, shots):
    with checks.group("변경 기록 shows the station's trail holding on the server; it and the "
                      "users page fit the screen and the phone") as g:
        for width, height, _ in reversed(SIZES):
            driver.viewport(width, height)
            driver.open(f"{url}/trail?station={STATION}")
            check = wait_for("the chain's verdict", lambda: driver.run(
                "return document.getElementById('check').textContent"))
            g.expect(check.startswith("체인 정상"), f"the verdict: {check}")
            g.expect(driver.run("return document.querySelectorAll('#rows tr').length") > 0,
                     "the station's rows")
            g.equal(sideways(driver), 0, f"{width} px: 변경 기록 scrolls sideways by")
            driver.open(f"{url}/users")
            wait_for("the users", lambda: driver.run(
                "return document.querySelectorAll('#users tr').length"))
            g.equal(sideways(driver), 0, f"{width} px: the users page scrolls sideways by")
        driver.open(f"{url}/trail?station={STATION}")
        wait_for("the plant's trail", lambda: driver.run(
            "return document.getElementById('plant-check').textContent"))
        driver.screenshot(os.path.join(shots, "plant-trail.png"))
        driver.open(f"{url}/users")
        wait_for("the users", lambda: driver.run(
            "return document.querySelectorAll('#users tr').length"))
        driver.screenshot(os.path.join(shots, "plant-users.png"))


def sideways(driver):
    """How far the page reaches past the window's width, in CSS px; 0 when it does not."""
    return driver.run("const e = document.documentElement;"
                      "return Math.max(0, e.scrollWidth - e.clientWidth)")


def fits(checks, driver, url, shots):
    with checks.group("라인 현황 and 추적 fit a 1366 x 768 screen and a 360 x 740 phone, only "
                      "their tables scrolling sideways") as g:
        for width, height, picture in SIZES:
            driver.viewport(width, height)
            driver.open(f"{url}/line")
            wait_for("the rows", lambda: station_row(driver))
            g.equal(driver.run("return [window.innerWidth, window.innerHeight]"),
                    [width, height], "the page's size")
            g.equal(sideways(driver), 0, f"{width} px: 라인 현황 scrolls sideways by")
            driver.screenshot(os.path.join(shots, picture))
            driver.open(f"{url}/trace?serial={urllib.parse.quote(UNITS[0][0])}")
            wait_for("the trace's chart", lambda: driver.run(
                "return document.querySelector('#charts canvas') !== null"))
            g.equal(sideways(driver), 0, f"{width} px: 추적 scrolls sideways by")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    args = parser.parse_args()
    build, work, shots = (os.path.abspath(p) for p in (args.build, args.work, args.screenshots))

    checks = Checks()
    procs = Processes(work)
    server = driver = None
    try:
        procs.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for_accessibility_bus()
        server = set_up(checks, build, work)
        closed_without_session(checks, server.url())
        driver = Driver(os.path.join(work, "chromedriver.log"))
        log_in(checks, driver, server.url(), shots)
        with checks.group("the station starts on the simulator, sending to the server"):
            st, station_main = start_station(procs, build, work, server)
        test_units(checks, driver, st, station_main, work)
        trace(checks, driver, server.url(), shots)
        yield_page(checks, driver, st, station_main, server.url(), shots)
        charts(checks, driver, server.url(), shots)
        line_csv(checks, driver, server.url())
        user_changes(checks, server.url())
        fits(checks, driver, server.url(), shots)
        trail_and_users(checks, driver, server.url(), shots)
    except Abort:
        pass
    except Exception as error:  # the harness itself failed: count it, never hide it
        checks.failed += 1
        print(f"FAIL  the run could not go on: {type(error).__name__}: {error}")
    finally:
        if driver is not None:
            driver.quit()
        procs.stop_all()
        if server is not None:
            server.stop()
    if checks.failed:
        for log in ["surge.log", "surge-plant.log", "pg/server.log"]:
            path = os.path.join(work, log)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    print(f"--- last lines of {log}\n" + "\n".join(f.read().splitlines()[-15:]))
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
