"""Whatever keeps the show from loading says so in one line on the page, where the viewer reads
it, with what to do: a file the server does not have, a page opened from a file, a site's policy
that forbids WebAssembly, a browser without WebAssembly or with no script at all. A site's strict
policy that allows the page's own files lets it play."""

import os
import re

from support import WEB_DIR, PageTest, unreadable

FOLDER = "copy the whole folder that make web builds to the site"
SERVE = "serve the folder over HTTP, e.g. python3 -m http.server -d build/web"
STRICT = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'"


def first_font():
    """The first font file fonts.css declares, as the server knows it."""
    with open(os.path.join(WEB_DIR, "fonts", "fonts.css"), encoding="utf-8") as f:
        return "fonts/" + re.search(r'url\("([^"]+)"\)', f.read()).group(1)


def missing(path):
    return "quillet3: error: %s could not be loaded (HTTP 404 Not Found): %s" % (path, FOLDER)


class LoadErrors(PageTest):
    def tearDown(self):
        self.browser.left_out.clear()
        self.browser.headers.clear()

    def failed_with(self, line, url=None):
        """Loads the page, which must fail with this line (a pattern), and shows it readably."""
        self.browser.open(url=url, wait_ready=False)
        shown = self.browser.wait_for(
            "(e => e && e.textContent)(document.getElementById('error'))", "the error line",
            timeout=20)
        self.assertRegex(shown, "^" + line + "$")
        self.assertEqual(unreadable(self.browser, "#error"), [])
        self.assertEqual(self.browser.evaluate(
            "[document.querySelectorAll('#error').length, quillet3.currentTime,"
            " quillet3.paused]"), [1, 0, True])
        self.assertEqual(self.browser.settled(), "rejected")

    def test_each_missing_file_is_named(self):
        for path in ("quillet3.wasm", "quillet3.js", "imgDuck2.gif", first_font(),
                     "fonts/fonts.css"):
            with self.subTest(path=path):
                self.browser.left_out = {path}
                self.failed_with(re.escape(missing(path)))

    def test_a_page_opened_from_a_file_plays_or_says_to_serve_it(self):
        # An engine that lets a page opened from a file fetch the files beside it plays the show;
        # one that does not says in one line how to serve the folder.
        url = "file://" + os.path.abspath(WEB_DIR) + "/index.html"
        self.browser.open(url=url, wait_ready=False)
        if self.browser.settled() == "fulfilled":
            self.assertEqual(self.browser.evaluate("document.getElementById('error')"), None)
            return
        self.failed_with(r"quillet3: error: \S+ could not be loaded \(a page opened from a file "
                         r"may not fetch its files\): " + re.escape(SERVE), url=url)

    def test_a_policy_that_forbids_webassembly(self):
        self.browser.headers["Content-Security-Policy"] = "default-src 'self'"
        self.failed_with(re.escape(
            "quillet3: error: quillet3.wasm could not be started (the site's "
            "Content-Security-Policy forbids WebAssembly): add 'wasm-unsafe-eval' to its "
            "script-src"))

    def test_a_browser_without_webassembly(self):
        script = self.browser.on_new_document("delete window.WebAssembly;")
        try:
            self.failed_with(re.escape(
                "quillet3: error: this browser cannot run WebAssembly: open the page in one that "
                "can, with WebAssembly turned on"))
        finally:
            self.browser.forget(script)

    def test_a_browser_without_script(self):
        self.browser.script_enabled(False)
        try:
            self.browser.open(wait_ready=False)
            self.assertEqual(self.browser.evaluate(
                "(e => e && e.textContent)(document.getElementById('error'))"),
                "quillet3: error: the show needs JavaScript: turn it on for this page and load "
                "it again")
            self.assertEqual(unreadable(self.browser, "#error"), [])
        finally:
            self.browser.script_enabled(True)

    def test_plays_under_a_strict_policy(self):
        # No inline script or style, no data: address: a site may allow its own files only.
        self.browser.headers["Content-Security-Policy"] = STRICT
        self.browser.open("seed=1")
        self.browser.click(self.width - 30, self.height / 2)
        self.browser.wait_for("quillet3.currentTime > 0 && !quillet3.paused", "the show plays")
        self.browser.next_frames(3)
        self.assertEqual(self.browser.console_errors(), [])
        self.assertEqual(self.browser.evaluate("document.getElementById('error')"), None)
