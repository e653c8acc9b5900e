"""A virtual X display with the real `pictora` in it, driven by keyboard and mouse through xdotool.

The program runs with HOME and the XDG folders in a folder of its own, and with a stand-in
`xdg-open` first on PATH that writes each address it is asked to open, one a line, into a file.
Every wait polls; one that runs out takes a screenshot of the whole display and says what was on it.
"""

import os
import shutil
import subprocess
import time


class Timeout(Exception):
    pass


# The captions of the program's message boxes, by kind.
BOX_CAPTIONS = ("情報", "警告", "エラー", "確認")


class Display:
    """Xvfb on a display number it picks itself (-displayfd), so parallel runs never collide."""

    def __init__(self, size="1280x1024x24"):
        read, write = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as f:
            while not number.endswith(b"\n"):
                chunk = f.read(1)
                if not chunk:
                    raise RuntimeError(f"Xvfb ended before naming its display (status {self.proc.wait()})")
                number += chunk
        self.name = ":" + number.decode().strip()

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Desktop:
    """One user's session on a display: a home of its own and the program started in it."""

    def __init__(self, display, pictora, home, shots):
        self.display = display
        self.pictora = pictora
        self.home = home
        self.shots = shots
        self.opened_log = os.path.join(home, "opened-by-xdg-open.txt")
        self.config = os.path.join(home, ".config")
        self.data = os.path.join(home, ".local", "share")
        bin_dir = os.path.join(home, "bin")
        for d in (bin_dir, self.config, self.data, os.path.join(home, ".cache"), shots):
            os.makedirs(d, exist_ok=True)
        stand_in = os.path.join(bin_dir, "xdg-open")
        with open(stand_in, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{self.opened_log}"\n')
        os.chmod(stand_in, 0o755)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "LC_"))}
        self.env.update(
            DISPLAY=display.name, HOME=home, XDG_CONFIG_HOME=self.config, XDG_DATA_HOME=self.data,
            XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_RUNTIME_DIR=self._runtime_dir(),
            PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), QT_QPA_PLATFORM="xcb", LANG="C.UTF-8")
        self.proc = None
        self.log_path = None
        self.seen = set()

    def _runtime_dir(self):
        path = os.path.join(self.home, ".runtime")
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path

    # -- the program --------------------------------------------------------------------------

    def start(self, *args, log_name="pictora.log"):
        self.log_path = os.path.join(self.shots, log_name)
        self.log = open(self.log_path, "wb")
        print("$ pictora", *args, flush=True)
        self.proc = subprocess.Popen([self.pictora, *args], env=self.env, stdout=self.log,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.seen = set()  # a new client may be given the window ids of the one before
        self.main = self.wait_for_window("Pictora", "the main window", timeout=60)
        return self.main

    def wait_exit(self, what, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                self.log.close()
                return self.proc.returncode
            time.sleep(0.2)
        self.fail(f"{what}: the program is still running after {timeout} s")

    def stop(self):
        """Ends a program the test could not close."""
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.proc:
            self.log.close()

    def output(self):
        if not self.log_path or not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def opened(self):
        """What the stand-in browser was asked to open, in order."""
        if not os.path.exists(self.opened_log):
            return []
        with open(self.opened_log, encoding="utf-8") as f:
            return f.read().splitlines()

    # -- looking at the display ---------------------------------------------------------------

    def xdotool(self, *args, check=True):
        done = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True)
        if check and done.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {done.stderr.decode(errors='replace')}")
        return done.stdout.decode("utf-8", "replace")

    def windows(self):
        """The visible top-level windows: id -> name."""
        ids = self.xdotool("search", "--onlyvisible", "--name", "", check=False).split()
        found = {}
        for wid in ids:
            name = subprocess.run(["xdotool", "getwindowname", wid], env=self.env, capture_output=True)
            if name.returncode == 0:  # a window may go while it is asked
                found[wid] = name.stdout.decode("utf-8", "replace").rstrip("\n")
        return found

    def screenshot(self, name):
        path = os.path.join(self.shots, name)
        if shutil.which("import"):
            subprocess.run(["import", "-window", "root", path], env=self.env, capture_output=True)
        return path if os.path.exists(path) else None

    def fail(self, what):
        shot = self.screenshot(f"failed-{len(os.listdir(self.shots))}.png")
        seen = "\n".join(f"    {wid} {name!r}" for wid, name in self.windows().items() if name)
        running = "running" if self.proc and self.proc.poll() is None else f"ended ({self.proc and self.proc.poll()})"
        raise Timeout(f"{what}\n  screenshot: {shot}\n  visible windows:\n{seen}\n  program {running}, "
                      f"its output:\n{self.output()}")

    def wait(self, condition, what, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            result = condition()
            if result:
                return result
            if self.proc and self.proc.poll() is not None:
                break
            time.sleep(0.2)
        self.fail(f"timed out after {timeout} s waiting for {what}")

    def wait_for_window(self, name, what, timeout=30):
        """A visible window of that name, not met before, made the keyboard's."""
        def look():
            for wid, n in self.windows().items():
                if n == name and wid not in self.seen:
                    return wid
            return None
        wid = self.wait(look, what, timeout)
        self.seen.add(wid)
        self.focus(wid)
        return wid

    def wait_gone(self, wid, what, timeout=30):
        self.wait(lambda: wid not in self.windows(), what, timeout)

    # -- acting on it -------------------------------------------------------------------------

    def focus(self, wid):
        # No window manager: the input focus is set directly; XTEST keys then go to that window.
        self.xdotool("windowfocus", "--sync", wid, check=False)

    def keys(self, *keys, window=None):
        self.focus(window or self.main)
        self.xdotool("key", "--clearmodifiers", *keys)

    def menu(self, access_key, *then, what):
        """Opens a menu of the main window by its access key (alt+KEY), then types the keys that
        choose an item, once the menu is seen open."""
        before = set(self.windows())
        self.keys(f"alt+{access_key}")
        popup = self.wait(lambda: next((w for w in self.windows() if w not in before), None),
                          f"the menu of alt+{access_key} ({what}) to open", timeout=20)
        self.xdotool("key", *then)
        self.wait_gone(popup, f"the menu of alt+{access_key} to close after {' '.join(then)} ({what})", timeout=20)

    def answer(self, caption, key, what, timeout=60):
        """Waits for a new message box of that caption, answers it with one key (a button's
        mnemonic letter, or Return for the default button) and waits until it has gone."""
        def look():
            for wid, name in self.windows().items():
                if wid in self.seen:
                    continue
                if name == caption:
                    return wid
                if name in BOX_CAPTIONS:
                    self.fail(f"a box titled {name!r} came instead of {what!r} ({caption!r})")
            return None
        box = self.wait(look, f"the question {what!r} (a box titled {caption!r})", timeout)
        self.seen.add(box)
        self.focus(box)
        print(f"  {caption}: {what} -> {key}", flush=True)
        self.xdotool("key", key)
        self.wait_gone(box, f"the box {what!r} to close after {key}")

    def geometry(self, wid):
        """x, y, width, height of a window on the screen."""
        shell = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell", wid).split())
        return int(shell["X"]), int(shell["Y"]), int(shell["WIDTH"]), int(shell["HEIGHT"])

    def drag(self, wid, start, end):
        """A left-button drag inside a window, from and to (x, y) in its own pixels."""
        x0, y0, _, _ = self.geometry(wid)
        self.xdotool("mousemove", "--sync", x0 + start[0], y0 + start[1])
        self.xdotool("mousedown", 1)
        steps = 8
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.xdotool("mousemove", "--sync", x0 + x, y0 + y)
        self.xdotool("mouseup", 1)
