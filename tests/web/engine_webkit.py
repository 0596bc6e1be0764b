"""WebKitGTK's MiniBrowser, driven by WebKitWebDriver through Selenium (python3-selenium), on an
X server of its own (Xvfb). The driver reports neither the console nor the requests, so the page
keeps its console (`CONSOLE_KEEPER`) and the requests are read from its resource timing. GTK sets
the device pixel ratio only when the browser starts (GDK_SCALE): a page opened at another ratio
starts the browser again, and a page already open keeps its own."""

import json
import os
import shutil
import socket
import subprocess
import time

try:
    from selenium import webdriver  # python3-selenium
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions import interaction
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.actions.pointer_input import PointerInput
except ImportError:
    webdriver = None

from browser import (Browser, PageError, Unsupported, as_json_script, die_with_parent,
                     end_group, tail, wait_until, webdriver_key_actions)

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"  # libwebkit2gtk-4.1-0
SCREEN = "2600x2000x24"  # room for the largest viewport at twice its size, and the window's frame

def missing():
    for what, found in (("webkit2gtk-driver", shutil.which("WebKitWebDriver")),
                        ("libwebkit2gtk-4.1-0's MiniBrowser", os.access(MINIBROWSER, os.X_OK)),
                        ("xvfb", shutil.which("Xvfb"))):
        if not found:
            return what + " is not installed"
    return None if webdriver else "python3-selenium is not installed"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Engine(Browser):
    """One MiniBrowser window on its own Xvfb display, over one WebDriver session."""

    name = "webkit"
    keeps_console_in_page = True

    def _start(self, width, height):
        self._xvfb = self._service = self._driver = None
        self._scale = 1
        self._size = None
        problem = missing()
        if problem:
            raise RuntimeError(problem + " (scripts/install-deps installs it)")
        self._start_display()
        self._start_session()

    def _start_display(self):
        """Xvfb on the first free display, which it names on a pipe."""
        reading, writing = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(writing), "-screen", "0", SCREEN, "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(writing,), preexec_fn=die_with_parent)
            os.close(writing)
            writing = None
            with os.fdopen(reading) as f:
                reading = None
                number = f.readline().strip()
        finally:
            for fd in (reading, writing):
                if fd is not None:
                    os.close(fd)
        if not number.isdigit():
            raise RuntimeError("Xvfb named no display")
        self._display = ":" + number

    def _start_session(self):
        self._log_path = os.path.join(self._profile, "webkit.log")
        env = dict(os.environ, DISPLAY=self._display, GDK_SCALE=str(self._scale),
                   GDK_BACKEND="x11", XDG_CONFIG_HOME=self._profile, XDG_CACHE_HOME=self._profile,
                   XDG_DATA_HOME=self._profile,
                   # No GPU: drawn in software.
                   WEBKIT_DISABLE_COMPOSITING_MODE="1", WEBKIT_DISABLE_DMABUF_RENDERER="1")
        env.pop("WAYLAND_DISPLAY", None)
        for attempt in range(3):  # a port found free may be taken before the driver binds it
            port = free_port()
            with open(self._log_path, "ab") as log:
                self._service = subprocess.Popen(["WebKitWebDriver", "--port=%d" % port],
                                                 stdin=subprocess.DEVNULL, stdout=log,
                                                 stderr=subprocess.STDOUT,
                                                 preexec_fn=die_with_parent, env=env)

            def listening():
                with socket.socket() as s:
                    return s.connect_ex(("127.0.0.1", port)) == 0
            try:
                wait_until(listening, "WebKitWebDriver listened", self.timeout, self._service,
                           lambda: tail(self._log_path))
                break
            except RuntimeError:
                end_group(self._service)
                self._service = None
                if attempt == 2:
                    raise
        options = webdriver.WebKitGTKOptions()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")  # else the driver finds no browser to match
        for legacy in ("platform", "version"):  # which the driver would not match
            options._caps.pop(legacy, None)
        options.set_capability("platformName", "linux")
        self._driver = webdriver.Remote(command_executor="http://127.0.0.1:%d" % port,
                                        options=options)
        self._driver.set_script_timeout(self.timeout)
        self._driver.set_page_load_timeout(self.timeout)
        self._size = None

    def _stop_session(self):
        if getattr(self, "_driver", None) is not None:
            try:
                self._driver.quit()
            except Exception:
                pass
            self._driver = None
        if getattr(self, "_service", None) is not None:
            end_group(self._service, self._profile)  # MiniBrowser is in the driver's group
            self._service = None

    def _stop(self):
        self._stop_session()
        if getattr(self, "_xvfb", None) is not None:
            end_group(self._xvfb)
            self._xvfb = None

    # The interface.

    def open(self, query="", wait_ready=True, width=None, height=None, scale=1, url=None):
        if width and scale != self._scale:
            if scale != int(scale):
                raise Unsupported("WebKitGTK takes only a whole device pixel ratio (GDK_SCALE)")
            self._stop_session()
            self._scale = int(scale)
            self._start_session()
        super().open(query, wait_ready, width, height, scale, url)

    def _navigate(self, url):
        self._driver.get(url)  # returns once the page has loaded

    @property
    def requests(self):
        return self.evaluate("[...performance.getEntriesByType('navigation'),"
                             " ...performance.getEntriesByType('resource')].map(e => e.name)")

    def set_size(self, width, height, scale=1):
        if scale != self._scale:
            raise Unsupported("WebKitGTK sets its device pixel ratio only when it starts, and a"
                              " page open at %s stays at it" % self._scale)
        if self._size == (width, height):
            return
        # The window's size with its frame: the viewport's and what it measures beyond it.
        window_w, window_h = width, height
        inner = None
        for _ in range(4):
            self._driver.set_window_rect(x=0, y=0, width=window_w, height=window_h)
            last, inner = inner, wait_until(self._settled_viewport, "the window took its size",
                                            self.timeout)
            if inner == [width, height]:
                self._size = (width, height)
                return
            if inner == last:
                self._size = None
                raise Unsupported("MiniBrowser's window keeps a viewport of %s for %dx%d (its"
                                  " toolbar's least width)" % (inner, width, height))
            window_w += width - inner[0]
            window_h += height - inner[1]
        raise PageError("the viewport is %s, not %dx%d" % (inner, width, height))

    def _settled_viewport(self):
        first = self._driver.execute_script("return [innerWidth, innerHeight]")
        time.sleep(0.1)
        second = self._driver.execute_script("return [innerWidth, innerHeight]")
        return first == second and second

    def evaluate(self, expression, await_promise=False):
        script = ("const done = arguments[arguments.length - 1];\n"
                  "(async () => {\n%s\n})().then(v => done(['ok', v]),"
                  " e => done(['threw', String(e)]));"
                  % as_json_script(expression, await_promise))
        try:
            outcome, value = self._driver.execute_async_script(script)
        except WebDriverException as e:
            raise PageError("%s failed: %s" % (expression[:200], e.msg)) from None
        if outcome != "ok":
            raise PageError("%s threw: %s" % (expression[:200], value))
        return json.loads(value)

    def screenshot(self):
        # WebKitWebDriver's screenshot waits for a frame that MiniBrowser on Xvfb, with no GPU,
        # mostly never draws.
        raise Unsupported("WebKitGTK's driver takes no screenshot here; canvas_png() reads the"
                          " canvas")

    def _pointer(self):
        device = PointerInput(interaction.POINTER_MOUSE, "mouse")
        builder = ActionBuilder(self._driver, mouse=device, duration=0)
        return builder, builder.pointer_action

    def hover(self, x, y):
        builder, pointer = self._pointer()
        pointer.move_to_location(round(x), round(y))
        builder.perform()

    def click(self, x, y):
        builder, pointer = self._pointer()
        pointer.move_to_location(round(x), round(y)).pointer_down().pointer_up()
        builder.perform()

    def drag(self, points):
        builder, pointer = self._pointer()
        pointer.move_to_location(*map(round, points[0])).pointer_down()
        for x, y in points[1:]:
            pointer.move_to_location(round(x), round(y))
        pointer.pointer_up()
        builder.perform()

    def tap(self, x, y):
        raise Unsupported("WebKitGTK's driver sends a touch pointer's actions as mouse events")

    def key(self, name, modifiers=0, code=None):
        # WebDriver types a key by its character; its place on another layout cannot be given.
        chain = ActionChains(self._driver, duration=0)
        for action in webdriver_key_actions(name, modifiers):
            if action["type"] == "keyDown":
                chain = chain.key_down(action["value"])
            else:
                chain = chain.key_up(action["value"])
        chain.perform()
