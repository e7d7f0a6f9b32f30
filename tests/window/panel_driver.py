"""Works the station's panels the way an operator does, through the accessibility tree.

Every control is found by its role and accessible name (its Korean label), buttons are pressed
through their accessible action, popups are read and answered by title, text and button. Two
things go through the X server's input instead, as a person's hands would: typing (xdotool,
because the accessibility bus's own key synthesis garbles Hangul) and the click into a table
cell (a mouse press at the cell's place on the screen, which the accessibility bus synthesises).

Every wait polls for a condition with a generous deadline; nothing depends on how fast the
machine is.
"""
import os
import re
import subprocess
import time

import pyatspi
from gi.repository import GLib

WAIT = 20.0  # seconds: the longest any single condition is waited for
POLL = 0.1


class DriverError(Exception):
    """The panel did not reach the state that the next operator action needs."""


def poll(what, condition, timeout=WAIT):
    """Calls condition() until it returns something true, and returns that.

    Accessibility calls fail while the station's one thread is busy (an inspection holds it
    for about a second) or while an object is being replaced; those count as "not yet".
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except (GLib.GError, LookupError, RuntimeError) as error:
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise DriverError(f"timed out waiting for {what}{detail}")
        time.sleep(POLL)


def wait_until(condition, timeout=WAIT):
    """Like poll, but answers False at the deadline, for a check that reports what it found."""
    try:
        return poll("", condition, timeout)
    except DriverError:
        return False


def states(acc):
    return {pyatspi.stateToString(s) for s in acc.getState().getStates()}


def is_showing(acc):
    return "showing" in states(acc)


def is_enabled(acc):
    return {"enabled", "sensitive"} <= states(acc)


def descendants(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from descendants(child)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


class Station:
    """The running station as the accessibility bus shows it."""

    def __init__(self, process_name="surge"):
        self.process_name = process_name
        self._app = None

    # --- finding things -------------------------------------------------------------------

    def app(self):
        if self._app is None:
            self._app = poll("the station on the accessibility bus", self._find_app)
        return self._app

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == self.process_name:
                return app
        return None

    def windows(self):
        app = self.app()
        return [app.getChildAtIndex(i) for i in range(app.childCount)]

    def shown_windows(self):
        return [w for w in self.windows() if w is not None and is_showing(w)]

    def panel(self, title, timeout=WAIT):
        """The panel window with this title, once it is shown."""

        def shown():
            for w in self.shown_windows():
                if w.getRoleName() == "filler" and w.name == title:
                    return w
            return None

        return poll(f'panel "{title}" to be shown', shown, timeout)

    def shown_panel_titles(self):
        return sorted(w.name for w in self.shown_windows() if w.getRoleName() == "filler")

    def control(self, within, role, name, description=None, timeout=WAIT):
        """The one showing control of this role and accessible name inside `within`.

        `description` tells apart a reading from its caption, which bear the same name.
        """

        def found():
            hits = [a for a in descendants(within)
                    if a.getRoleName() == role and a.name == name and is_showing(a)
                    and (description is None or a.description == description)]
            if len(hits) > 1:
                raise DriverError(f'{len(hits)} showing {role}s named "{name}"')
            return hits[0] if hits else None

        return poll(f'{role} "{name}"', found, timeout)

    def child(self, within, role, name):
        """A control that need not be showing (a lamp that is switched off, say)."""
        for a in descendants(within):
            if a.getRoleName() == role and a.name == name:
                return a
        raise DriverError(f'no {role} "{name}"')

    # --- acting ---------------------------------------------------------------------------

    def press(self, within, name):
        """Presses the command button of that label, once it is enabled."""
        button = self.control(within, "push button", name)
        poll(f'button "{name}" to be enabled', lambda: is_enabled(button))
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i) == "Press":
                action.doAction(i)
                return
        raise DriverError(f'button "{name}" has no press action')

    def click(self, acc):
        """A left click in the middle of the control, as a mouse gives it."""
        x, y, w, h = extents(acc)
        if w <= 0 or h <= 0:
            raise DriverError(f'"{acc.name}" has no place on the screen')
        pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, pyatspi.MOUSE_B1C)

    def type_into(self, field, text, then_key=None):
        """Clicks into a text field, replaces its text by typing, and waits until it shows it.

        The keystrokes of a character that the keyboard map lacks (Hangul here) go through a
        key code that xdotool remaps for the moment; should the field show something else,
        the typing is done again, up to three times.
        """
        for _ in range(3):
            self.click(field)
            poll("the field to take the keyboard", lambda: "focused" in states(field))
            xdotool("key", "--clearmodifiers", "ctrl+a", "BackSpace")
            xdotool("type", "--delay", "40", text)
            try:
                poll(f'the field to show "{text}"', lambda: text_of(field) == text, timeout=5)
                break
            except DriverError:
                continue
        else:
            raise DriverError(f'typed "{text}" but the field shows "{text_of(field)}"')
        if then_key:
            xdotool("key", "--clearmodifiers", then_key)

    # --- popups ---------------------------------------------------------------------------

    def alerts(self):
        return [w for w in self.shown_windows() if w.getRoleName() == "alert"]

    def popup(self, title, timeout=WAIT):
        """Waits for the popup with this title; returns it and its message."""

        def shown():
            for w in self.alerts():
                if w.name == title:
                    return w
            return None

        alert = poll(f'popup "{title}"', shown, timeout)
        return alert, self._message(alert)

    def answer(self, alert, button_name):
        """Presses a popup's button and waits until the popup is gone."""
        title, message = alert.name, self._message(alert)
        self.press(alert, button_name)
        poll(f'popup "{title}" to close',
             lambda: all((w.name, self._message(w)) != (title, message) for w in self.alerts()))

    def prompt(self, title, timeout=WAIT):
        """Waits for the prompt (a dialog asking for a line of text) with this title; returns
        it and its message."""

        def shown():
            for w in self.shown_windows():
                if w.getRoleName() == "dialog" and w.name == title:
                    return w
            return None

        dialog = poll(f'prompt "{title}"', shown, timeout)
        return dialog, self._message(dialog)

    def answer_prompt(self, dialog, text):
        """Types `text` into the prompt and presses its "확인" ("" presses "취소")."""
        title = dialog.name
        if text:
            field = next(a for a in descendants(dialog) if a.getRoleName() == "text")
            self.type_into(field, text)
        self.press(dialog, "확인" if text else "취소")
        poll(f'prompt "{title}" to close',
             lambda: all(w.name != title for w in self.shown_windows()))

    @staticmethod
    def _message(alert):
        return "\n".join(a.name for a in descendants(alert)
                         if a.getRoleName() == "label" and a.name)

    def popup_titles(self):
        """Titles and texts of every popup now shown, for reporting one that should not be."""
        out = []
        return [f"{w.name}: {self._message(w)}" for w in self.alerts()]

    # --- the picture ----------------------------------------------------------------------

    def screenshot(self, panel, path):
        """Saves what the screen shows of the panel's window, without time stamps in the file."""
        x, y, w, h = extents(panel)
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                        "-strip", "-define", "png:exclude-chunks=date,time", path],
                       check=True)


def window_on_screen(title):
    """Where the X server has the shown window of this title: its client area (x, y, width,
    height) on the screen and the frame that the window manager put around it (left, right,
    top, bottom; zeros before it framed the window)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                           capture_output=True, text=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
    window = found.stdout.split()[0]  # IndexError (a LookupError) while there is none
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    client = tuple(int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
                   for key in ["Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"])
    extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"],
                             capture_output=True, text=True).stdout
    frame = tuple(int(n) for n in re.findall(r"\d+", extents.partition("=")[2])) or (0, 0, 0, 0)
    return client, frame


def xdotool(*args):
    # xdotool reads its text in the locale's encoding: make that UTF-8 whatever the caller's.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run(["xdotool", *args], check=True, env=env)
