"""Drives the page in Debian's headless Chromium through its DevTools protocol.

A `Browser` serves a folder on a free loopback port, starts Chromium in a process group of its
own with a new empty profile, and talks to its one tab over a WebSocket: it loads pages,
evaluates JavaScript, sends real input events (mouse, keys, touch), reads the canvas's pixels and
keeps what the page writes on its console. Everything it starts is ended when it is closed, also
when the test fails or is stopped by a signal.
"""

import base64
import ctypes
import http.server
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import urllib.request

import websocket  # python3-websocket

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


# Where the server hands out the tests' own files (pictures to compare with).
TEST_PATH = "/__test/"


def find_chromium():
    """The path of Debian's chromium, or None."""
    return shutil.which("chromium")


class PageError(AssertionError):
    """A script that threw, or a condition that did not come true in time."""


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def end_headers(self):
        # Every load reads the files as they are now.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


_QuietHandler.extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
_QuietHandler.extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript"})


def _die_with_parent():
    """In the child before exec: a new process group, and SIGKILL when the test dies."""
    os.setsid()
    try:
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


# Set before the page's own script runs: keeps the WebAssembly memory of the instance the page
# starts (exported or imported), for Browser.wasm_memory_bytes.
NOTE_WASM_MEMORY = """
(() => {
  const keep = (result, imports) => {
    const instance = result.instance || result;
    const places = [instance.exports, ...Object.values(imports || {})];
    for (const place of places)
      for (const value of Object.values(place || {}))
        if (value instanceof WebAssembly.Memory) window.__q3WasmMemory = value;
    return result;
  };
  for (const name of ['instantiate', 'instantiateStreaming']) {
    const original = WebAssembly[name];
    if (original)
      WebAssembly[name] = (source, imports) =>
        original.call(WebAssembly, source, imports).then((r) => keep(r, imports));
  }
})();
"""


class Browser:
    """One headless Chromium with one tab, and a server for one folder."""

    def __init__(self, folder, width=800, height=600, timeout=60):
        self.folder = os.path.abspath(folder)
        self.timeout = timeout
        self.left_out = set()  # paths the server answers 404 for, as if the file were missing
        self.headers = {}  # more headers the server sends with every answer
        self.console = []  # (level, text) of every console message, exception and log entry
        self.requests = []  # every URL the page asked for
        self._events = []
        self._next_id = 0
        self._process = None
        self._socket = None
        self._server = None
        self._profile = tempfile.mkdtemp(prefix="q3-chromium-")
        try:
            self._serve(0)
            self._start(width, height)
            self._connect()
        except BaseException:
            self.close()
            raise

    # Starting and ending.

    def _serve(self, port):
        folder = self.folder
        files = self.files = {}  # served at /__test/NAME: the tests' own files, not the page's
        browser = self

        class Handler(_QuietHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=folder, **kwargs)

            def end_headers(self):
                for name, value in browser.headers.items():
                    self.send_header(name, value)
                super().end_headers()

            def do_GET(self):
                if self.path.split("?")[0].lstrip("/") in browser.left_out:
                    return self.send_error(404)
                if not self.path.startswith(TEST_PATH):
                    return super().do_GET()
                body = files.get(self.path[len(TEST_PATH):])
                if body is None:
                    return self.send_error(404)
                self.send_response(200)
                self.send_header("Content-Type", self.guess_type(self.path))
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self._server.daemon_threads = True
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        self.origin = "http://127.0.0.1:%d" % self._server.server_address[1]

    def serving(self, on):
        """Stops the server, so that every connection to it is refused, or starts it again at
        the same address."""
        if on and self._server is None:
            self._serve(int(self.origin.rsplit(":", 1)[1]))
        elif not on and self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def _start(self, width, height):
        chromium = find_chromium()
        if not chromium:
            raise RuntimeError("chromium is not installed (scripts/install-deps installs it)")
        self._log = open(os.path.join(self._profile, "chromium.log"), "wb")
        command = [chromium, *CHROMIUM_FLAGS, "--user-data-dir=" + self._profile,
                   "--remote-debugging-port=0", "--window-size=%d,%d" % (width, height),
                   "about:blank"]
        # Its caches and settings in the new profile too, whatever the user's home.
        env = dict(os.environ, XDG_CONFIG_HOME=self._profile, XDG_CACHE_HOME=self._profile)
        self._process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=self._log,
                                         stderr=subprocess.STDOUT, preexec_fn=_die_with_parent,
                                         env=env)
        port_file = os.path.join(self._profile, "DevToolsActivePort")
        deadline = time.monotonic() + self.timeout
        while True:
            if os.path.exists(port_file):
                with open(port_file) as f:
                    first = f.readline().strip()
                if first.isdigit():
                    self._devtools_port = int(first)
                    return
            if self._process.poll() is not None:
                raise RuntimeError("chromium ended with %s before it listened:\n%s"
                                   % (self._process.returncode, self.chromium_log()))
            if time.monotonic() > deadline:
                raise RuntimeError("chromium did not listen within %d s:\n%s"
                                   % (self.timeout, self.chromium_log()))
            time.sleep(0.05)

    def chromium_log(self):
        try:
            with open(os.path.join(self._profile, "chromium.log"), "rb") as f:
                return f.read()[-4000:].decode("utf-8", "replace")
        except OSError:
            return ""

    def _connect(self):
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        url = "http://127.0.0.1:%d/json/list" % self._devtools_port
        deadline = time.monotonic() + self.timeout
        while True:
            targets = json.loads(opener.open(url, timeout=self.timeout).read())
            pages = [t for t in targets if t.get("type") == "page"]
            if pages:
                break
            if time.monotonic() > deadline:
                raise RuntimeError("chromium has no tab")
            time.sleep(0.05)
        self._socket = websocket.create_connection(pages[0]["webSocketDebuggerUrl"],
                                                   timeout=self.timeout, suppress_origin=True,
                                                   skip_utf8_validation=True,
                                                   http_no_proxy=["127.0.0.1"])
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.send(domain + ".enable")

    def close(self):
        if self._socket is not None:
            try:
                self._socket.close()
            except Exception:
                pass
            self._socket = None
        if self._process is not None:
            self._end_group()
            self._process = None
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server = None
        if getattr(self, "_log", None):
            self._log.close()
            self._log = None
        shutil.rmtree(self._profile, ignore_errors=True)

    def _end_group(self):
        group = self._process.pid  # the leader of its own group (setsid)
        for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
            try:
                os.killpg(group, sig)
            except ProcessLookupError:
                break
            try:
                self._process.wait(timeout=wait)
            except subprocess.TimeoutExpired:
                continue
            # The leader is gone; end what is left of its group.
            try:
                os.killpg(group, signal.SIGKILL)
            except ProcessLookupError:
                pass
            break
        # The crash reporter leaves the group; it is known by the profile in its command line.
        for pid in self._profile_processes():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def _profile_processes(self):
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/cmdline" % entry, "rb") as f:
                        if self._profile.encode() in f.read():
                            found.append(int(entry))
                except OSError:
                    continue
        return found

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

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
            self.requests.append(params["request"]["url"])
        else:
            self._events.append(event)

    def console_errors(self):
        """The console's errors, exceptions and warnings, as text."""
        self.evaluate("0")  # reads what has arrived
        return ["%s: %s" % e for e in self.console
                if e[0] in ("error", "exception", "assert", "warning")]

    def evaluate(self, expression, await_promise=False):
        """The value of a JavaScript expression in the page; raises if it threw."""
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=await_promise, timeout=self.timeout * 1000)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise PageError("%s threw: %s" % (expression[:200], details.get("exception", {})
                                              .get("description") or details.get("text")))
        return result["result"].get("value")

    def wait_for(self, expression, what, timeout=None):
        """Polls until the expression is truthy and returns its value; fails at the deadline."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise PageError("not within %s s: %s (%s is %r)"
                                % (timeout or self.timeout, what, expression, value))
            time.sleep(0.02)

    # Pages.

    def url(self, query=""):
        return self.origin + "/index.html" + ("?" + query if query else "")

    def open(self, query="", wait_ready=True, width=None, height=None, url=None):
        """Loads the page with a query (or another address) and waits for its load event and,
        unless told not to, for quillet3.ready. The size, when given, is set first, at one device
        pixel per CSS pixel."""
        if width:
            self.set_size(width, height)
        self._events = [e for e in self._events if e["method"] != "Page.loadEventFired"]
        self.console.clear()
        self.requests.clear()
        self.send("Page.navigate", url=url or self.url(query))
        self.wait_event("Page.loadEventFired")
        if wait_ready:
            self.ready()

    def settled(self, expression="quillet3.ready"):
        """'fulfilled', 'rejected' or, after half the timeout, 'pending': how a promise ended."""
        return self.evaluate(
            "Promise.race([(%s).then(() => 'fulfilled', () => 'rejected'),"
            " new Promise(done => setTimeout(() => done('pending'), %d))])"
            % (expression, self.timeout * 1000 // 2), await_promise=True)

    def on_new_document(self, source):
        """Runs a script in every document before its own; returns what forget() takes."""
        return self.send("Page.addScriptToEvaluateOnNewDocument", source=source)["identifier"]

    def forget(self, identifier):
        self.send("Page.removeScriptToEvaluateOnNewDocument", identifier=identifier)

    def screenshot(self, path):
        """What the tab shows, saved as a PNG file."""
        data = self.send("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def ready(self):
        self.wait_for("typeof window.quillet3 === 'object' && window.quillet3 !== null",
                      "window.quillet3 exists")
        settled = self.evaluate(
            "Promise.race([quillet3.ready.then(() => 'ready', e => 'rejected: ' + e),"
            " new Promise(done => setTimeout(() => done('pending'), %d))])"
            % (self.timeout * 1000 // 2), await_promise=True)
        if settled != "ready":
            raise PageError("quillet3.ready is %s after %d s" % (settled, self.timeout // 2))

    def next_frames(self, count=2):
        """Waits until the page has drawn this many more animation frames."""
        self.evaluate("new Promise(done => { let n = %d; const step = () => --n ? "
                      "requestAnimationFrame(step) : done(true); requestAnimationFrame(step); })"
                      % count, await_promise=True)

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

    def set_size(self, width, height, scale=1):
        """The page's viewport in CSS pixels and its devicePixelRatio."""
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=scale, mobile=False)

    def note_wasm_memory(self):
        """From the next page on, keeps its WebAssembly memory; returns what forget() takes."""
        return self.on_new_document(NOTE_WASM_MEMORY)

    def wasm_memory_bytes(self):
        """The page's WebAssembly memory's size now, which is its peak: it never shrinks."""
        return self.evaluate("window.__q3WasmMemory.buffer.byteLength")

    # Input.

    def mouse(self, kind, x, y, button="left", buttons=0):
        self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                  buttons=buttons, clickCount=1 if kind != "mouseMoved" else 0)

    def hover(self, x, y):
        """The mouse moves with no button held."""
        self.mouse("mouseMoved", x, y, button="none")

    def click(self, x, y):
        self.mouse("mouseMoved", x, y, button="none")
        self.mouse("mousePressed", x, y, buttons=1)
        self.mouse("mouseReleased", x, y)

    def drag(self, points):
        """Presses at the first point, moves through the others and lets go at the last."""
        (x, y), rest = points[0], points[1:]
        self.mouse("mouseMoved", x, y, button="none")
        self.mouse("mousePressed", x, y, buttons=1)
        for x, y in rest:
            self.mouse("mouseMoved", x, y, buttons=1)
        self.mouse("mouseReleased", x, y)

    def touch(self, kind, points):
        self.send("Input.dispatchTouchEvent", type=kind,
                  touchPoints=[{"x": x, "y": y} for x, y in points])

    def enable_touch(self):
        self.send("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=1)

    def key(self, name, modifiers=0, code=None):
        """A key pressed and let go. `modifiers` adds Alt (1), Ctrl (2), Meta (4) or Shift (8);
        `code`, the key's place, for a key typed elsewhere on another layout."""
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

    # Pixels.

    def pixels_script(self, points, selector="#stage"):
        """An expression for the canvas's [red, green, blue] at each [x, y] of its device
        pixels."""
        return """(() => {
            const source = document.querySelector(%s);
            const copy = new OffscreenCanvas(source.width, source.height);
            const context = copy.getContext('2d');
            context.drawImage(source, 0, 0);
            const data = context.getImageData(0, 0, source.width, source.height).data;
            return %s.map(([x, y]) => [...data.subarray((y * source.width + x) * 4,
                                                       (y * source.width + x) * 4 + 3)]);
        })()""" % (json.dumps(selector), json.dumps(points))

    def pixels(self, points, selector="#stage"):
        """The canvas's (red, green, blue) at each [x, y] of its device pixels."""
        return [tuple(p) for p in self.evaluate(self.pixels_script(points, selector))]

    def canvas_png(self, selector="#stage"):
        """The canvas as a PNG file's bytes."""
        data = self.evaluate("document.querySelector(%s).toDataURL('image/png')"
                             % json.dumps(selector))
        return base64.b64decode(data.split(",", 1)[1])

    def compare_canvas(self, png_bytes, masks, close, selector="#stage"):
        """Compares the canvas's pixels with a PNG's, decoded by the browser with no colour
        conversion, in the page, pixel by pixel (red, green and blue). `masks` are rectangles
        [left, top, right, bottom) where pixels may differ. Returns the counts: pixels, identical,
        close (no channel off by more than `close`), outside (differing outside every mask),
        the first pixel differing outside ([x, y, ours, theirs]), the largest difference and
        both sizes."""
        self.files["expected.png"] = png_bytes
        script = """(async () => {
            const response = await fetch(%s);
            const bitmap = await createImageBitmap(await response.blob(),
                {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
            const read = (source, w, h) => {
                const copy = new OffscreenCanvas(w, h);
                const context = copy.getContext('2d');
                context.drawImage(source, 0, 0);
                return context.getImageData(0, 0, w, h).data;
            };
            const canvas = document.querySelector(%s);
            const w = canvas.width, h = canvas.height, masks = %s, close = %d;
            const result = {pixels: w * h, identical: 0, close: 0, outside: 0, first: null,
                            largest: 0, size: [w, h], expectedSize: [bitmap.width, bitmap.height]};
            if (w !== bitmap.width || h !== bitmap.height) return result;
            const ours = read(canvas, w, h), theirs = read(bitmap, w, h);
            for (let y = 0, i = 0; y < h; ++y) {
                for (let x = 0; x < w; ++x, i += 4) {
                    const d = Math.max(Math.abs(ours[i] - theirs[i]),
                                       Math.abs(ours[i + 1] - theirs[i + 1]),
                                       Math.abs(ours[i + 2] - theirs[i + 2]));
                    if (d === 0) { ++result.identical; ++result.close; continue; }
                    if (d <= close) ++result.close;
                    if (d > result.largest) result.largest = d;
                    if (!masks.some(m => x >= m[0] && y >= m[1] && x < m[2] && y < m[3])) {
                        if (!result.outside)
                            result.first = [x, y, [...ours.subarray(i, i + 3)],
                                            [...theirs.subarray(i, i + 3)]];
                        ++result.outside;
                    }
                }
            }
            return result;
        })()""" % (json.dumps(TEST_PATH + "expected.png"), json.dumps(selector),
                   json.dumps(masks), close)
        return self.evaluate(script, await_promise=True)
