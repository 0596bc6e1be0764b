"""A handler's error on the page is reported and the show goes on, as in the program: the cue
counter's 16-bit overflow, some 27.3 hours after the start, leaves the still the program's
screenshot shows and writes the program's error lines on the console."""

import os
import tempfile

from support import Comparison, PageTest, control_rects, label_masks, program_errors

SEED, AT = 9, 98300000  # past the counter's overflow, which then repeats every few seconds


class HandlerErrors(PageTest):
    width, height = 1280, 960  # the program's screenshot size
    # 27 hours of virtual time are played before the still shows.
    timeout = 600

    def test_overflow_is_reported_and_the_show_goes_on(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "still.png")
            expected_lines = program_errors("--seed", str(SEED), "--screenshot",
                                            "%d:%s" % (AT, path))
            with open(path, "rb") as f:
                desktop = f.read()
        # The oracle itself: the overflow and how often it came again.
        self.assertEqual(len(expected_lines), 2, expected_lines)
        self.assertEqual(expected_lines[0], "quillet3: tmrTime: overflow")
        self.assertRegex(expected_lines[1],
                         r"^quillet3: tmrTime: overflow \(repeated \d+ more times\)$")

        self.browser.open("seed=%d&at=%d" % (SEED, AT))  # fails unless ready resolves
        # Every label masked: a trace 27 hours long is too large to tell which show.
        labels = control_rects("Label")[0].keys()
        result = Comparison(self.browser, desktop, label_masks(self.width, self.height, labels))
        self.assertEqual(result.expected_size, [self.width, self.height])
        self.assertEqual(result.size, [self.width, self.height])
        self.assertEqual(result.outside, 0, result.summary())
        self.assertGreaterEqual(result.identical_share, 0.97, result.summary())
        self.assertGreaterEqual(result.close_share, 0.99, result.summary())
        # The program's error lines, as errors, and nothing else: no uncaught exception.
        self.assertEqual(self.browser.console_errors(),
                         ["error: " + line for line in expected_lines])
