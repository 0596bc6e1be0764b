"""What the page's tests share: where the program and the page are, the desktop program's own
outputs (the oracles), and comparing two pictures."""

import math
import os
import re
import subprocess
import unittest

import browser

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
PROGRAM = os.environ.get("QUILLET3_BINARY", os.path.join(SOURCE, "build/default/quillet3"))
WEB_DIR = os.environ.get("QUILLET3_WEB_DIR", os.path.join(SOURCE, "build/web"))
ENGINE = browser.engine_name()
# Where the pictures of a failed comparison are kept, to look at, one folder for each engine.
OUTPUT_DIR = os.path.join(os.environ.get("QUILLET3_WEB_TEST_OUTPUT",
                                         os.path.join(SOURCE, "build/web-tests")), ENGINE)


def run_program(*args):
    """The desktop program's standard output, run headless; fails the test if it fails."""
    return _run_program(args).stdout


def program_errors(*args):
    """The lines a successful run of the desktop program writes on its error stream."""
    return _run_program(args).stderr.decode().splitlines()


def _run_program(args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    done = subprocess.run([PROGRAM, *args], capture_output=True, env=env, timeout=300)
    if done.returncode != 0:
        raise AssertionError("%s %s failed: %s" % (PROGRAM, " ".join(args),
                                                    done.stderr.decode(errors="replace")))
    return done


def program_error(*args):
    """The one error line the desktop program writes for these arguments."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    done = subprocess.run([PROGRAM, *args], capture_output=True, env=env, timeout=60)
    if done.returncode == 0:
        raise AssertionError("%s accepted %s" % (PROGRAM, args))
    return done.stderr.decode().strip()


def subtitle_texts(seed):
    """The captions the desktop program shows, in the order they appear, timed from the show's
    starting click: (start ms, end ms, text)."""
    import tempfile
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "show.vtt")
        run_program("--subtitles", path, "--seed", str(seed))
        with open(path, encoding="utf-8") as f:
            blocks = f.read().split("\n\n")

    def ms(h, m, s, fraction):
        return (int(h) * 3600 + int(m) * 60 + int(s)) * 1000 + int(fraction)
    cues = []
    for block in blocks:
        lines = block.strip().split("\n")
        for i, line in enumerate(lines):
            found = re.match(r"(\d+):(\d+):(\d+)\.(\d+) --> (\d+):(\d+):(\d+)\.(\d+)", line)
            if found:
                times = found.groups()
                cues.append((ms(*times[:4]), ms(*times[4:]), "\n".join(lines[i + 1:])))
    return cues


def control_rects(kind):
    """Every label's (kind "Label") or picture's (kind "Picture") rectangle on the stage, in the
    stage's units, read from the control table in the core: {name: (x, y, w, h)}, the units per
    stage pixel and the stage's width and height in units."""
    with open(os.path.join(SOURCE, "core/controls.cpp"), encoding="utf-8") as f:
        table = f.read()
    rects = {found[0]: tuple(int(v) for v in found[1:]) for found in re.findall(
        r'\{"(\w+)",\s*ControlKind::%s,\s*\{(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\}' % kind, table)}
    with open(os.path.join(SOURCE, "core/controls.h"), encoding="utf-8") as f:
        header = f.read()
    def constant(name):
        return int(re.search(name + r" = (\d+);", header).group(1))
    return rects, constant("kUnitsPerPixel"), constant("kStageWidth"), constant("kStageHeight")


class Comparison:
    """The canvas against a desktop screenshot, pixel by pixel (`Browser.compare_canvas`)."""

    CLOSE = 48  # the largest difference in a channel that counts as close

    def __init__(self, browser, png_bytes, masks):
        self.figures = browser.compare_canvas(png_bytes, masks, self.CLOSE)
        self.size, self.expected_size = self.figures["size"], self.figures["expectedSize"]
        self.outside = self.figures["outside"]
        self.largest = self.figures["largest"]

    @property
    def identical_share(self):
        return self.figures["identical"] / self.figures["pixels"]

    @property
    def close_share(self):
        return self.figures["close"] / self.figures["pixels"]

    def summary(self):
        return ("%.3f %% identical, %.3f %% within %d, %d differing outside the labels"
                " (first %s), largest difference %d"
                % (100 * self.identical_share, 100 * self.close_share, self.CLOSE,
                   self.outside, self.figures["first"], self.largest))


def label_masks(width, height, labels, margin=2):
    """For an output of this size with the stage fitted whole and centred: the rectangles
    [left, top, right, bottom) that these labels cover, with a margin. Pictures are not masked:
    they are the same pixels on both."""
    rects, units, stage_w, stage_h = control_rects("Label")
    rects = {name: rect for name, rect in rects.items() if name in labels}
    stage_w, stage_h = stage_w / units, stage_h / units
    scale = min(width / stage_w, height / stage_h)
    left0 = (width - stage_w * scale) / 2
    top0 = (height - stage_h * scale) / 2
    boxes = []
    for x, y, w, h in rects.values():
        s = scale / units
        boxes.append([int(left0 + x * s) - margin, int(top0 + y * s) - margin,
                      math.ceil(left0 + (x + w) * s) + margin,
                      math.ceil(top0 + (y + h) * s) + margin])
    return boxes


class PageTest(unittest.TestCase):
    """A test with one browser for the whole class, over the built page, in the engine that
    QUILLET3_WEB_ENGINE names."""

    width, height = 800, 600
    timeout = 60  # seconds for each step: a load, a question, a condition to come true

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(WEB_DIR, "index.html")):
            raise AssertionError("no page at %s: build it with `make web`" % WEB_DIR)
        cls.browser = browser.launch(ENGINE, WEB_DIR, cls.width, cls.height, cls.timeout)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()


# For an element: its box, the view, its font size, its colour and the first opaque background
# behind it, whether it is the topmost element at its middle and whether its text overflows.
_LOOKS = """(e => {
    if (!e) return null;
    const box = e.getBoundingClientRect();
    let back = e, background = 'rgba(0, 0, 0, 0)';
    for (; back; back = back.parentElement) {
        background = getComputedStyle(back).backgroundColor;
        if (!/rgba\\(.*, 0\\)$/.test(background)) break;
    }
    const top = document.elementFromPoint(box.left + box.width / 2, box.top + box.height / 2);
    return {box: [box.left, box.top, box.right, box.bottom], view: [innerWidth, innerHeight],
            size: parseFloat(getComputedStyle(e).fontSize), color: getComputedStyle(e).color,
            background, topmost: e.contains(top), overflows: e.scrollHeight > e.clientHeight + 1,
            text: e.textContent};
})(document.querySelector(%s))"""


def _luminance(css):
    red, green, blue = (int(v) / 255 for v in re.findall(r"\d+", css)[:3])
    linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
              for c in (red, green, blue)]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def contrast(first, second):
    """The contrast ratio of two CSS colours, from 1 to 21."""
    light, dark = sorted((_luminance(first), _luminance(second)), reverse=True)
    return (light + 0.05) / (dark + 0.05)


def unreadable(browser, selector):
    """What keeps a viewer from reading an element where it is: [] when it is whole within the
    view, on top, in 14 CSS px or more, at a contrast of 4.5 or more with what is behind it."""
    import json
    looks = browser.evaluate(_LOOKS % json.dumps(selector))
    if looks is None:
        return ["no %s" % selector]
    problems = []
    left, top, right, bottom = looks["box"]
    width, height = looks["view"]
    if not (0 <= left < right <= width and 0 <= top < bottom <= height):
        problems.append("box %s outside the view %s" % (looks["box"], looks["view"]))
    if not looks["topmost"]:
        problems.append("covered by another element")
    if looks["overflows"]:
        problems.append("its text overflows")
    if looks["size"] < 14:
        problems.append("font size %s px" % looks["size"])
    ratio = contrast(looks["color"], looks["background"])
    if ratio < 4.5:
        problems.append("contrast %.1f (%s on %s)" % (ratio, looks["color"], looks["background"]))
    return problems
