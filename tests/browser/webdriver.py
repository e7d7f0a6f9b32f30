"""A small W3C WebDriver client on urllib: Debian's chromium driven through chromium-driver.

Only what the plant view's run needs: a page opened, a script run in it, a field typed into, a
form sent, an alert looked for, the page's picture.
"""
import base64
import json
import os
import socket
import subprocess
import time
import urllib.error
import urllib.request

ELEMENT = "element-6066-11e4-a52e-4f735466cecf"


class WebDriverError(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Driver:
    """chromedriver on a free port of the loopback, and its one headless browser."""

    def __init__(self, log_path):
        self.port = free_port()
        self.process = subprocess.Popen(
            ["chromedriver", f"--port={self.port}"], stdout=open(log_path, "w"),
            stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        while True:
            try:
                self._call("GET", "/status")
                break
            except (OSError, WebDriverError):
                if time.monotonic() > deadline:
                    raise WebDriverError("chromedriver did not answer")
                time.sleep(0.1)
        # As root, chromium runs only without its sandbox.
        args = ["--headless=new", "--disable-gpu", "--no-first-run", "--window-size=1366,768"]
        if os.geteuid() == 0:
            args.append("--no-sandbox")
        answer = self._call("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome", "unhandledPromptBehavior": "ignore",
            "goog:chromeOptions": {"binary": "/usr/bin/chromium", "args": args}}}})
        self.session = f"/session/{answer['sessionId']}"

    def _call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=data,
                                         method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as answer:
                return json.load(answer)["value"]
        except urllib.error.HTTPError as error:
            value = json.load(error).get("value", {})
            raise WebDriverError(f"{value.get('error')}: {value.get('message', '')[:200]}")

    def call(self, method, path, body=None):
        return self._call(method, self.session + path, body)

    def quit(self):
        try:
            self._call("DELETE", self.session)
        except (OSError, WebDriverError, AttributeError):
            pass
        self.process.terminate()
        self.process.wait(timeout=10)

    # --- the page ---------------------------------------------------------------------------

    def open(self, url):
        self.call("POST", "/url", {"url": url})

    def run(self, script, *args):
        return self.call("POST", "/execute/sync", {"script": script, "args": list(args)})

    def viewport(self, width, height):
        """The window sized so that the page itself has width x height CSS px."""
        self.call("POST", "/window/rect", {"width": width, "height": height})
        inner = self.run("return [window.innerWidth, window.innerHeight]")
        self.call("POST", "/window/rect",
                  {"width": 2 * width - inner[0], "height": 2 * height - inner[1]})

    def alert_text(self):
        """The open alert's text, or None without one."""
        try:
            return self.call("GET", "/alert/text")
        except WebDriverError as error:
            if str(error).startswith("no such alert"):
                return None
            raise

    def type_into(self, css, text):
        element = self.call("POST", "/element", {"using": "css selector", "value": css})[ELEMENT]
        self.call("POST", f"/element/{element}/clear", {})
        self.call("POST", f"/element/{element}/value", {"text": text})

    def submit(self, css):
        self.run("document.querySelector(arguments[0]).submit()", css)

    def screenshot(self, path):
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.call("GET", "/screenshot")))


def wait_for(what, condition, timeout=10):
    """The condition's first true value, polled; WebDriverError naming `what` after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise WebDriverError(f"timed out waiting for {what}")
        time.sleep(0.1)
