"""What a viewer does on the page, in a real browser: the click that starts the show, the keys
and the timeline as in the window, resizes, and the captions read out in the live region.

The show's time runs from the page's load, as in the window; the show itself begins at the
starting click, read from the trace. The desktop program's subtitles give what follows it."""

import json
import re
import unittest

from browser import PageError
from support import PageTest, contrast, subtitle_texts, unreadable

TIME = "quillet3.currentTime"
CAPTIONS = "[...document.getElementById('captions').children].map(c => c.textContent)"
CANVAS_SIZE = "(c => [c.width, c.height])(document.getElementById('stage'))"
CLICKS = "quillet3.trace().split('\\n').filter(line => line.includes('\"ev\":\"click\"'))"
SEEKS = ("quillet3.trace().split('\\n').filter(line => line.includes('\"ev\":\"seek\"'))"
         ".map(line => JSON.parse(line).to)")
INSET = 8  # the timeline's track starts and ends this far from the sides (steering/timeline_look.h)
STRICT = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'"
KEPT = 5  # the captions the live region keeps
# Every caption added to the live region, and the most children it had, from now on.
HEARD = """(() => {
    const region = document.getElementById('captions');
    window.heard = [...region.children].map(c => c.textContent);
    window.most = region.children.length;
    new MutationObserver(records => {
        for (const record of records)
            for (const node of record.addedNodes) heard.push(node.textContent);
        most = Math.max(most, region.children.length);
    }).observe(region, {childList: true});
})()"""
# A page that embeds the show in a frame of 400 x 300 at (100, 100), as a site would.
FRAME = (100, 100, 400, 300)
HOST = ("<!doctype html><link rel='icon' href='data:,'><body style='margin:0'>"
        "<iframe src='/index.html?%s' style='position: absolute; left:%dpx; top:%dpx;"
        " width:%dpx; height:%dpx; border:0'></iframe>%s")
SHOW = "document.querySelector('iframe').contentWindow.quillet3"


def words(text):
    return re.sub(r"\s+", " ", text).strip()


class Viewer(PageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.cues = subtitle_texts(1)
        cls.length = max(end for _, end, _ in cls.cues)  # from the starting click to the end

    def tearDown(self):
        self.assertEqual(self.browser.console_errors(), [])
        for url in self.browser.requests:
            self.assertTrue(url.startswith(self.browser.origin + "/") or
                            url.startswith(("data:", "blob:")), "fetched from outside: " + url)

    def load(self, query="seed=1&trace"):
        """Loads the page at 800 x 600; the show waits for its starting click."""
        self.browser.open(query, width=self.width, height=self.height)
        self.browser.next_frames(3)
        self.assertEqual(self.browser.evaluate(CLICKS), [], "no click before the viewer's")
        shown = self.browser.evaluate(CAPTIONS)
        self.assertEqual([words(t) for t in shown], [words(self.cues[0][2])][:len(shown)],
                         "only the opening note before the click")

    def started(self):
        """The show's time of its starting click, once the page has taken it."""
        clicks = self.browser.wait_for(CLICKS + ".length === 1 && " + CLICKS, "one click")
        return json.loads(clicks[0])["t"]

    def start(self, query="seed=1&trace"):
        """Loads the page and starts the show with a click on the white area."""
        self.load(query)
        self.browser.click(self.width - 30, self.height / 2)
        clicked = self.started()
        self.browser.wait_for("%s > %r" % (TIME, clicked + 100), "the show plays on")
        return clicked

    def test_click_starts_and_captions_come_in_order(self):
        # Through the countdown's first digit: the title, the names, speech and the countdown.
        count = 1 + next(i for i, (_, _, text) in enumerate(self.cues) if text.strip() == "5")
        expected = [words(text) for _, _, text in self.cues]
        self.load("seed=1&trace&speed=4")
        self.browser.evaluate(HEARD)
        self.browser.click(self.width - 30, self.height / 2)
        self.browser.wait_for("heard.length >= %d" % count,
                              "%d captions in the live region" % count, timeout=120)
        heard = [words(text) for text in self.browser.evaluate("heard")]
        self.assertEqual(heard, expected[:len(heard)])
        # Only the last few stay, read out as they come; the stage's label is the latest.
        self.assertEqual(self.browser.evaluate("most"), KEPT)
        self.assertEqual(self.browser.evaluate(
            "(r => [r.getAttribute('role'), r.getAttribute('aria-live')])"
            "(document.getElementById('captions'))"), ["log", "polite"])
        self.assertEqual(words(self.browser.evaluate(
            "document.getElementById('stage').getAttribute('aria-label')")),
            "Quillet 3, a cartoon: " + words(self.browser.evaluate("heard.at(-1)")))

    def test_the_label_fonts_are_the_free_stand_ins_from_the_page_itself(self):
        # The free fonts the captions are set in on the desktop, in their weights and styles: a
        # face missing or named otherwise would be drawn in the browser's default font.
        stand_ins = [["Comic Neue", "700", "normal"], ["DejaVu Sans", "400", "italic"],
                     ["DejaVu Sans", "400", "normal"], ["DejaVu Sans Mono", "700", "normal"],
                     ["EB Garamond", "700", "normal"], ["Liberation Sans", "700", "normal"],
                     ["Roboto Condensed", "700", "normal"]]
        self.load()
        loaded = self.browser.evaluate(
            "[...document.fonts].filter(f => f.status === 'loaded')"
            ".map(f => [f.family.replace(/\"/g, ''), f.weight, f.style])")
        self.assertEqual(sorted(loaded), sorted(stand_ins))
        fonts = [url for url in self.browser.requests if url.endswith(".woff2")]
        self.assertEqual(len(fonts), len(stand_ins), fonts)

    def test_enter_and_space_start_the_show(self):
        for key in ("Enter", " "):
            with self.subTest(key=key):
                self.load()
                self.browser.key(key)
                clicked = self.started()
                self.browser.wait_for("%s > %r" % (TIME, clicked + 100), "the show plays")
                self.assertFalse(self.browser.evaluate("quillet3.paused"))

    def test_end_home_and_space(self):
        last_cue = max(at for at, _, _ in self.cues)
        clicked = self.start()
        self.browser.key("End")
        self.seeked_to(1, clicked + last_cue, "End goes to the last cue")
        self.browser.key("Home")
        self.seeked_to(2, clicked, "Home goes back to the starting click")
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        held = self.browser.evaluate(TIME)
        self.browser.next_frames(5)
        self.assertEqual(self.browser.evaluate(TIME), held, "the time stands still")
        self.browser.key(" ")
        self.browser.wait_for("!quillet3.paused && %s > %r" % (TIME, held), "Space plays on")

    def seeked_to(self, count, ms, what):
        """Waits for the trace's `count`th seek (or a later one) to have landed at `ms` of the
        show's time (the starting click as the trace writes it, to a millisecond); the seeks are
        named when it does not come."""
        try:
            self.browser.wait_for("(s => s.length >= %d && Math.abs(s[s.length - 1] - %r) < 1)(%s)"
                                  % (count, ms, SEEKS), what)
        except PageError:
            self.fail("%s: the seeks went to %s" % (what, self.browser.evaluate(SEEKS)))

    def test_brackets_typed_with_altgr_change_the_speed(self):
        # German keyboards type [ and ] with AltGr and 8, 9, which a browser reports as the
        # AltGraph modifier or, on some systems, as Ctrl and Alt held together. Ctrl, Alt or Meta
        # otherwise make another program's shortcut.
        alt, ctrl, meta = 1, 2, 4
        # AltGraph with Alt, which the DevTools protocol cannot send: a script's event.
        altgr = "altgr"
        keys = [  # key, its place, modifiers, whether the speed steps
            ("[", "Digit8", ctrl | alt, True),
            ("]", "Digit9", ctrl | alt, True),
            ("[", "Digit8", altgr, True),
            ("[", None, ctrl, False),
            ("]", None, alt, False),
            ("]", None, meta, False),
            ("]", "Digit9", ctrl | alt | meta, False),
            ("]", None, 0, True),
        ]
        if self.browser.name == "webkit":
            self.skipTest("WebKitWebDriver does not type a character with Ctrl and Alt held")
        speeds = ("quillet3.trace().split('\\n')"
                  ".filter(line => line.includes('\"ev\":\"speed\"')).map(l => JSON.parse(l).x)")
        self.start()
        for key, code, modifiers, _ in keys:
            if modifiers == altgr:
                self.browser.evaluate(
                    "document.getElementById('stage').dispatchEvent(new KeyboardEvent('keydown',"
                    " {key: %s, code: %s, altKey: true, modifierAltGraph: true, bubbles: true}))"
                    % (json.dumps(key), json.dumps(code)))
            else:
                self.browser.key(key, modifiers, code)
        stepped = [key for key, _, _, steps in keys if steps]
        expected, speed = [], 1
        for key in stepped:
            speed = speed / 2 if key == "[" else speed * 2
            expected.append(speed)
        # The last key comes after all the others: its step is the last the show takes.
        self.browser.wait_for("%s.length >= %d" % (speeds, len(expected)), "the speed steps")
        self.assertEqual(self.browser.evaluate(speeds), expected)

    def test_questions_asked_while_a_frame_loop_waits_leave_the_show_playing(self):
        # The climb's frame loop pauses ten times for 100 ms from 18 s after the click, which
        # `start` puts at 0 ms. An embedding page that reads the time, the pause and the trace all
        # the while must not stop the show.
        self.browser.open("seed=1&trace&start=17000", width=self.width, height=self.height)
        self.browser.evaluate(
            "new Promise(done => { const asking = setInterval(() => {"
            " void [quillet3.currentTime, quillet3.paused, quillet3.trace().length];"
            " if (quillet3.currentTime > %r) { clearInterval(asking); done(); } }, 2); })"
            % 20000, await_promise=True)
        self.browser.wait_for("(t => t.length === 10 && t)(%s)" % (
            "quillet3.trace().split('\\n').filter(line => line.includes('\"ev\":\"pause\"'))"),
            "the frame loop's ten pauses in the trace")
        # The calls queued behind the loop still run.
        self.browser.evaluate("quillet3.pause()", await_promise=True)
        self.assertTrue(self.browser.evaluate("quillet3.paused"))

    def at_part(self, clicked, part):
        """The show's time at a part of the timeline's track."""
        return clicked + part * self.length

    def track_x(self, part):
        return INSET + (self.width - 2 * INSET) * part

    def until_seeked(self, act, ms, what, tries=10, near=None):
        """Does `act` on the timeline until the paused show stands near `ms` (or `near` holds).
        The timeline shows for 2 s from the move or touch that showed it: a press that reaches a
        slow page later goes to the show instead, and the next try shows the timeline again."""
        near = near or "Math.abs(%s - %r) < 300" % (TIME, ms)
        for left in range(tries - 1, -1, -1):
            act()
            try:
                return self.browser.wait_for(near, what, timeout=5)
            except PageError:
                if not left:
                    raise

    def test_timeline_drag_seeks(self):
        clicked = self.start()
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        y = self.height - 7
        def drag():
            self.browser.hover(self.track_x(0.5), self.height - 40)
            self.browser.drag([(self.track_x(0.5), y), (self.track_x(0.55), y),
                               (self.track_x(0.75), y)])
        self.until_seeked(drag, self.at_part(clicked, 0.75),
                          "the drag seeks to three quarters of the show")
        self.assertTrue(self.browser.evaluate("quillet3.paused"), "a seek keeps the pause")

    def test_touch_shows_the_timeline_then_seeks_on_a_fingers_bar(self):
        # The show plays, so that a touch that showed the timeline and reached the show as well
        # would be a click in the trace. After a touch the bar is a finger's height, 44 px: a
        # touch 40 px above the bottom edge is on it.
        clicked = self.start()
        for part, y in ((0.25, self.height - 7), (0.5, self.height - 40)):
            x, ms = self.track_x(part), self.at_part(clicked, part)

            def touch():
                for _ in range(2):  # the first touch shows the timeline, the next one seeks
                    self.browser.tap(x, y)
            self.until_seeked(touch, ms, "a touch %d px above the bottom seeks to %s of the"
                              " show" % (self.height - y, part),
                              near="%s.some(to => Math.abs(to - %r) < 300)" % (SEEKS, ms))
        self.assertEqual(len(self.browser.evaluate(CLICKS)), 1,
                         "only the starting click reached the show")

    def test_the_title_and_a_notice_name_what_the_keys_set(self):
        # As the window's title does; each change is also told over the stage for a moment,
        # under a policy that allows the site's own files only. The options the page was opened
        # with are named in the title only.
        steps = [  # key, the title after it, the notice
            ("]", "Quillet 3 (4\u00d7, looping)", "4\u00d7"),
            ("q", "Quillet 3 (4\u00d7, smooth, looping)", "smooth"),
            ("l", "Quillet 3 (4\u00d7, smooth)", "loop off"),
            (" ", "Quillet 3 (4\u00d7, smooth, paused)", "paused"),
            ("[", "Quillet 3 (2\u00d7, smooth, paused)", "2\u00d7"),
            ("[", "Quillet 3 (smooth, paused)", "1\u00d7"),
            ("l", "Quillet 3 (smooth, looping, paused)", "looping"),
            ("q", "Quillet 3 (looping, paused)", "crisp"),
            (" ", "Quillet 3 (looping)", "playing"),
            ("[", "Quillet 3 (0.5\u00d7, looping)", "0.5\u00d7"),
        ]
        state = ("(n => [document.title, n.textContent, getComputedStyle(n).opacity])"
                 "(document.getElementById('notice'))")
        self.browser.headers["Content-Security-Policy"] = STRICT
        try:
            self.start("seed=1&trace&speed=2&loop")
        finally:
            del self.browser.headers["Content-Security-Policy"]
        self.assertEqual(self.browser.evaluate(state), ["Quillet 3 (2\u00d7, looping)", "", "0"])
        for key, title, notice in steps:
            with self.subTest(key=key, title=title):
                self.browser.key(key)
                self.browser.wait_for("(s => s[0] === %s && s[1] === %s && s[2] === '1')(%s)"
                                      % (json.dumps(title), json.dumps(notice), state),
                                      "the title and the notice after %r" % key)
        self.browser.wait_for(state + "[2] === '0'", "the notice fades", timeout=10)

    def test_resize_refits_with_black_bars(self):
        self.start()
        for width, height, scale in ((1000, 600, 1), (800, 800, 1), (500, 300, 2)):
            with self.subTest(size=(width, height, scale)):
                self.browser.set_size(width, height, scale)
                w, h = width * scale, height * scale
                self.browser.wait_for("(s => s[0] === %d && s[1] === %d)(%s)"
                                      % (w, h, CANVAS_SIZE),
                                      "the canvas follows the size in device pixels")
                stage_w = min(w, h * 4 // 3)
                stage_h = stage_w * 3 // 4
                left, top = (w - stage_w) // 2, (h - stage_h) // 2
                bars = [[x, h // 2] for x in (0, left - 1, left + stage_w, w - 1) if left > 0]
                bars += [[w // 2, y] for y in (0, top - 1, top + stage_h, h - 1) if top > 0]
                inside = [[left + 2, top + 2], [left + stage_w - 3, top + stage_h - 3]]
                # Painted at the new size within a few frames.
                try:
                    self.browser.wait_for(
                        "(p => p.slice(0, %d).every(c => c[0] + c[1] + c[2] === 0) &&"
                        " p.slice(%d).every(c => c[0] + c[1] + c[2] > 0))(%s)"
                        % (len(bars), len(bars), self.browser.pixels_script(bars + inside)),
                        "black bars and the stage", timeout=20)
                except PageError:
                    self.fail("black bars at %s and the stage at %s: %s"
                              % (bars, inside, self.browser.pixels(bars + inside)))
        self.browser.set_size(self.width, self.height)

    def host(self, query, script=""):
        """Opens a page that embeds the show in a frame, and waits for the show's first frame."""
        self.browser.files["host.html"] = (HOST % ((query,) + FRAME + (script,))).encode()
        self.browser.open(url=self.browser.origin + "/__test/host.html", wait_ready=False)
        self.browser.wait_for("(s => s && s.ready && s)(%s)" % SHOW, "the show in the frame")
        self.assertEqual(self.browser.settled(SHOW + ".ready"), "fulfilled")

    def test_a_drag_let_go_outside_the_frame_ends_there(self):
        # Let go outside the frame (seen through the capture) or outside the window (not seen
        # at all): later moves with no button held are not a drag.
        left, top, width, height = FRAME
        y = top + height - 7

        def at(part):
            return left + INSET + (width - 2 * INSET) * part
        for let_go in (True, False):
            with self.subTest(let_go_seen=let_go):
                self.host("seed=1&trace")
                self.browser.click(left + width - 30, top + height / 2)
                self.browser.wait_for(SHOW + ".currentTime > 0 && " + SHOW + ".trace()"
                                      ".includes('\"ev\":\"click\"')", "the show starts")
                self.browser.key(" ")
                self.browser.wait_for(SHOW + ".paused", "Space pauses")
                self.browser.hover(at(0.5), top + height - 40)  # the timeline shows
                self.browser.hover(at(0.5), y)
                self.browser.mouse("mousePressed", at(0.5), y, buttons=1)
                self.browser.mouse("mouseMoved", at(0.6), y, buttons=1)
                beyond = left + width + 60
                self.browser.mouse("mouseMoved", beyond, y, buttons=1)
                clicked = json.loads(self.browser.evaluate(
                    SHOW + ".trace().split('\\n').find(l => l.includes('\"ev\":\"click\"'))"))["t"]
                self.browser.wait_for("%s.currentTime > %r" % (SHOW, self.at_part(clicked, 0.95)),
                                      "the drag follows the pointer beyond the frame")
                if let_go:
                    self.browser.mouse("mouseReleased", beyond, y)
                self.browser.hover(at(0.25), y)
                self.browser.hover(at(0.2), y)
                self.browser.evaluate(SHOW + ".pause()", await_promise=True)
                self.assertGreater(self.browser.evaluate(SHOW + ".currentTime"),
                                   self.at_part(clicked, 0.95), "the drag is over")
                self.assertLess(self.browser.evaluate(SHOW + ".currentTime"),
                                self.at_part(clicked, 1) + 1000)

    def test_calls_before_ready_wait_for_the_show_in_order(self):
        # Made in the frame's load event, before the show is there.
        self.host("seed=1&trace", """<script>
            const frame = document.querySelector('iframe');
            frame.addEventListener('load', () => {
                const show = frame.contentWindow.quillet3;
                window.before = [show.currentTime, show.paused,
                                 frame.contentWindow.performance.getEntriesByName(
                                     'quillet3-ready').length];
                window.calls = Promise.all([show.seek(30000), show.pause(), show.seek(20000),
                                            show.play(), show.pause(), show.seek(40000)]);
            });</script>""")
        before = self.browser.wait_for("window.before", "the frame's load event")
        if before[2] and self.browser.name != "chromium":
            self.skipTest("%s fires the frame's load event after the show is ready"
                          % self.browser.name)
        self.assertEqual(before, [0, True, 0])
        self.browser.evaluate("calls", await_promise=True)
        paused, now = self.browser.evaluate("[%s.paused, %s.currentTime]" % (SHOW, SHOW))
        self.assertTrue(paused)
        self.assertLess(abs(now - 40000), 5, "the last pause and seek last")
        self.assertEqual(self.browser.console_errors(), [])

    def test_a_bad_time_throws_at_once(self):
        self.start()
        self.browser.evaluate("quillet3.pause()", await_promise=True)
        held = self.browser.evaluate(TIME)
        for argument, error in (("", "TypeError"), ("'abc'", "TypeError"), ("NaN", "TypeError"),
                                ("'5000'", "TypeError"), ("null", "TypeError"),
                                ("-1", "RangeError"), ("Infinity", "RangeError"),
                                ("-Infinity", "RangeError")):
            with self.subTest(argument=argument):
                self.assertEqual(self.browser.evaluate(
                    "(() => { try { quillet3.seek(%s); return 'returned'; }"
                    " catch (e) { return e.constructor.name; } })()" % argument), error)
        self.browser.evaluate("quillet3.pause()", await_promise=True)
        self.assertEqual(self.browser.evaluate(TIME), held, "the show stays where it was")

    def test_the_focus_ring_shows_for_the_keyboard(self):
        ring = ("(c => [document.activeElement === c, c.matches(':focus-visible'),"
                " getComputedStyle(c).outlineStyle, parseFloat(getComputedStyle(c).outlineWidth),"
                " getComputedStyle(c).outlineColor])(document.getElementById('stage'))")
        self.load()
        self.browser.click(self.width - 30, self.height / 2)
        self.assertEqual(self.browser.evaluate(ring)[:3], [True, False, "none"],
                         "no ring on a click")
        self.load()
        self.browser.key("Tab")
        focused, visible, style, width, colour = self.browser.evaluate(ring)
        if focused and not visible and self.browser.name != "chromium":
            self.skipTest("%s does not take its driver's Tab for the keyboard's" % self.browser.name)
        self.assertEqual([focused, visible], [True, True])
        self.assertNotEqual(style, "none")
        self.assertGreaterEqual(width, 2)
        for behind in ("rgb(0, 0, 0)", "rgb(255, 255, 255)"):  # the bars and the white stage
            self.assertGreaterEqual(contrast(colour, behind), 3, behind)

    def test_question_mark_and_h_show_the_keys(self):
        # Every key of the window's table that the page has, worded for the page.
        names = ["Enter", "Space", "\u2190", "\u2192", "Home", "End", "0", "9", ",", ".", "[",
                 "]", "L", "Q", "F", "?", "H", "Esc"]
        shown = "!document.getElementById('keys').hidden"
        for width, height in ((self.width, self.height), (390, 844)):
            with self.subTest(size=(width, height)):
                self.browser.open("seed=1", width=width, height=height)
                self.assertFalse(self.browser.evaluate(shown))
                for key, after in (("?", True), ("?", False), ("h", True), ("Escape", False),
                                   ("h", True)):
                    self.browser.key(key)
                    self.assertEqual(self.browser.evaluate(shown), after, key)
                self.assertEqual(unreadable(self.browser, "#keys"), [])
                kbd = self.browser.evaluate(
                    "[...document.querySelectorAll('#keys kbd')].map(k => k.textContent)")
                self.assertEqual(sorted(set(kbd)), sorted(names))
        self.browser.set_size(self.width, self.height)
