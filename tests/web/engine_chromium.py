"""Debian's headless Chromium, driven through its DevTools protocol over a WebSocket
(python3-websocket)."""

import base64
import json
import os
import shutil
import subprocess
import time
import urllib.request

import websocket  # python3-websocket

from browser import (Browser, PageError, die_with_parent, end_socket_and_process,
                     tail, wait_until)

CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--mute-audio",
    "--hide-scrollbars",
]

# Keys as the DevTools protocol names them: key, code, Windows key code, text typed.
KEYS = {
    " ": (" ", "Space", 32, " "),
    "Enter": ("Enter", "Enter", 13, "\r"),
    "Home": ("Home", "Home", 36, ""),
    "End": ("End", "End", 35, ""),
    "ArrowLeft": ("ArrowLeft", "ArrowLeft", 37, ""),
    "ArrowUp": ("ArrowUp", "ArrowUp", 38, ""),
    "ArrowRight": ("ArrowRight", "ArrowRight", 39, ""),
    "ArrowDown": ("ArrowDown", "ArrowDown", 40, ""),
    ",": (",", "Comma", 188, ","),
    ".": (".", "Period", 190, "."),
    "[": ("[", "BracketLeft", 219, "["),
    "]": ("]", "BracketRight", 221, "]"),
}
for _digit in "0123456789":
    KEYS[_digit] = (_digit, "Digit" + _digit, ord(_digit), _digit)
for _letter in "lqfh":
    KEYS[_letter] = (_letter, "Key" + _letter.upper(), ord(_letter.upper()), _letter)
KEYS["Tab"] = ("Tab", "Tab", 9, "")
KEYS["Escape"] = ("Escape", "Escape", 27, "")
KEYS["?"] = ("?", "Slash", 191, "?")
SHIFTED = {"?"}  # typed with Shift held


def missing():
    return None if shutil.which("chromium") else "chromium is not installed"


class Engine(Browser):
    """One headless Chromium with one tab."""

    name = "chromium"

    def _start(self, width, height):
        self._events = []
        self._next_id = 0
        self._socket = None
        chromium = shutil.which("chromium")
        if not chromium:
            raise RuntimeError("chromium is not installed (scripts/install-deps installs it)")
        self._log_path = os.path.join(self._profile, "chromium.log")
        command = [chromium, *CHROMIUM_FLAGS, "--user-data-dir=" + self._profile,
                   "--remote-debugging-port=0", "--window-size=%d,%d" % (width, height),
                   "about:blank"]
        # Its caches and settings in the new profile too, whatever the user's home.
        env = dict(os.environ, XDG_CONFIG_HOME=self._profile, XDG_CACHE_HOME=self._profile)
        with open(self._log_path, "wb") as log:
            self._process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                             stderr=subprocess.STDOUT,
                                             preexec_fn=die_with_parent, env=env)
        port_file = os.path.join(self._profile, "DevToolsActivePort")

        def port():
            if os.path.exists(port_file):
                with open(port_file) as f:
                    first = f.readline().strip()
                return int(first) if first.isdigit() else None
        self._devtools_port = wait_until(port, "chromium listened", self.timeout,
                                         self._process, lambda: tail(self._log_path))
        self._connect()

    def _connect(self):
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        url = "http://127.0.0.1:%d/json/list" % self._devtools_port

        def page():
            targets = json.loads(opener.open(url, timeout=self.timeout).read())
            return next((t for t in targets if t.get("type") == "page"), None)
        tab = wait_until(page, "chromium has a tab", self.timeout)
        self._socket = websocket.create_connection(tab["webSocketDebuggerUrl"],
                                                   timeout=self.timeout, suppress_origin=True,
                                                   skip_utf8_validation=True,
                                                   http_no_proxy=["127.0.0.1"])
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.send(domain + ".enable")

    def _stop(self):
        end_socket_and_process(self)

    @property
    def pids(self):
        """Chromium's processes: every process in its group."""
        group = self._process.pid
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry) as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                except OSError:
                    continue
                if int(fields[2]) == group:
                    found.append(int(entry))
        return found

    # The protocol.

    def send(self, method, **params):
        """Sends one command and returns its result; events that come first are kept."""
        self._next_id += 1
        ident = self._next_id
        self._socket.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = json.loads(self._socket.recv())
            if message.get("id") == ident:
                if "error" in message:
                    raise PageError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            if "method" in message:
                self._note(message)

    def _note(self, event):
        method, params = event["method"], event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console.append((params["type"], text))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text", "")
            self.console.append(("exception", text))
        elif method == "Log.entryAdded":
            entry = params["entry"]
            self.console.append((entry["level"], entry.get("text", "") + " " + entry.get("url", "")))
        elif method == "Network.requestWillBeSent":
            self._requests.append(params["request"]["url"])
        else:
            self._events.append(event)

    def wait_event(self, method, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            for event in self._events:
                if event["method"] == method:
                    self._events.remove(event)
                    return event.get("params", {})
            if time.monotonic() > deadline:
                raise PageError("no %s within %s s" % (method, timeout or self.timeout))
            self._socket.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                message = json.loads(self._socket.recv())
            except websocket.WebSocketTimeoutException:
                continue
            finally:
                self._socket.settimeout(self.timeout)
            if "method" in message:
                self._note(message)

    # The interface.

    def _navigate(self, url):
        self._events = [e for e in self._events if e["method"] != "Page.loadEventFired"]
        self.send("Page.navigate", url=url)
        self.wait_event("Page.loadEventFired")

    def set_size(self, width, height, scale=1):
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=scale, mobile=False)

    def evaluate(self, expression, await_promise=False):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=await_promise, timeout=self.timeout * 1000)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise PageError("%s threw: %s" % (expression[:200], details.get("exception", {})
                                              .get("description") or details.get("text")))
        return result["result"].get("value")

    def screenshot(self):
        return base64.b64decode(self.send("Page.captureScreenshot", format="png")["data"])

    def mouse(self, kind, x, y, button="left", buttons=0):
        self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                  buttons=buttons, clickCount=1 if kind != "mouseMoved" else 0)

    def hover(self, x, y):
        self.mouse("mouseMoved", x, y, button="none")

    def click(self, x, y):
        self.hover(x, y)
        self.mouse("mousePressed", x, y, buttons=1)
        self.mouse("mouseReleased", x, y)

    def drag(self, points):
        (x, y), rest = points[0], points[1:]
        self.hover(x, y)
        self.mouse("mousePressed", x, y, buttons=1)
        for x, y in rest:
            self.mouse("mouseMoved", x, y, buttons=1)
        self.mouse("mouseReleased", x, y)

    def tap(self, x, y):
        # Touch events reach the page only while touch is emulated, which would turn the mouse
        # events that follow into touches too.
        self.send("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=1)
        try:
            self.send("Input.dispatchTouchEvent", type="touchStart",
                      touchPoints=[{"x": x, "y": y}])
            self.send("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])
        finally:
            self.send("Emulation.setTouchEmulationEnabled", enabled=False)

    def key(self, name, modifiers=0, code=None):
        key, place, vk, text = KEYS[name]
        code = code or place
        modifiers |= 8 if name in SHIFTED else 0
        down = {"type": "keyDown", "key": key, "code": code, "windowsVirtualKeyCode": vk,
                "nativeVirtualKeyCode": vk, "modifiers": modifiers}
        if text:
            down["text"] = text
            down["unmodifiedText"] = text
        self.send("Input.dispatchKeyEvent", **down)
        self.send("Input.dispatchKeyEvent", type="keyUp", key=key, code=code,
                  windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk, modifiers=modifiers)

    def devtools(self, method, **params):
        return self.send(method, **params)

    def script_enabled(self, on):
        self.send("Emulation.setScriptExecutionDisabled", value=not on)

    def on_new_document(self, source):
        return self.send("Page.addScriptToEvaluateOnNewDocument", source=source)["identifier"]

    def forget(self, identifier):
        self.send("Page.removeScriptToEvaluateOnNewDocument", identifier=identifier)
