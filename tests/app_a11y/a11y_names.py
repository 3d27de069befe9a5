#!/usr/bin/python3
"""The main window as a screen reader sees it.

Usage: a11y_names.py NILO LNG_FOLDER PLAYLIST

Starts a copy of the player (it would end a running copy of the same file) on
PLAYLIST, on an X display, session bus and accessibility bus of its own, walks
its AT-SPI tree and checks that every button, box, bar, playlist row and menu
entry has a name, that the names are the texts of the Russian language file,
and that they become the English texts after Options > Language > English is
chosen through its accessible action.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

APPEAR_SECONDS = 90
SWITCH_SECONDS = 30
NAMED_ROLES = {"push button", "toggle button", "check box", "slider", "list", "list item", "menu item",
               "check menu item", "radio menu item"}


def language_lines(path):
    """The texts of a language file by line number, as the player reads them."""
    with open(path, "rb") as file:
        raw = file.read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("cp1251")
    return [None] + [line.rstrip("\r").split("=")[-1] for line in text.split("\n")]


def expected_names(lines):
    """(role, name) pairs the window must hold for one language file."""
    def caption(number):
        return lines[number].strip()

    volume = caption(30)
    if volume.endswith(":"):
        volume = volume[:-1]
    words = lines[37].split()
    bands = words if len(words) == 8 else [" ".join(words[i:i + 2]) for i in range(0, 16, 2)]
    pairs = [("menu item", caption(n)) for n in range(2, 27)]
    pairs += [("check box", caption(n)) for n in (28, 29, 36)]
    pairs += [("push button", caption(n)) for n in range(31, 35)]
    pairs += [("push button", caption(n)) for n in range(38, 45)]
    pairs += [("slider", volume)] + [("slider", band) for band in bands]
    # The playlist is named after its entry in the View menu.
    pairs.append(("list", caption(18)))
    return pairs


class Session:
    """The display, the buses and the player, each in a process group of its own."""

    def __init__(self, work):
        self.work = work
        self.processes = []
        runtime = os.path.join(work, "runtime")
        os.mkdir(runtime, 0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS",
                                 "AT_SPI_BUS_ADDRESS", "QT_QPA_PLATFORM")}
        self.env["XDG_RUNTIME_DIR"] = runtime

    def start(self, name, argv, env=None, **options):
        with open(os.path.join(self.work, name + ".log"), "wb") as log:
            process = subprocess.Popen(argv, env=env or self.env, stdout=options.pop("stdout", log), stderr=log,
                                       start_new_session=True, **options)
        self.processes.append((name, process))
        return process

    def start_display(self):
        # Without -noreset the server resets when its last client leaves, and
        # a client connecting at that moment is refused.
        read_end, write_end = os.pipe()
        self.start("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                            "-nolisten", "tcp", "-noreset"], pass_fds=[write_end])
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def start_buses(self):
        bus = self.start("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.start("at-spi", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])

    def stop(self):
        for name, process in reversed(self.processes):
            if process.poll() is not None:
                continue
            # The player alone gets SIGTERM only; the others may have started helpers.
            if name == "nilo":
                process.send_signal(signal.SIGTERM)
            else:
                os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def log(self, name):
        with open(os.path.join(self.work, name + ".log"), "rb") as text:
            return text.read().decode(errors="replace")


def find_application(pyatspi, player):
    deadline = time.monotonic() + APPEAR_SECONDS
    while time.monotonic() < deadline:
        if player.poll() is not None:
            raise RuntimeError(f"the player ended with status {player.returncode} before it was seen")
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.get_process_id() == player.pid:
                return application
        time.sleep(0.3)
    raise RuntimeError(f"the player did not appear on the accessibility bus in {APPEAR_SECONDS} s")


def walk(accessible, path=()):
    """(role, name, path, accessible) of every node below the application."""
    for child in accessible:
        if child is None:
            continue
        here = path + (f"{child.getRoleName()} {child.name!r}",)
        yield child.getRoleName(), child.name, here, child
        yield from walk(child, here)


def check_names(application, lines, language):
    """The problems found, as readable lines."""
    nodes = list(walk(application))
    problems = [f"{language}: {role} without a name at {' > '.join(path)}"
                for role, name, path, _ in nodes if role in NAMED_ROLES and not name.strip()]
    present = {(role, name) for role, name, _, _ in nodes}
    problems += [f"{language}: no {role} named {name!r}"
                 for role, name in expected_names(lines) if (role, name) not in present]
    if not any(role == "list item" for role, _, _, _ in nodes):
        problems.append(f"{language}: the playlist shows no rows")
    return problems


def names_settled(application, lines, language, seconds):
    """The problems left once the names match the language file, or time is up."""
    deadline = time.monotonic() + seconds
    while True:
        problems = check_names(application, lines, language)
        if not problems or time.monotonic() > deadline:
            return problems
        time.sleep(0.5)


def press_english(application, lines):
    def menu_item(parent, name):
        return next((node for role, text, _, node in walk(parent) if role == "menu item" and text == name), None)

    language = menu_item(application, lines[21].strip())
    english = language and menu_item(language, "English")
    action = english and english.queryAction()
    names = [action.getName(i) for i in range(action.nActions)] if action else []
    if "Press" not in names:
        raise RuntimeError("no menu item 'English' with a Press action under Options > Language")
    action.doAction(names.index("Press"))


def main():
    nilo, lng, playlist = sys.argv[1:4]
    russian = language_lines(os.path.join(lng, "Russian.lng"))
    english = language_lines(os.path.join(lng, "English.lng"))
    work = tempfile.mkdtemp(prefix="nilo-a11y-")
    session = Session(work)
    problems = []
    try:
        session.start_display()
        session.start_buses()
        os.environ.update(session.env)
        import pyatspi

        home = os.path.join(work, "home")
        shutil.copytree(lng, os.path.join(home, "Lng"))
        program = os.path.join(work, "bin", "nilo")
        os.makedirs(os.path.dirname(program))
        shutil.copy2(nilo, program)
        player = session.start("nilo", [program, playlist], env=dict(
            session.env, NILO_HOME=home, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            QT_ACCESSIBILITY="1", SDL_AUDIODRIVER="dummy"))
        application = find_application(pyatspi, player)

        # No configuration file: the player starts in Russian.
        problems += names_settled(application, russian, "Russian", APPEAR_SECONDS)
        press_english(application, russian)
        problems += names_settled(application, english, "English", SWITCH_SECONDS)
    except Exception as error:
        problems.append(f"{type(error).__name__}: {error}")
    finally:
        session.stop()
    status = next((p.returncode for n, p in session.processes if n == "nilo"), None)
    if status not in (None, 0):
        problems.append(f"the player ended with status {status} on SIGTERM")
    if problems and status is not None:
        print("player's output:\n" + session.log("nilo"))
    shutil.rmtree(work, ignore_errors=True)
    for problem in problems:
        print("FAIL " + problem)
    print("accessible names: " + ("ok" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
