#!/usr/bin/python3
"""Walks the accessible tree of the running program the way a screen reader sees it (AT-SPI) on each main screen:
every control a user can reach must be named, the password must stay hidden, sliders must say their value, and
the program's notices and dialogs must carry their text. Prints every problem and exits 1 if there was one."""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

PASSWORD = "melodrop"
EMAIL = "demo@melodrop.test"
# Roles a user operates; each must have a name when it is on screen.
CONTROLS = {
    "push button", "toggle button", "check box", "radio button", "slider", "text", "password text", "entry",
    "combo box", "list item", "page tab", "menu item", "check menu item", "spin button",
}
problems = []


def problem(screen, text):
    problems.append(f"{screen}: {text}")
    print(f"FAIL {screen}: {text}", flush=True)


def nodes(obj):
    yield obj
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            yield from nodes(child)


def has(obj, state):
    return obj.get_state_set().contains(state)


def showing(obj):
    return has(obj, Atspi.StateType.SHOWING) and has(obj, Atspi.StateType.VISIBLE)


def label(obj):
    return f"{obj.get_role_name()} {obj.get_name()!r}"


def wait_for(what, timeout=15.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(0.1)
    return None


def find_app():
    def look():
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == "Melodrop":
                return app
        return None
    return wait_for(look, 30)


app = find_app()
if app is None:
    print("FAIL: the program never showed up on the accessibility bus")
    sys.exit(1)


def find(predicate, timeout=15.0):
    return wait_for(lambda: next((o for o in nodes(app) if showing(o) and predicate(o)), None), timeout)


def named(name, role=None, timeout=15.0):
    return find(lambda o: o.get_name() == name and (role is None or o.get_role_name() == role), timeout)


def focused():
    """The focused object; of a focused list and its focused row, the row."""
    found = None
    for obj in nodes(app):
        if showing(obj) and has(obj, Atspi.StateType.FOCUSED):
            found = obj
    return found


def keys(*combos):
    for combo in combos:
        subprocess.run(["xdotool", "key", "--delay", "40", combo], check=True)
    time.sleep(0.3)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)
    time.sleep(0.2)


def value_text(obj):
    text = ""
    try:
        text = Atspi.Value.get_text(obj) or ""
    except (AttributeError, gi.repository.GLib.Error):
        pass
    # Qt's bridge has no value text of its own: the readable value is the slider's description.
    return text or obj.get_description() or ""


def walk(screen):
    """Every control shown on the screen is named; sliders have a range and a readable value."""
    count = 0
    for obj in nodes(app):
        if not showing(obj):
            continue
        role = obj.get_role_name()
        if role not in CONTROLS:
            continue
        count += 1
        if not (obj.get_name() or "").strip():
            problem(screen, f"unnamed {role} (description {obj.get_description()!r})")
        if role == "slider":
            value = obj.get_value_iface()
            if value is None or value.get_maximum_value() <= value.get_minimum_value():
                problem(screen, f"{label(obj)} has no range")
            if not value_text(obj).strip():
                problem(screen, f"{label(obj)} has no readable value")
        if role == "password text":
            text = obj.get_text_iface()
            if text is not None and PASSWORD in text.get_text(0, -1):
                problem(screen, f"{label(obj)} gives its password away")
    print(f"{screen}: {count} controls", flush=True)
    if count == 0:
        problem(screen, "nothing shown")


def expect_focus_in(screen, predicate, what):
    obj = wait_for(lambda: (lambda f: f if f is not None and predicate(f) else None)(focused()), 5)
    if obj is None:
        f = focused()
        problem(screen, f"focus is on {label(f) if f else 'nothing'}, not on {what}")


def in_bar(obj):
    """Whether the object belongs to the now-playing bar."""
    while obj is not None and obj.get_role_name() != "application":
        if obj.get_name() == "Сейчас играет" and obj.get_role_name() in ("tool bar", "panel"):
            return True
        obj = obj.get_parent()
    return False


def check_list(screen, row):
    """A row of a list is a focusable, selectable item of a list, and its menu opens from the keyboard."""
    parent = row.get_parent()
    if parent is None or parent.get_role_name() not in ("list", "list box", "table", "tree"):
        problem(screen, f"{label(row)} is not inside a list (its parent is {label(parent) if parent else None})")
    if not has(row, Atspi.StateType.FOCUSABLE):
        problem(screen, f"{label(row)} is not focusable")
    if not has(row, Atspi.StateType.SELECTABLE):
        problem(screen, f"{label(row)} is not selectable")


def check_dialog(screen, want_description=True):
    dialog = find(lambda o: o.get_role_name() in ("dialog", "alert") and has(o, Atspi.StateType.MODAL)
                  or o.get_role_name() == "dialog", 10)
    if dialog is None:
        problem(screen, "no dialog shown")
        return None
    name = dialog.get_name() or ""
    if not name.strip():
        problem(screen, "the dialog has no name")
    elif name != name.strip():
        problem(screen, f"the dialog's name {name!r} has space around it")
    if want_description and not (dialog.get_description() or "").strip():
        problem(screen, f"the dialog {name!r} has no description")
    return dialog


def press(screen, name, role="push button"):
    obj = named(name, role, 10)
    if obj is None:
        problem(screen, f"no {role} {name!r}")
        return False
    # As a keyboard user does it (Qt Quick's "Press" action does not reach a button's click handler).
    obj.grab_focus()
    time.sleep(0.3)
    keys("space")
    time.sleep(0.5)
    return True


def open_menu_entry(screen, name):
    """Opens an entry of a section's menu with the keyboard, from the focus it has."""
    entry = named(name, "list item", 10)
    if entry is None:
        problem(screen, f"no entry {name!r}")
        return
    # Down the list from where the keyboard is, as a keyboard user goes.
    for _ in range(12):
        current = focused()
        if current is not None and current.get_name() == name:
            break
        keys("Down")
    else:
        problem(screen, f"the arrow keys do not reach {name!r}")
        return
    keys("Return")
    time.sleep(1.0)


def back(screen):
    time.sleep(1.0)  # the preview's loading box is gone
    press(screen, "Назад")
    time.sleep(0.8)


# Sign-in page: the keyboard starts in the e-mail field.
email = named("E-mail", "text", 30)
if email is None:
    problem("sign-in", "no e-mail field")
    sys.exit(1)
time.sleep(0.5)
# No window manager under Xvfb: the window takes the keyboard itself.
subprocess.run("xdotool search --onlyvisible --name '^Melodrop$' windowfocus", shell=True, check=False)
time.sleep(0.5)
expect_focus_in("sign-in", lambda o: o.get_name() == "E-mail", "the e-mail field")
email.grab_focus()
time.sleep(0.3)
type_text(EMAIL)
password = find(lambda o: o.get_role_name() == "password text")
if password is None:
    problem("sign-in", "the password field is not a password field")
    password = find(lambda o: o.get_role_name() == "text" and o.get_name() != "E-mail")
if password is not None:
    if password.get_name() != "Пароль":
        problem("sign-in", f"the password field is named {password.get_name()!r}, not 'Пароль'")
    keys("Tab")
    type_text(PASSWORD)
    shown = password.get_text_iface().get_text(0, -1)
    if PASSWORD in shown:
        problem("sign-in", "the password field gives its text to accessibility clients")
walk("sign-in")

# The page comes before the now-playing bar in the tab order.
last = named("Правообладателям", "push button")
if last is not None:
    last.grab_focus()
    time.sleep(0.3)
    keys("shift+Tab")
    expect_focus_in("tab order", lambda o: o.get_name() == "Сброс данных", "'Сброс данных' before 'Правообладателям'")
    keys("Tab", "Tab")
    expect_focus_in("tab order", in_bar, "the now-playing bar after the page's last control")
password.grab_focus()
time.sleep(0.3)

# Signing in announces itself; the window moves on to the music, the keyboard with it.
keys("Return")
notice = find(lambda o: o.get_role_name() in ("alert", "notification") and "Вход выполнен" in
              (o.get_name() or "") + (o.get_description() or ""), 10)
if notice is None:
    problem("sign-in", "'Вход выполнен' is not announced (no alert with that text)")
expect_focus_in("sign-in", lambda o: o.get_role_name() == "list item" and not in_bar(o),
                "the audio menu's first entry after signing in")
time.sleep(2)  # the notice's box fades

# The reset question, back on the sign-in page.
keys("ctrl+1")
time.sleep(0.5)
expect_focus_in("sign-in page", lambda o: o.get_name() == "Выйти", "'Выйти' on the page once signed in")
if press("reset", "Сброс данных"):
    check_dialog("reset")
    walk("reset question")
    keys("Escape")
    time.sleep(0.5)

# The audio menu: a section switch puts the keyboard on the page.
keys("ctrl+2")
named("Поиск, все аудиозаписи ресурса", timeout=10)
expect_focus_in("audio menu", lambda o: o.get_role_name() == "list item" and not in_bar(o), "the menu's first entry")
walk("audio menu")
entry = named("Поиск, все аудиозаписи ресурса")
if entry is not None:
    check_list("audio menu", entry)

# Searching: the keyboard starts in the field, and goes on to the results.
open_menu_entry("audio search", "Поиск, все аудиозаписи ресурса")
expect_focus_in("audio search", lambda o: o.get_role_name() == "text", "the search field")
walk("audio search")
field = find(lambda o: o.get_role_name() == "text")
if field is not None:
    field.grab_focus()
    time.sleep(0.2)
    type_text("a")
    keys("Return")
row = find(lambda o: o.get_role_name() == "list item" and o.get_name().count(", ") >= 2 and not in_bar(o), 20)
if row is None:
    problem("audio search", "no results")
else:
    time.sleep(0.5)
    expect_focus_in("audio search", lambda o: o.get_role_name() == "list item", "the first result")
    walk("audio search results")
    check_list("audio search results", row)
    if not has(row, Atspi.StateType.FOCUSED):
        row.grab_focus()
        time.sleep(0.3)
    if not has(find(lambda o: o.get_name() == row.get_name()) or row, Atspi.StateType.SELECTED):
        problem("audio search results", f"the focused {label(row)} is not selected")
    # The row's menu: the Menu key, and Shift+F10 as well.
    for combo in ("Menu", "shift+F10"):
        keys(combo)
        item = find(lambda o: o.get_role_name() == "menu item", 5)
        if item is None:
            problem("row menu", f"{combo} opens no menu on the row")
        else:
            walk(f"row menu ({combo})")
        keys("Escape")
        time.sleep(0.3)
    # A tap previews the track in a dialog named after it.
    keys("Return")
    if check_dialog("preview", want_description=True):
        walk("preview")
    keys("Escape")
    time.sleep(0.5)
back("audio search results")

# The library and the player screen.
open_menu_entry("library", "Медиатека, хранилище записей")
walk("library")
back("library")
open_menu_entry("player", "Аудиоплеер, проигрываемые записи")
walk("player")
position = find(lambda o: o.get_role_name() == "slider" and not in_bar(o), 5)
if position is None:
    problem("player", "no position slider")
for name in ("Случайный порядок", "Повтор"):
    toggles = [o for o in nodes(app) if showing(o) and o.get_name() == name and not in_bar(o)]
    if not toggles:
        problem("player", f"no {name!r}")
    for toggle in toggles:
        # The role says it is checkable (Qt's bridge sets no "checkable" state); "checked" says its state.
        if toggle.get_role_name() not in ("check box", "toggle button"):
            problem("player", f"{label(toggle)} is not checkable")
            continue
        # Space turns the mode on or off, and the box says so.
        before = has(toggle, Atspi.StateType.CHECKED)
        toggle.grab_focus()
        time.sleep(0.2)
        # Repeat goes round three modes (playlist, track, off), shuffle round two; a whole round restores it.
        presses = 3 if name == "Повтор" else 2
        left = None
        for done in range(1, presses + 1):
            keys("space")
            if wait_for(lambda: has(toggle, Atspi.StateType.CHECKED) != before, 2) is not None:
                left = presses - done
                break
        if left is None:
            problem("player", f"{label(toggle)} does not say it is {'off' if before else 'on'} after Space")
            left = 0
        for _ in range(left):
            keys("space")
            time.sleep(0.2)
back("player")

# The video section, its search with the quality and sort selectors folded away.
keys("ctrl+3")
named("Поиск, все видеозаписи ресурса", timeout=10)
expect_focus_in("video menu", lambda o: o.get_role_name() == "list item" and not in_bar(o), "the menu's first entry")
walk("video menu")
open_menu_entry("video search", "Поиск, все видеозаписи ресурса")
walk("video search")
for obj in nodes(app):
    if showing(obj) and obj.get_role_name() in CONTROLS:
        ext = obj.get_extents(Atspi.CoordType.WINDOW)
        if ext.width <= 0 or ext.height <= 0:
            problem("video search", f"{label(obj)} is exposed though folded away ({ext.width}x{ext.height})")
back("video search")

# The downloads queue.
keys("ctrl+4")
named("Начать все", "push button", 10)
walk("downloads")

print(f"{len(problems)} problems" if problems else "no problems", flush=True)
sys.exit(1 if problems else 0)
