"""Debian's Firefox ESR, headless, driven through WebDriver BiDi on its own remote debugging port
(python3-websocket; no other driver)."""

import base64
import json
import os
import re
import shutil
import subprocess

import websocket  # python3-websocket

from browser import (Browser, PageError, as_json_script, die_with_parent,
                     end_socket_and_process, tail, wait_until, webdriver_key_actions)

# The profile's settings: nothing reached over the network but the test's own server, no first-run
# pages, and the canvas read back as it was drawn.
PREFERENCES = {
    "app.update.disabledForTesting": True,
    "app.normandy.enabled": False,
    "browser.aboutwelcome.enabled": False,
    "browser.cache.disk.enable": False,  # every load asks the server, as the tests count requests
    "browser.cache.memory.enable": False,
    "browser.newtabpage.enabled": False,
    "browser.region.network.url": "",
    "browser.safebrowsing.downloads.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "browser.safebrowsing.provider.google4.updateURL": "",
    "browser.safebrowsing.provider.mozilla.updateURL": "",
    "browser.search.geoip.url": "",
    "browser.search.update": False,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage": "about:blank",
    "browser.startup.page": 0,
    "browser.topsites.contile.enabled": False,
    "captivedetect.canonicalURL": "",
    "datareporting.healthreport.uploadEnabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "extensions.blocklist.enabled": False,
    "extensions.getAddons.cache.enabled": False,
    "extensions.update.enabled": False,
    "geo.provider.network.url": "",
    "gfx.downloadable_fonts.disable_cache": True,
    "media.gmp-manager.url": "",
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "network.dns.disablePrefetch": True,
    "network.http.speculative-parallel-limit": 0,
    "network.prefetch-next": False,
    "network.proxy.type": 0,
    "privacy.fingerprintingProtection": False,
    "privacy.resistFingerprinting": False,
    "remote.active-protocols": 1,  # WebDriver BiDi alone
    "services.settings.server": "http://127.0.0.1:1/",
    "toolkit.telemetry.enabled": False,
    "toolkit.telemetry.server": "",
    "toolkit.telemetry.reportingpolicy.firstRun": False,
}

LEVELS = {"warn": "warning", "error": "error", "info": "info", "debug": "debug"}


def find_firefox():
    return shutil.which("firefox-esr") or shutil.which("firefox")


def missing():
    return None if find_firefox() else "firefox-esr is not installed"


class Engine(Browser):
    """One headless Firefox with one tab, over one BiDi session."""

    name = "firefox"

    def _start(self, width, height):
        self._next_id = 0
        self._socket = None
        firefox = find_firefox()
        if not firefox:
            raise RuntimeError("firefox-esr is not installed (scripts/install-deps installs it)")
        with open(os.path.join(self._profile, "user.js"), "w") as f:
            for name, value in PREFERENCES.items():
                f.write("user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value)))
        self._log_path = os.path.join(self._profile, "firefox.log")
        command = [firefox, "--headless", "--no-remote", "--profile", self._profile,
                   "--remote-debugging-port", "0", "--window-size", "%d,%d" % (width, height),
                   "about:blank"]
        env = dict(os.environ, XDG_CONFIG_HOME=self._profile, XDG_CACHE_HOME=self._profile,
                   MOZ_CRASHREPORTER_DISABLE="1")
        with open(self._log_path, "wb") as log:
            self._process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                             stderr=subprocess.STDOUT,
                                             preexec_fn=die_with_parent, env=env)

        def address():
            found = re.search(r"WebDriver BiDi listening on (ws://\S+)", tail(self._log_path))
            return found and found.group(1)
        url = wait_until(address, "firefox listened", self.timeout, self._process,
                         lambda: tail(self._log_path))
        # Firefox answers 400 to a handshake with an Origin.
        self._socket = websocket.create_connection(url.rstrip("/") + "/session",
                                                   timeout=self.timeout, suppress_origin=True,
                                                   skip_utf8_validation=True,
                                                   http_no_proxy=["127.0.0.1"])
        self.send("session.new", capabilities={})
        self._context = self.send("browsingContext.getTree")["contexts"][0]["context"]
        self.send("session.subscribe", events=["log.entryAdded", "network.beforeRequestSent"])

    def _stop(self):
        end_socket_and_process(self)

    # The protocol.

    def send(self, method, **params):
        """Sends one command and returns its result; events that come first are noted."""
        self._next_id += 1
        ident = self._next_id
        self._socket.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = json.loads(self._socket.recv())
            if message.get("type") == "event":
                self._note(message["method"], message["params"])
            elif message.get("id") == ident:
                if message.get("type") == "error":
                    raise PageError("%s: %s: %s" % (method, message.get("error"),
                                                    message.get("message")))
                return message.get("result", {})

    def _note(self, method, params):
        if method == "log.entryAdded":
            level = LEVELS.get(params.get("level"), params.get("level"))
            if params.get("type") == "javascript" and level == "error":
                level = "exception"
            self.console.append((level, params.get("text") or ""))
        elif method == "network.beforeRequestSent":
            self._requests.append(params["request"]["url"])

    # The interface.

    def _navigate(self, url):
        self.send("browsingContext.navigate", context=self._context, url=url, wait="complete")

    def set_size(self, width, height, scale=1):
        self.send("browsingContext.setViewport", context=self._context,
                  viewport={"width": width, "height": height}, devicePixelRatio=scale)

    def evaluate(self, expression, await_promise=False):
        result = self.send("script.callFunction",
                           functionDeclaration="async () => {\n%s\n}"
                           % as_json_script(expression, await_promise),
                           awaitPromise=True, target={"context": self._context},
                           resultOwnership="none")
        if result.get("type") == "exception":
            details = result["exceptionDetails"]
            raise PageError("%s threw: %s" % (expression[:200], details.get("text")))
        return json.loads(result["result"]["value"])

    def screenshot(self):
        return base64.b64decode(self.send("browsingContext.captureScreenshot",
                                          context=self._context)["data"])

    def _act(self, *sources):
        self.send("input.performActions", context=self._context, actions=list(sources))

    @staticmethod
    def _pointer(kind, steps):
        return {"type": "pointer", "id": kind, "parameters": {"pointerType": kind},
                "actions": steps}

    @staticmethod
    def _move(x, y):
        return {"type": "pointerMove", "x": round(x), "y": round(y)}

    def hover(self, x, y):
        self._act(self._pointer("mouse", [self._move(x, y)]))

    def click(self, x, y):
        self._act(self._pointer("mouse", [self._move(x, y), {"type": "pointerDown", "button": 0},
                                          {"type": "pointerUp", "button": 0}]))

    def drag(self, points):
        steps = [self._move(*points[0]), {"type": "pointerDown", "button": 0}]
        steps += [self._move(x, y) for x, y in points[1:]]
        self._act(self._pointer("mouse", steps + [{"type": "pointerUp", "button": 0}]))

    def tap(self, x, y):
        self._act(self._pointer("touch", [self._move(x, y), {"type": "pointerDown", "button": 0},
                                          {"type": "pointerUp", "button": 0}]))

    def key(self, name, modifiers=0, code=None):
        # WebDriver types a key by its character; its place on another layout cannot be given.
        self._act({"type": "key", "id": "keyboard",
                   "actions": webdriver_key_actions(name, modifiers)})
