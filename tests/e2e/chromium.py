"""Headless Chromium driven over its DevTools pipe, with nothing but the standard library.

Chromium reads NUL-terminated JSON commands from fd 3 and writes replies and events to fd 4
(--remote-debugging-pipe), so no port, no WebSocket and no npm package are needed.
"""

import fcntl
import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time

CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-dev-shm-usage",  # containers often give /dev/shm only 64 MB
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--mute-audio",
    "--hide-scrollbars",
    "--force-device-scale-factor=1",
]


class BrowserError(Exception):
    pass


class Browser:
    def __init__(self, executable=None, timeout=30.0):
        self.timeout = timeout
        executable = executable or shutil.which("chromium") or "/usr/bin/chromium"
        self._profile = tempfile.mkdtemp(prefix="pictora-e2e-chromium-")
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()

        def plumb():
            # fd 3 and 4 in the child. Copy both out of the way first so that neither can overwrite
            # the other; the copies, like every descriptor Python opens, close on exec.
            a = fcntl.fcntl(to_child_r, fcntl.F_DUPFD_CLOEXEC, 10)
            b = fcntl.fcntl(from_child_w, fcntl.F_DUPFD_CLOEXEC, 10)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self._log = tempfile.TemporaryFile()
        self._proc = subprocess.Popen(
            [executable, *CHROMIUM_FLAGS, "--remote-debugging-pipe",
             f"--user-data-dir={self._profile}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=self._log,
            preexec_fn=plumb, close_fds=False)
        os.close(to_child_r)
        os.close(from_child_w)
        self._next_id = 0
        self._replies = {}
        self._events = queue.Queue()
        self._cond = threading.Condition()
        self._closed = False
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.call("Browser.getVersion")

    def _read(self):
        buf = b""
        while True:
            chunk = os.read(self._from_child, 1 << 16)
            if not chunk:
                break
            buf += chunk
            while b"\0" in buf:
                raw, buf = buf.split(b"\0", 1)
                msg = json.loads(raw)
                if "id" in msg:
                    with self._cond:
                        self._replies[msg["id"]] = msg
                        self._cond.notify_all()
                else:
                    self._events.put(msg)
        with self._cond:
            self._closed = True
            self._cond.notify_all()

    def call(self, method, params=None, session=None, timeout=None):
        self._next_id += 1
        mid = self._next_id
        msg = {"id": mid, "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        os.write(self._to_child, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + (timeout or self.timeout)
        with self._cond:
            while mid not in self._replies:
                left = deadline - time.monotonic()
                if self._closed or left <= 0:
                    raise BrowserError(f"{method}: no reply from chromium ({self.log_tail()})")
                self._cond.wait(left)
            reply = self._replies.pop(mid)
        if "error" in reply:
            raise BrowserError(f"{method}: {reply['error'].get('message')}")
        return reply.get("result", {})

    def next_event(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        try:
            return self._events.get(timeout=left)
        except queue.Empty:
            return None

    def log_tail(self):
        self._log.seek(0)
        return self._log.read().decode(errors="replace")[-2000:]

    def new_page(self, width=1280, height=1024):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        return Page(self, target, session, width, height)

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except BrowserError:
            pass
        try:
            self._proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._proc.kill()
            self._proc.wait()
        os.close(self._to_child)
        self._reader.join(timeout=5)
        os.close(self._from_child)
        self._log.close()
        shutil.rmtree(self._profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Page:
    def __init__(self, browser, target, session, width, height):
        self.browser = browser
        self.target = target
        self.session = session
        self.call("Page.enable")
        self.call("Runtime.enable")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.frame = self.call("Page.getFrameTree")["frameTree"]["frame"]["id"]

    def call(self, method, params=None, timeout=None):
        return self.browser.call(method, params, self.session, timeout)

    def _drain(self):
        while True:
            try:
                self.browser._events.get_nowait()
            except queue.Empty:
                return

    def events(self, seconds):
        """This page's events for the next `seconds` seconds (a generator the caller may stop)."""
        deadline = time.monotonic() + seconds
        while True:
            ev = self.browser.next_event(deadline)
            if ev is None:
                return
            if ev.get("sessionId") == self.session:
                yield ev

    def goto(self, url, timeout=None):
        """Navigates and waits for the load event, by which every picture has loaded or failed."""
        self._drain()
        result = self.call("Page.navigate", {"url": url})
        if result.get("errorText"):
            raise BrowserError(f"{url}: {result['errorText']}")
        for ev in self.events(timeout or self.browser.timeout):
            if ev["method"] == "Page.loadEventFired":
                return
        raise BrowserError(f"{url}: no load event")

    def close(self):
        self.browser.call("Target.closeTarget", {"targetId": self.target})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError(f"script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def follow_navigations(self, start_url, stop_url, seconds):
        """Opens start_url and records every main-frame URL the page goes to by itself, until it
        reaches stop_url or `seconds` pass."""
        self._drain()
        self.call("Page.navigate", {"url": start_url})
        visited = []
        for ev in self.events(seconds):
            if ev["method"] == "Page.frameNavigated" and not ev["params"]["frame"].get("parentId"):
                url = ev["params"]["frame"]["url"]
                visited.append(url)
                if url == stop_url:
                    break
        return visited
