"""Stills across the show, as the page shows them with `at`, against the desktop program's
screenshots at the same size and seed: the shapes are the same pixels, and only the labels'
text, which the browser rasterises itself, may differ a little."""

import os
import tempfile

from support import OUTPUT_DIR, Comparison, PageTest, label_masks, run_program

# The show's scenes: the title card, night, morning, the shirt, rain, the countdown, an
# introduction, the band on stage and the end card.
MOMENTS = [7000, 20000, 30000, 45000, 50000, 60000, 67000, 80000, 86000]
SIZES = [(800, 600, 1), (1280, 960, 4)]  # width, height, seed


class Stills(PageTest):
    @classmethod
    def setUpClass(cls):
        """Every still compared once; the tests read the figures."""
        super().setUpClass()
        cls.figures = []
        try:
            for width, height, seed in SIZES:
                cls.compare_size(width, height, seed)
        except BaseException:
            cls.tearDownClass()
            raise
        for width, height, ms, result in cls.figures:
            print("%dx%d at %d ms: %s" % (width, height, ms, result.summary()))
        print("lowest: %.3f %% identical, %.3f %% within %d; largest difference %d"
              % (100 * min(r.identical_share for *_, r in cls.figures),
                 100 * min(r.close_share for *_, r in cls.figures), Comparison.CLOSE,
                 max(r.largest for *_, r in cls.figures)))

    @classmethod
    def compare_size(cls, width, height, seed):
        with tempfile.TemporaryDirectory() as folder:
            shots = {ms: os.path.join(folder, "%d.png" % ms) for ms in MOMENTS}
            args = ["--size", "%dx%d" % (width, height), "--seed", str(seed)]
            for ms, path in shots.items():
                args += ["--screenshot", "%d:%s" % (ms, path)]
            run_program(*args)
            desktop = {}
            for ms, path in shots.items():
                with open(path, "rb") as f:
                    desktop[ms] = f.read()
        masks = label_masks(width, height)
        for ms in MOMENTS:
            cls.browser.open("seed=%d&at=%d" % (seed, ms), width=width, height=height)
            result = Comparison(cls.browser, desktop[ms], masks)
            result.console = cls.browser.console_errors()
            cls.figures.append((width, height, ms, result))
            if result.outside or result.identical_share < 0.97 or result.close_share < 0.99:
                cls.keep(width, height, ms, desktop[ms])

    @classmethod
    def keep(cls, width, height, ms, desktop_png):
        """Keeps both pictures of a differing still in the output folder."""
        os.makedirs(OUTPUT_DIR, exist_ok=True)
        stem = os.path.join(OUTPUT_DIR, "still-%dx%d-%d" % (width, height, ms))
        with open(stem + "-page.png", "wb") as f:
            f.write(cls.browser.canvas_png())
        with open(stem + "-desktop.png", "wb") as f:
            f.write(desktop_png)
        print("kept %s-page.png and %s-desktop.png" % (stem, stem))

    def test_canvas_in_device_pixels_and_no_console_error(self):
        for width, height, ms, result in self.figures:
            with self.subTest(size="%dx%d" % (width, height), at=ms):
                self.assertEqual(result.size, [width, height])
                self.assertEqual(result.expected_size, [width, height])
                self.assertEqual(result.console, [])

    def test_shapes_are_the_same_pixels(self):
        for width, height, ms, result in self.figures:
            with self.subTest(size="%dx%d" % (width, height), at=ms):
                self.assertEqual(result.outside, 0, result.summary())

    def test_labels_differ_only_by_antialiasing(self):
        for width, height, ms, result in self.figures:
            with self.subTest(size="%dx%d" % (width, height), at=ms):
                self.assertGreaterEqual(result.identical_share, 0.97, result.summary())
                self.assertGreaterEqual(result.close_share, 0.99, result.summary())
