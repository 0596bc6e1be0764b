"""Stills across the show, as the page shows them with `at`, against the desktop program's
screenshots at the same size and seed: the shapes and the pictures are the same pixels, and only
the labels' text, which the browser rasterises itself, may differ a little."""

import json
import os
import tempfile

from support import (OUTPUT_DIR, Comparison, PageTest, control_rects, label_masks,
                     run_program)

# The show's scenes: the title card, night, morning, the shirt, rain, the countdown, an
# introduction, the band on stage and the end card.
MOMENTS = [7000, 20000, 30000, 45000, 50000, 60000, 67000, 80000, 86000]
# At the wide screens' sizes, whose scales round a picture's edges and its size apart, fewer
# moments: the morning, the ducklings arriving, and the band with the ducklings on stage.
DUCKLINGS = [30000, 60000, 80000]
SIZES = [(800, 600, 1, MOMENTS), (1280, 960, 4, MOMENTS), (1366, 768, 1, DUCKLINGS),
         (1920, 1080, 2, DUCKLINGS), (450, 844, 1, [60000])]  # width, height, seed, moments
# A phone held upright: the show's maximised surface is fitted with bars above and below.
CONTROLS = set(control_rects("Label")[0]) | set(control_rects("Picture")[0])


def shown_at(trace, ms):
    """The controls the show shows at `ms`, read from its trace: every one is shown until the
    show hides it, and counted as shown when it is shown just before `ms` or at `ms` itself."""
    shown, before = set(CONTROLS), None
    for line in trace.splitlines():
        event = json.loads(line)
        if event["t"] >= ms and before is None:
            before = set(shown)
        if event["t"] > ms:
            break
        if event["ev"] in ("show", "hide"):
            (shown.add if event["ev"] == "show" else shown.discard)(event["control"])
    return shown | (before if before is not None else shown)


class Stills(PageTest):
    @classmethod
    def setUpClass(cls):
        """Every still compared once; the tests read the figures."""
        super().setUpClass()
        cls.figures = []
        try:
            for width, height, seed, moments in SIZES:
                cls.compare_size(width, height, seed, moments)
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
    def compare_size(cls, width, height, seed, moments):
        with tempfile.TemporaryDirectory() as folder:
            shots = {ms: os.path.join(folder, "%d.png" % ms) for ms in moments}
            args = ["--size", "%dx%d" % (width, height), "--seed", str(seed)]
            for ms, path in shots.items():
                args += ["--screenshot", "%d:%s" % (ms, path)]
            trace = run_program(*args, "--trace", "-").decode()
            desktop = {}
            for ms, path in shots.items():
                with open(path, "rb") as f:
                    desktop[ms] = f.read()
        for ms in moments:
            # Only the labels shown are masked: a picture under a hidden one is compared.
            masks = label_masks(width, height, shown_at(trace, ms))
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

    def test_shapes_and_pictures_are_the_same_pixels(self):
        for width, height, ms, result in self.figures:
            with self.subTest(size="%dx%d" % (width, height), at=ms):
                self.assertEqual(result.outside, 0, result.summary())

    def test_labels_differ_only_by_antialiasing(self):
        for width, height, ms, result in self.figures:
            with self.subTest(size="%dx%d" % (width, height), at=ms):
                self.assertGreaterEqual(result.identical_share, 0.97, result.summary())
                self.assertGreaterEqual(result.close_share, 0.99, result.summary())
