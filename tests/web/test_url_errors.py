"""A bad value in the page's address shows one line, the desktop program's error line for the
same value, where the viewer reads it, and the show does not start."""

import re
import unittest

from support import PageTest, program_error, unreadable


def as_page_says(line):
    """The program's line with options by their parameters' names (`at` for a screenshot's
    time), written with or without the dashes, and no hint to read the program's help."""
    line = re.sub(r" \(see 'quillet3 --help'\)$", "", line)
    line = line.replace("--screenshot", "at")
    return re.sub(r"--(\w+)", r"\1", line)


# The query, and the command line that makes the desktop program refuse the same value.
CASES = [
    ("seed=-1", ["--seed=-1", "--headless"]),
    ("seed=x", ["--seed", "x", "--headless"]),
    ("seed=4294967296", ["--seed", "4294967296", "--headless"]),
    ("seed=", ["--seed=", "--headless"]),
    ("speed=5", ["--speed", "5"]),
    ("speed=0.1", ["--speed", "0.1"]),
    ("speed=fast", ["--speed", "fast"]),
    ("start=-5", ["--start=-5"]),
    ("quality=blurry", ["--quality", "blurry", "--headless"]),
    ("at=abc", ["--screenshot", "abc:x.png"]),
    ("at=-1", ["--screenshot=-1:x.png"]),
]


class UrlErrors(PageTest):
    def test_each_bad_value_shows_its_line(self):
        for query, args in CASES:
            with self.subTest(query=query):
                self.check_line(query, args)

    def test_a_start_past_the_end_shows_its_line(self):
        self.check_line("start=99999999", ["--start", "99999999"])

    def test_the_line_is_read_on_a_phone_too(self):
        try:
            self.browser.set_size(390, 844)
            self.check_line("seed=x", ["--seed", "x", "--headless"])
        finally:
            self.browser.set_size(self.width, self.height)

    def check_line(self, query, args):
        expected = as_page_says(program_error(*args))
        self.assertTrue(expected.startswith("quillet3: error: "), expected)
        self.browser.open(query, wait_ready=False)
        shown = self.browser.wait_for("(e => e && e.textContent)(document.getElementById('error'))",
                                      "the error line", timeout=20)
        self.assertEqual(as_page_says(shown.strip()), expected)
        self.assertEqual(self.browser.evaluate(
            "document.getElementById('error').getAttribute('role')"), "alert")
        self.assertEqual(unreadable(self.browser, "#error"), [])

    def test_show_does_not_start_after_a_bad_value(self):
        for query, _ in CASES[::4]:
            with self.subTest(query=query):
                self.browser.open(query, wait_ready=False)
                self.browser.wait_for("!!document.getElementById('error')", "the error line", timeout=20)
                # Nothing plays on a click or a key, no caption appears, in the frames that
                # follow them; the script's interface answers without throwing.
                self.browser.click(self.width - 20, self.height - 40)
                self.browser.key(" ")
                self.browser.key("Enter")
                self.browser.next_frames(3)
                state = self.browser.evaluate(
                    "[quillet3.currentTime, quillet3.paused,"
                    " document.getElementById('captions').children.length]")
                self.assertIn(state[0], (0, None), "the time stands at the start")
                self.assertEqual(state[2], 0, "no caption")
                self.assertEqual(self.browser.settled(), "rejected",
                                 "no first frame to be ready with")

    def test_good_values_show_no_line(self):
        self.browser.open("seed=4294967295&speed=0.25&start=1000&quality=smooth&loop")
        self.assertEqual(self.browser.evaluate(
            "(e => !e || e.hidden || !e.textContent)(document.getElementById('error'))"), True)
