"""Drives the page in a browser engine that Debian packages: Chromium (its DevTools protocol),
Firefox ESR (WebDriver BiDi) or WebKitGTK (WebKitWebDriver through Selenium).

`launch(engine, folder, width, height)` serves a folder on a free loopback port and starts the
engine with a new empty profile; every engine answers the same small interface, `Browser`'s: load
the page at a size and device pixel ratio, evaluate JavaScript, send real input (mouse, keys,
touch), read the canvas's pixels, take a screenshot, and keep what the page writes on its console
and the addresses it asks for. Everything it starts is ended when it is closed, also when the test
fails or is stopped by a signal.

The engine is named by QUILLET3_WEB_ENGINE (chromium unless set); tests/web/run.py sets it.
"""

import base64
import ctypes
import http.server
import importlib
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

ENGINES = ("chromium", "firefox", "webkit")
ENGINE_VARIABLE = "QUILLET3_WEB_ENGINE"

# Where the server hands out the tests' own files (pictures to compare with).
TEST_PATH = "/__test/"

# The keys the tests press, as WebDriver names them (the engines driven by WebDriver).
WEBDRIVER_KEYS = {
    " ": " ",
    "Enter": "\ue007",
    "Home": "\ue011",
    "End": "\ue010",
    "ArrowLeft": "\ue012",
    "ArrowUp": "\ue013",
    "ArrowRight": "\ue014",
    "ArrowDown": "\ue015",
}
for _plain in ",.[]0123456789lqfh?":
    WEBDRIVER_KEYS[_plain] = _plain
WEBDRIVER_KEYS["Tab"] = "\ue004"
# Alt, Ctrl, Meta and Shift as WebDriver names them, by the bits of Browser.key's modifiers.
WEBDRIVER_MODIFIERS = ((1, "\ue00a"), (2, "\ue009"), (4, "\ue03d"), (8, "\ue008"))


def webdriver_key_actions(name, modifiers):
    """The key actions of a key pressed with its modifiers held, as WebDriver takes them."""
    held = [value for bit, value in WEBDRIVER_MODIFIERS if modifiers & bit]
    value = WEBDRIVER_KEYS[name]
    return ([{"type": "keyDown", "value": v} for v in held]
            + [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]
            + [{"type": "keyUp", "value": v} for v in reversed(held)])
WEBDRIVER_KEYS["Escape"] = "\ue00c"

# Kept by the page for the engines whose driver does not report the console: what it writes as an
# error or a warning, failed assertions, uncaught exceptions, rejections no one handles and
# resources that failed to load. Served as the first script of the page's head.
CONSOLE_KEEPER = """<script>(() => {
  const kept = window.__q3Console = [];
  const say = (level, args) => kept.push([level, args.map(String).join(' ')]);
  for (const [name, level] of [['error', 'error'], ['warn', 'warning']]) {
    const original = console[name];
    console[name] = function (...args) { say(level, args); return original.apply(this, args); };
  }
  const assert = console.assert;
  console.assert = function (condition, ...args) {
    if (!condition) say('assert', args);
    return assert.call(this, condition, ...args);
  };
  addEventListener('error', (e) => say('exception', e.target === window
    ? [e.message] : ['failed to load', e.target.src || e.target.href]), true);
  addEventListener('unhandledrejection', (e) => say('exception', ['unhandled', e.reason]));
})();</script>"""


def engine_name(name=None):
    """The engine to use: the one named, else QUILLET3_WEB_ENGINE's, else chromium."""
    name = name or os.environ.get(ENGINE_VARIABLE) or "chromium"
    if name not in ENGINES:
        raise ValueError("no engine %r; the engines are %s" % (name, ", ".join(ENGINES)))
    return name


def _engine_module(name):
    return importlib.import_module("engine_" + engine_name(name))


def missing(name=None):
    """Why the engine cannot run on this machine (a package that is not installed), or None."""
    return _engine_module(name).missing()


def launch(name=None, folder=".", width=800, height=600, timeout=60):
    """A started engine with one page over the served folder, its viewport at this size."""
    return _engine_module(name).Engine(folder, width, height, timeout)


class PageError(AssertionError):
    """A script that threw, or a condition that did not come true in time."""


class Unsupported(unittest.SkipTest):
    """Something this engine's driver cannot do; the test, or its case, is skipped."""


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def end_headers(self):
        # Every load reads the files as they are now.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


_QuietHandler.extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
_QuietHandler.extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript"})


def die_with_parent():
    """In the child before exec: a new process group, and SIGKILL when the test dies."""
    os.setsid()
    try:
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


def end_group(process, marker=None):
    """Ends a process started with `die_with_parent` and every process of its group; then, with
    a marker (a profile's folder), every process whose command line names it, which left the
    group."""
    group = process.pid
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(group, sig)
        except ProcessLookupError:
            break
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            continue
        try:  # the leader is gone; end what is left of its group
            os.killpg(group, signal.SIGKILL)
        except ProcessLookupError:
            pass
        break
    for pid in processes_naming(marker) if marker else []:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def end_socket_and_process(engine):
    """Closes an engine's protocol socket and ends its browser with every process of its group
    and those that left it (the crash reporter, known by the profile in its command line)."""
    if getattr(engine, "_socket", None) is not None:
        try:
            engine._socket.close()
        except Exception:
            pass
        engine._socket = None
    if getattr(engine, "_process", None) is not None:
        end_group(engine._process, engine._profile)
        engine._process = None


def processes_naming(text):
    """The processes whose command line holds this text."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if text.encode() in f.read():
                        found.append(int(entry))
            except OSError:
                continue
    return found


def wait_until(condition, what, timeout, process=None, log=lambda: ""):
    """Polls until condition() returns something truthy and returns it; fails when the process
    ends first or at the deadline, with the end of its log."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if process is not None and process.poll() is not None:
            raise RuntimeError("ended with %s before %s:\n%s" % (process.returncode, what, log()))
        if time.monotonic() > deadline:
            raise RuntimeError("not within %d s: %s\n%s" % (timeout, what, log()))
        time.sleep(0.05)


def tail(path, size=4000):
    try:
        with open(path, "rb") as f:
            return f.read()[-size:].decode("utf-8", "replace")
    except OSError:
        return ""


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
    """One engine with one page, and a server for one folder. An engine implements the methods
    that raise NotImplementedError; the rest is written once over them."""

    name = None
    keeps_console_in_page = False  # its driver reports no console: the page keeps it

    def __init__(self, folder, width=800, height=600, timeout=60):
        self.folder = os.path.abspath(folder)
        self.timeout = timeout
        self.left_out = set()  # paths the server answers 404 for, as if the file were missing
        self.headers = {}  # more headers the server sends with every answer
        self.console = []  # (level, text) of every console message, exception and log entry
        self._requests = []  # every URL the page asked for, where the driver reports them
        self._server = None
        self._profile = tempfile.mkdtemp(prefix="q3-%s-" % self.name)
        try:
            self._serve(0)
            self._start(width, height)
            self.set_size(width, height)
        except BaseException:
            self.close()
            raise

    # Starting and ending.

    def _serve(self, port):
        folder = self.folder
        browser = self
        files = self.files = {}  # served at /__test/NAME: the tests' own files, not the page's
        keeper = CONSOLE_KEEPER.encode() if self.keeps_console_in_page else None

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
                page = self.path.split("?", 1)[0] in ("/", "/index.html")
                if keeper and page:
                    with open(os.path.join(folder, "index.html"), "rb") as f:
                        return self.send_body(f.read().replace(b"<head>", b"<head>" + keeper, 1),
                                              "text/html; charset=utf-8")
                if not self.path.startswith(TEST_PATH):
                    return super().do_GET()
                body = files.get(self.path[len(TEST_PATH):])
                if body is None:
                    return self.send_error(404)
                self.send_body(body, self.guess_type(self.path))

            def send_body(self, body, kind=None):
                self.send_response(200)
                if kind:
                    self.send_header("Content-Type", kind)
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
        raise NotImplementedError

    def _stop(self):
        raise NotImplementedError

    def close(self):
        try:
            self._stop()
        finally:
            if self._server is not None:
                self._server.shutdown()
                self._server.server_close()
                self._server = None
            shutil.rmtree(self._profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # Pages.

    def url(self, query=""):
        return self.origin + "/index.html" + ("?" + query if query else "")

    def open(self, query="", wait_ready=True, width=None, height=None, scale=1, url=None):
        """Loads the page with a query (or another address) and waits for its load event and,
        unless told not to, for quillet3.ready. The size, when given, is set first."""
        if width:
            self.set_size(width, height, scale)
        self.console.clear()
        self._requests.clear()
        self._navigate(url or self.url(query))
        if wait_ready:
            self.ready()

    def settled(self, expression="quillet3.ready"):
        """'fulfilled', 'rejected' or, after half the timeout, 'pending': how a promise ended."""
        return self.evaluate(
            "Promise.race([(%s).then(() => 'fulfilled', () => 'rejected'),"
            " new Promise(done => setTimeout(() => done('pending'), %d))])"
            % (expression, self.timeout * 1000 // 2), await_promise=True)

    def note_wasm_memory(self):
        """From the next page on, keeps its WebAssembly memory; returns what forget() takes."""
        return self.on_new_document(NOTE_WASM_MEMORY)

    def wasm_memory_bytes(self):
        """The page's WebAssembly memory's size now, which is its peak: it never shrinks."""
        return self.evaluate("window.__q3WasmMemory.buffer.byteLength")

    def script_enabled(self, on):
        """Turns the page's script off, as a browser set so would, or on again."""
        raise Unsupported("%s cannot turn a page's script off here" % self.name)

    def on_new_document(self, source):
        """Runs a script in every document before its own; returns what forget() takes."""
        raise Unsupported("%s runs no script before a document's own here" % self.name)

    def forget(self, identifier):
        raise Unsupported("%s runs no script before a document's own here" % self.name)

    def _navigate(self, url):
        """Loads the address and returns once its load event has fired."""
        raise NotImplementedError

    def set_size(self, width, height, scale=1):
        """The page's viewport in CSS pixels and its devicePixelRatio."""
        raise NotImplementedError

    def evaluate(self, expression, await_promise=False):
        """The value of a JavaScript expression in the page, as JSON gives it; raises PageError
        if it threw (or, awaited, if its promise was rejected)."""
        raise NotImplementedError

    def screenshot(self):
        """What the viewport shows, as a PNG file's bytes."""
        raise NotImplementedError

    @property
    def requests(self):
        """Every address the page asked for since it was loaded."""
        return self._requests

    def console_errors(self):
        """The console's errors, exceptions and warnings, as text."""
        if self.keeps_console_in_page:
            kept = self.evaluate("window.__q3Console ? window.__q3Console.splice(0) : []")
            self.console.extend(tuple(entry) for entry in kept)
        else:
            self.evaluate("0")  # reads what has arrived
        return ["%s: %s" % e for e in self.console
                if e[0] in ("error", "exception", "assert", "warning")]

    def ready(self):
        self.wait_for("typeof window.quillet3 === 'object' && window.quillet3 !== null",
                      "window.quillet3 exists")
        settled = self.evaluate(
            "Promise.race([quillet3.ready.then(() => 'ready', e => 'rejected: ' + e),"
            " new Promise(done => setTimeout(() => done('pending'), %d))])"
            % (self.timeout * 1000 // 2), await_promise=True)
        if settled != "ready":
            raise PageError("quillet3.ready is %s after %d s" % (settled, self.timeout // 2))

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

    def next_frames(self, count=2):
        """Waits until the page has drawn this many more animation frames."""
        self.evaluate("new Promise(done => { let n = %d; const step = () => --n ? "
                      "requestAnimationFrame(step) : done(true); requestAnimationFrame(step); })"
                      % count, await_promise=True)

    # Input, in CSS pixels of the viewport.

    def click(self, x, y):
        raise NotImplementedError

    def hover(self, x, y):
        """Moves the mouse there with no button held."""
        raise NotImplementedError

    def drag(self, points):
        """Presses at the first point, moves through the others and lets go at the last."""
        raise NotImplementedError

    def tap(self, x, y):
        """A finger touches the point and lifts."""
        raise NotImplementedError

    def devtools(self, method, **params):
        """A command of Chromium's DevTools protocol, for what only it can do."""
        raise Unsupported("%s takes no DevTools command (%s)" % (self.name, method))

    def mouse(self, kind, x, y, button="left", buttons=0):
        """One mouse event as DevTools sends it: a press, a move or a release on its own."""
        raise Unsupported("%s sends no single mouse event here" % self.name)

    def key(self, name, modifiers=0, code=None):
        """Presses and releases a key, named as the DOM's KeyboardEvent.key names it. `modifiers`
        adds Alt (1), Ctrl (2), Meta (4) or Shift (8); `code`, the key's place, for a key typed
        elsewhere on another layout."""
        raise NotImplementedError

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


def as_json_script(expression, await_promise):
    """A function body (for the WebDriver engines) that gives the expression's value as JSON
    text, or throws what it threw; awaited, a rejection is thrown as an Error."""
    value = "await (%s)" % expression if await_promise else "(%s)" % expression
    return ("const value = %s;\nreturn value === undefined ? 'null' : JSON.stringify(value);"
            % value)
