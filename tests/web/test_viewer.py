"""What a viewer does on the page, in a real browser: the click that starts the show, the keys
and the timeline as in the window, resizes, and the captions read out in the live region.

The show's time runs from the page's load, as in the window; the show itself begins at the
starting click, read from the trace. The desktop program's subtitles give what follows it."""

import json
import re
import unittest

from browser import PageError
from support import PageTest, subtitle_texts

TIME = "quillet3.currentTime"
CAPTIONS = "[...document.getElementById('captions').children].map(c => c.textContent)"
CANVAS_SIZE = "(c => [c.width, c.height])(document.getElementById('stage'))"
CLICKS = "quillet3.trace().split('\\n').filter(line => line.includes('\"ev\":\"click\"'))"
INSET = 8  # the timeline's track starts and ends this far from the sides (window/timeline.cpp)


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
        self.start("seed=1&trace&speed=4")
        self.browser.wait_for("%s.length >= %d" % (CAPTIONS, count),
                              "%d captions in the live region" % count, timeout=120)
        shown = [words(text) for text in self.browser.evaluate(CAPTIONS)]
        self.assertEqual(shown, expected[:len(shown)])
        self.assertEqual(self.browser.evaluate(
            "document.getElementById('captions').getAttribute('aria-live')"), "polite")

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
        now = self.browser.wait_for("(t => t >= %r && t)(%s)" % (clicked + last_cue, TIME),
                                    "End goes to the last cue")
        self.assertLess(now, clicked + last_cue + 2000)
        self.browser.key("Home")
        self.browser.wait_for("(t => t >= %r && t < %r)(%s)" % (clicked, clicked + 2000, TIME),
                              "Home goes back to the starting click")
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        held = self.browser.evaluate(TIME)
        self.browser.next_frames(5)
        self.assertEqual(self.browser.evaluate(TIME), held, "the time stands still")
        self.browser.key(" ")
        self.browser.wait_for("!quillet3.paused && %s > %r" % (TIME, held), "Space plays on")

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

    def test_timeline_drag_seeks(self):
        clicked = self.start()
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        y = self.height - 7
        self.browser.hover(self.track_x(0.5), self.height - 40)
        self.browser.drag([(self.track_x(0.5), y), (self.track_x(0.55), y),
                           (self.track_x(0.75), y)])
        self.browser.wait_for("Math.abs(%s - %r) < 300" % (TIME, self.at_part(clicked, 0.75)),
                              "the drag seeks to three quarters of the show")
        self.assertTrue(self.browser.evaluate("quillet3.paused"), "a seek keeps the pause")

    def test_touch_on_the_timeline_seeks(self):
        clicked = self.start()
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        x, y = self.track_x(0.25), self.height - 7
        for _ in range(2):  # the first touch shows the timeline
            self.browser.tap(x, y)
        self.browser.wait_for("Math.abs(%s - %r) < 300" % (TIME, self.at_part(clicked, 0.25)),
                              "a touch on the timeline seeks to a quarter of the show")

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
