"""A bad value in the page's address shows one line, the desktop program's error line for the
same value worded with the address's names, where the viewer reads it, and the show does not
start."""

import re

from support import PageTest, program_error, unreadable


def as_page_says(line):
    """The program's line with options by their parameters' names, without dashes (`at` for a
    screenshot's time, a still for a screenshot), and no pointer to the program's help."""
    line = re.sub(r" \(see 'quillet3 --help'\)$", "", line)
    line = line.replace("--screenshot", "at").replace("the screenshot", "the still")
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
    # Characters that would turn the line around or break it are escaped, as the program does.
    ("seed=1%E2%80%AE2", ["--seed", "1\u202e2", "--headless"]),
    ("seed=%E2%81%A7x%0A", ["--seed", "\u2067x\n", "--headless"]),
    # The options together, by the program's own rules.
    ("start=89000", ["--start", "89000"]),
    ("start=99999999", ["--start", "99999999"]),
    ("at=500&start=1000", ["--screenshot", "500:x.png", "--start", "1000"]),
    ("start=1000&at=999", ["--start", "1000", "--screenshot", "999:x.png"]),
    # A still ends its run, as --duration does.
    ("at=2147483647&loop", ["--screenshot", "2147483647:x.png", "--loop",
                            "--duration", "2147483647"]),
    ("loop=1&at=89001", ["--loop", "--screenshot", "89001:x.png", "--duration", "89001"]),
]

# Lines the program has no counterpart of, written out.
PAGE_ONLY = [
    ("at=1000&speed=2", "speed does not work with at: a still takes no time to play"),
    ("speed=1&at=1000", "speed does not work with at: a still takes no time to play"),
    ("loop=maybe", "loop takes no value, or true or false, not 'maybe'"),
    ("trace=2&seed=1", "trace takes no value, or true or false, not '2'"),
    ("loop=yes%E2%80%AE", "loop takes no value, or true or false, not 'yes\\xe2\\x80\\xae'"),
    # A long value is quoted by its first 40 characters.
    ("seed=" + "7" * 60000, "seed takes a whole number from 0 to 4294967295, not '"
     + "7" * 40 + "'\u2026"),
    ("start=" + "%C3%A9" * 41, "start takes a whole number of milliseconds from 0 to 2147483647, "
     "not '" + "\u00e9" * 40 + "'\u2026"),
]


class UrlErrors(PageTest):
    def test_each_bad_value_shows_the_programs_line(self):
        for query, args in CASES:
            with self.subTest(query=query):
                expected = as_page_says(program_error(*args))
                self.assertTrue(expected.startswith("quillet3: error: "), expected)
                self.check_line(query, expected)

    def test_each_bad_value_of_the_page_alone_shows_its_line(self):
        for query, text in PAGE_ONLY:
            with self.subTest(query=query[:40]):
                self.check_line(query, "quillet3: error: " + text)

    def test_the_line_is_read_on_a_phone_too(self):
        try:
            self.browser.set_size(390, 844)
            self.check_line("seed=x", as_page_says(program_error("--seed", "x", "--headless")))
        finally:
            self.browser.set_size(self.width, self.height)

    def check_line(self, query, expected):
        self.browser.open(query, wait_ready=False)
        shown = self.browser.wait_for("(e => e && e.textContent)(document.getElementById('error'))",
                                      "the error line", timeout=20)
        self.assertEqual(shown.strip(), expected)
        self.assertNotIn("--", shown)
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
        for query in ("seed=4294967295&speed=0.25&start=1000&quality=smooth&loop",
                      "seed=1&at=89000&loop=true&start=88000", "at=0&trace=off"):
            with self.subTest(query=query):
                self.browser.open(query)
                self.assertEqual(self.browser.evaluate(
                    "(e => !e || e.hidden || !e.textContent)(document.getElementById('error'))"),
                    True)

    def test_switches_are_on_bare_or_true_and_off_with_false(self):
        # A still's trace holds the loop's line where the loop is on.
        loop_on = '"ev":"loop","on":true'
        for value, on in (("", True), ("=1", True), ("=true", True), ("=On", True),
                          ("=false", False), ("=0", False), ("=no", False), ("=OFF", False)):
            with self.subTest(loop=value):
                self.browser.open("seed=1&at=1000&trace&loop" + value)
                self.assertEqual(loop_on in self.browser.evaluate("quillet3.trace()"), on)
            with self.subTest(trace=value):
                self.browser.open("seed=1&at=1000&trace" + value)
                self.assertEqual(self.browser.evaluate("quillet3.trace()") != "", on)
        self.browser.open("seed=1&at=1000&trace&loop=1&loop=0")
        self.assertNotIn(loop_on, self.browser.evaluate("quillet3.trace()"), "the last one counts")
