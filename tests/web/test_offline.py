"""The page keeps its files for a visit without a network, and a phone can install it: once a
visit has played the show, the next one plays it with the server gone, from the files of the
latest build; the manifest names the page and its icons."""

import json
import os
import shutil
import subprocess
import tempfile
import time

import browser
from browser import PageError
from support import ENGINE, SOURCE, WEB_DIR, PageTest

STRICT = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'"
STILL = "seed=1&at=7000"
# The page's own style sheet changed by a new build: a property the tests read back.
MARK = "\n#stage { --build: 2; }\n"
BUILD = "getComputedStyle(document.getElementById('stage')).getPropertyValue('--build').trim()"


class Offline(PageTest):
    @classmethod
    def setUpClass(cls):
        # A copy of the page to build again, served under the strict policy.
        cls.folder = tempfile.mkdtemp(prefix="q3-page-")
        shutil.copytree(WEB_DIR, cls.folder, dirs_exist_ok=True)
        cls.browser = browser.launch(ENGINE, cls.folder, cls.width, cls.height, cls.timeout)
        cls.browser.headers["Content-Security-Policy"] = STRICT

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def kept_versions(self):
        """The names of the caches the page's worker keeps, once it is working."""
        return self.browser.evaluate(
            "navigator.serviceWorker.getRegistration()"
            ".then(r => r && r.active ? caches.keys() : null)",
            await_promise=True)

    def wait_for_kept(self, count=1):
        deadline = time.monotonic() + self.browser.timeout
        while True:
            versions = self.kept_versions()
            if versions and len(versions) == count:
                return versions
            if time.monotonic() > deadline:
                raise PageError("the worker keeps %r" % versions)
            time.sleep(0.05)

    def test_a_second_visit_plays_without_the_server(self):
        self.browser.open(STILL)
        online = self.browser.canvas_png()
        self.wait_for_kept()
        self.browser.serving(False)
        try:
            self.browser.open(STILL)  # fails unless ready resolves
            self.assertEqual(self.browser.canvas_png(), online)
            self.assertTrue(self.browser.evaluate("navigator.serviceWorker.controller !== null"))
        finally:
            self.browser.serving(True)

    def test_a_new_build_replaces_the_files_kept(self):
        self.browser.open(STILL)
        first = self.wait_for_kept()
        # The next build: another style sheet, and the worker written for it as build-web does.
        with open(os.path.join(self.folder, "page.css"), "a", encoding="utf-8") as f:
            f.write(MARK)
        shutil.copy(os.path.join(SOURCE, "web/service-worker.js"), self.folder)
        subprocess.run([os.path.join(SOURCE, "scripts/stamp-worker"), self.folder], check=True)
        self.browser.open(STILL)
        self.assertEqual(self.browser.evaluate(BUILD), "2")
        self.browser.evaluate("navigator.serviceWorker.getRegistration().then(r => r.update())",
                              await_promise=True)
        deadline = time.monotonic() + self.browser.timeout
        while self.kept_versions() == first or len(self.kept_versions() or []) != 1:
            if time.monotonic() > deadline:
                raise PageError("the new build's files are not kept: %r" % self.kept_versions())
            time.sleep(0.05)
        self.browser.serving(False)
        try:
            self.browser.open(STILL)
            self.assertEqual(self.browser.evaluate(BUILD), "2")
        finally:
            self.browser.serving(True)

    def test_the_manifest_names_the_page_and_its_icons(self):
        self.browser.open("seed=1")
        manifest = self.browser.devtools("Page.getAppManifest")
        self.assertEqual(manifest["errors"], [])
        data = json.loads(manifest["data"])
        self.assertEqual(data["name"], "Quillet 3")
        icons = {icon["sizes"]: icon["src"] for icon in data["icons"]}
        self.assertEqual(sorted(icons), ["192x192", "512x512"])
        for sizes, src in icons.items():
            with self.subTest(icon=src):
                # As the browser reads it from the server: a PNG of the size the manifest says.
                self.assertEqual(self.browser.evaluate(
                    "fetch(%s).then(r => r.ok && r.headers.get('Content-Type') === 'image/png' ?"
                    " r.blob().then(createImageBitmap).then(b => b.width + 'x' + b.height) :"
                    " r.status)"
                    % json.dumps(src), await_promise=True), sizes)
        self.assertEqual(self.browser.devtools("Page.getInstallabilityErrors")
                         ["installabilityErrors"], [])
        self.assertEqual(self.browser.console_errors(), [])
