"""What a viewer does on the page, in a real browser: the click that starts the show, the keys
and the timeline as in the window, resizes, and the captions read out in the live region."""

import re

from support import PageTest, subtitle_texts

TIME = "quillet3.currentTime"
CAPTIONS = "[...document.getElementById('captions').children].map(c => c.textContent)"
CANVAS_SIZE = "(c => [c.width, c.height])(document.getElementById('stage'))"


def words(text):
    return re.sub(r"\s+", " ", text).strip()


class Viewer(PageTest):
    def tearDown(self):
        self.assertEqual(self.browser.console_errors(), [])
        for url in self.browser.requests:
            self.assertTrue(url.startswith(self.browser.origin + "/") or
                            url.startswith(("data:", "blob:")), "fetched from outside: " + url)

    def start(self, query="seed=1"):
        """Loads the page at 800 x 600 and starts the show with a click on the white area."""
        self.browser.open(query, width=self.width, height=self.height)
        self.browser.next_frames(3)
        self.assertEqual(self.browser.evaluate(TIME), 0, "nothing plays before the click")
        self.browser.click(self.width - 30, self.height / 2)
        self.browser.wait_for(TIME + " > 200", "the show plays after the click")

    def test_click_starts_and_captions_come_in_order(self):
        cues = subtitle_texts(1)
        self.start("seed=1&speed=4")
        self.browser.wait_for(TIME + " >= 45000", "the show reaches 45 s", timeout=60)
        now, shown = self.browser.evaluate("[%s, %s]" % (TIME, CAPTIONS))
        expected = [words(text) for at, text in cues if at <= now]
        shown = [words(text) for text in shown]
        # A caption due in the very moment read may not be in yet.
        due_before = sum(1 for at, _ in cues if at <= now - 500)
        self.assertEqual(shown, expected[:len(shown)])
        self.assertGreaterEqual(len(shown), due_before, shown)

    def test_enter_and_space_start_the_show(self):
        for key in ("Enter", " "):
            with self.subTest(key=key):
                self.browser.open("seed=2", width=self.width, height=self.height)
                self.browser.next_frames(3)
                self.assertEqual(self.browser.evaluate(TIME), 0)
                self.browser.key(key)
                self.browser.wait_for(TIME + " > 200", "the show plays after the key")
                self.assertFalse(self.browser.evaluate("quillet3.paused"))

    def test_end_home_and_space(self):
        last_cue = max(at for at, _ in subtitle_texts(1))
        self.start()
        self.browser.key("End")
        now = self.browser.wait_for("(t => t >= %d && t)(%s)" % (last_cue, TIME),
                                    "End goes to the last cue")
        self.assertLess(now, last_cue + 2000)
        self.browser.key("Home")
        self.browser.wait_for(TIME + " < 2000", "Home goes back to the start")
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        held = self.browser.evaluate(TIME)
        self.browser.next_frames(5)
        self.assertEqual(self.browser.evaluate(TIME), held, "the time stands still")
        self.browser.key(" ")
        self.browser.wait_for("!quillet3.paused && %s > %r" % (TIME, held), "Space plays on")

    def test_timeline_drag_seeks(self):
        self.start()
        self.browser.key(" ")
        self.browser.wait_for("quillet3.paused", "Space pauses")
        end = self.show_end()
        inset, y = 8, self.height - 7
        track = self.width - 2 * inset
        x_half, x_three_quarters = inset + track / 2, inset + track * 3 / 4
        self.browser.mouse("mouseMoved", x_half, self.height - 40, button="none")
        self.browser.drag([(x_half, y), (x_half + 40, y), (x_three_quarters, y)])
        target = end * 3 / 4
        self.browser.wait_for("Math.abs(%s - %r) < 500" % (TIME, target),
                              "the drag seeks to three quarters of the show")
        self.assertTrue(self.browser.evaluate("quillet3.paused"), "a seek keeps the pause")

    def test_touch_on_the_timeline_seeks(self):
        self.browser.enable_touch()
        try:
            self.start()
            self.browser.key(" ")
            self.browser.wait_for("quillet3.paused", "Space pauses")
            x, y = 8 + (self.width - 16) / 4, self.height - 7
            self.browser.touch("touchStart", [(x, y)])
            self.browser.touch("touchEnd", [])
            self.browser.touch("touchStart", [(x, y)])
            self.browser.touch("touchEnd", [])
            self.browser.wait_for("Math.abs(%s - %r) < 500" % (TIME, self.show_end() / 4),
                                  "a touch on the timeline seeks to a quarter of the show")
        finally:
            self.browser.send("Emulation.setTouchEmulationEnabled", enabled=False)

    def show_end(self):
        """The show's end: where a seek to its last tenth's end lands (key 9 goes to 9/10)."""
        self.browser.key("9")
        nine_tenths = self.browser.wait_for("(t => t > 30000 && t)(%s)" % TIME, "9 seeks")
        return nine_tenths * 10 / 9

    def test_resize_refits_with_black_bars(self):
        self.start()
        for width, height, scale in ((1000, 600, 1), (800, 800, 1), (500, 300, 2)):
            with self.subTest(size=(width, height, scale)):
                self.browser.set_size(width, height, scale)
                device = [width * scale, height * scale]
                self.browser.wait_for("(s => s[0] === %d && s[1] === %d)(%s)"
                                      % (device[0], device[1], CANVAS_SIZE),
                                      "the canvas follows the size in device pixels")
                self.browser.next_frames(2)
                w, h = device
                stage_w = min(w, h * 4 // 3)
                stage_h = stage_w * 3 // 4
                left, top = (w - stage_w) // 2, (h - stage_h) // 2
                bars = [[x, h // 2] for x in (0, left - 1, left + stage_w, w - 1) if left > 0]
                bars += [[w // 2, y] for y in (0, top - 1, top + stage_h, h - 1) if top > 0]
                inside = [[left + 2, top + 2], [left + stage_w - 3, top + stage_h - 3]]
                colours = self.browser.pixels(bars + inside)
                for (x, y), colour in zip(bars, colours):
                    self.assertEqual(colour, (0, 0, 0), "black bar at %d, %d" % (x, y))
                for (x, y), colour in zip(inside, colours[len(bars):]):
                    self.assertNotEqual(colour, (0, 0, 0), "the stage at %d, %d" % (x, y))
        self.browser.set_size(self.width, self.height)
