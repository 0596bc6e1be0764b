#!/usr/bin/python3
"""Measures the page against its budgets, in Debian's headless Chromium, and prints the figures:

- the folder's weight (every file, fonts included);
- the time from the page's load event to its first frame (quillet3.ready), over ten loads;
- a seek with its frame painted at 1920 x 1080, over 450 seeks (median and 99th percentile);
- with --memory, at 1920 x 1080, 3840 x 2160 at device pixel ratio 2 and 16000 x 12000: the
  page's WebAssembly memory (its peak: it never shrinks) after playing and 90 seeks, and those
  seeks' work;
- the CPU of playing the whole show, Chromium's processes against the window under Xvfb at the
  same size, with the display frames the page drew in and what Chromium alone spends on a frame
  (with --cpu; about four minutes).

Usage: bench/web_budgets.py [--cpu] [--memory] [WEB_DIR [PROGRAM]]
       (default build/web and build/default/quillet3; `make web` builds the page)
Needs chromium and python3-websocket (scripts/install-deps); --cpu also Xvfb and xdotool.
Keep the machine otherwise idle: the figures are wall and CPU times.
"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests/web"))

# The figures are Chromium's.
from browser import PageError  # noqa: E402
from engine_chromium import Engine as Browser  # noqa: E402

WIDTH, HEIGHT = 1920, 1080
SHOW_MS = 89000  # from the starting click to the end of the show
TICKS = os.sysconf("SC_CLK_TCK")

# Set before the page's own script runs: notes when quillet3.ready settles.
NOTE_READY = """
(() => {
  let value;
  Object.defineProperty(window, 'quillet3', {
    configurable: true,
    get() { return value; },
    set(v) { value = v; v.ready.then(() => { window.__q3ReadyAt = performance.now(); }); },
  });
})();
"""


def folder_weight(folder):
    total = 0
    for root, _, files in os.walk(folder):
        total += sum(os.path.getsize(os.path.join(root, name)) for name in files)
    return total


def first_frames(browser, loads=10):
    """Milliseconds from the load event's start to quillet3.ready, for each load."""
    browser.send("Page.addScriptToEvaluateOnNewDocument", source=NOTE_READY)
    times = []
    for _ in range(loads):
        browser.open("seed=1", width=WIDTH, height=HEIGHT)
        browser.wait_for("window.__q3ReadyAt !== undefined", "ready noted")
        times.append(browser.evaluate(
            "window.__q3ReadyAt - performance.getEntriesByType('navigation')[0].loadEventStart"))
    return times


SEEKS = """
(async () => {
  const targets = [];
  for (let round = 0; round < %d; ++round)
    for (let i = 0; i < 90; ++i) targets.push(%r + ((i * 37 + round * 11) %% 90) * 1000 + 500);
  const work = [], wall = [];
  for (const ms of targets) {
    const t0 = performance.now();
    await quillet3.seek(ms);
    const t1 = performance.now();
    // The page asked for its frame during the seek: its callback runs before this one and
    // queues the paint, which the pause queued after it waits for.
    await new Promise(done => requestAnimationFrame(done));
    const t2 = performance.now();
    await quillet3.pause();
    const t3 = performance.now();
    work.push((t1 - t0) + (t3 - t2));
    wall.push(t3 - t0);
  }
  return [work, wall];
})()
"""


def seeks(browser, rounds=5, width=WIDTH, height=HEIGHT, ratio=1):
    """The cost of each seek with its frame at width x height CSS pixels (1920 x 1080): the
    page's work (the seek and the paint) and the wall time including the wait for the display's
    next frame."""
    browser.set_size(width, height, ratio)
    browser.open("seed=1&trace")
    browser.click(width - 40, height // 2)
    clicked = click_time(browser)
    browser.evaluate("quillet3.pause()", await_promise=True)
    browser.wait_for("quillet3.paused", "paused")
    return browser.evaluate(SEEKS % (rounds, clicked), await_promise=True)


def click_time(browser):
    import json
    lines = browser.wait_for(
        "(l => l.length && l)(quillet3.trace().split('\\n')"
        ".filter(line => line.includes('\"ev\":\"click\"')))", "the starting click")
    return json.loads(lines[0])["t"]


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def process_cpu(pids):
    """User and system CPU seconds of these processes, those that still run."""
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / TICKS


# Set before the page's own script runs: counts the display frames in which the page drew on its
# canvas (every paint of the page ends with the changed area put on it).
COUNT_FRAMES = """
(() => {
  window.__q3Frames = 0;
  let last = -1e9;
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function () {
    const now = performance.now();
    if (now - last > 12) { ++window.__q3Frames; last = now; }
    return put.apply(this, arguments);
  };
})();
"""

# A page that changes one 10-pixel square 30 times a second and draws nothing else: what
# Chromium itself spends on a frame, whatever the page draws in it.
SQUARE = """<!doctype html><html><body style="margin:0;background:#000">
<div id="square" style="width:10px;height:10px;background:#fff"></div><script>
window.__q3Frames = 0;
setInterval(() => {
  ++window.__q3Frames;
  document.getElementById('square').style.background = window.__q3Frames % 2 ? '#f00' : '#fff';
}, 33);
</script></body></html>
"""


def chromium_frame_cost(seconds=20):
    """Milliseconds of CPU, all of Chromium's processes, per frame of the square's page."""
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "index.html"), "w") as f:
            f.write(SQUARE)
        with Browser(folder, WIDTH, HEIGHT, timeout=120) as browser:
            browser.open(width=WIDTH, height=HEIGHT, wait_ready=False)
            browser.wait_for("window.__q3Frames > 10", "the square changes")
            pids = set(browser.pids)
            before, frames = process_cpu(pids), browser.evaluate("window.__q3Frames")
            time.sleep(seconds)
            spent = process_cpu(pids) - before
            return 1000 * spent / (browser.evaluate("window.__q3Frames") - frames)


def page_cpu(browser):
    """CPU seconds of Chromium's processes while the page plays the whole show at 1920 x 1080,
    and the display frames the page drew in. Processes that end during the show are counted
    until they end."""
    browser.send("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
    browser.open("seed=1", width=WIDTH, height=HEIGHT)  # no trace kept: it costs its own
    pids = set(browser.pids)
    before = process_cpu(pids)
    seen = {pid: 0.0 for pid in pids}
    clicked = browser.evaluate("quillet3.currentTime")  # a few milliseconds before the click
    browser.click(WIDTH - 40, HEIGHT // 2)
    deadline = time.monotonic() + SHOW_MS / 1000 + 60
    while (browser.evaluate("Number(quillet3.currentTime) || 0") or 0) < clicked + SHOW_MS:
        for pid in set(browser.pids) - pids:
            pids.add(pid)
        for pid in pids:
            seen[pid] = max(seen.get(pid, 0.0), process_cpu([pid]))
        if time.monotonic() > deadline:
            raise RuntimeError("the page did not reach the end of the show")
        time.sleep(0.5)
    for pid in pids:
        seen[pid] = max(seen.get(pid, 0.0), process_cpu([pid]))
    return sum(seen.values()) - before, browser.evaluate("window.__q3Frames")


def window_cpu(program):
    """CPU seconds of the window playing the whole show at 1920 x 1080 under Xvfb."""
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            raise RuntimeError("%s is not installed" % tool)
    display = ":%d" % (150 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    window = None
    try:
        deadline = time.monotonic() + 20
        while subprocess.run(["xdotool", "getmouselocation"], env=env,
                             capture_output=True).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("Xvfb did not start")
            time.sleep(0.1)
        window = subprocess.Popen([program, "--seed", "1"], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                "^Quillet 3"], env=env, capture_output=True, text=True,
                               timeout=30).stdout.split()[0]
        subprocess.run(["xdotool", "windowmove", found, "0", "0", "windowsize", found,
                        str(WIDTH), str(HEIGHT)], env=env, check=True)
        time.sleep(0.5)  # the window takes its size
        before = process_cpu([window.pid])
        subprocess.run(["xdotool", "mousemove", str(WIDTH - 40), str(HEIGHT // 2), "click", "1"],
                       env=env, check=True)
        time.sleep(SHOW_MS / 1000)
        return process_cpu([window.pid]) - before
    finally:
        if window:
            window.send_signal(signal.SIGTERM)
            window.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)


# CSS width, height and device pixel ratio.
MEMORY_SIZES = [(1920, 1080, 1), (3840, 2160, 2), (16000, 12000, 1)]


def memory_by_size(folder):
    """At each of MEMORY_SIZES: the WebAssembly memory after playing and 90 seeks, and the
    seeks' work."""
    for width, height, ratio in MEMORY_SIZES:
        with Browser(folder, WIDTH, HEIGHT, timeout=300) as browser:
            browser.note_wasm_memory()
            try:
                work, _ = seeks(browser, 1, width, height, ratio)
            except PageError as e:  # e.g. the page ran out of memory
                print("%dx%d at ratio %d: failed: %s"
                      % (width, height, ratio, str(e).split(" threw: ")[-1].splitlines()[0][:200]))
                continue
            memory = browser.wasm_memory_bytes()
            canvas = browser.evaluate("(c => c.width + 'x' + c.height)"
                                      "(document.getElementById('stage'))")
        print("%dx%d at ratio %d: WebAssembly memory %.1f MB, canvas %s, seek with its frame"
              " median %.1f ms, p99 %.1f ms" % (width, height, ratio, memory / 2**20, canvas,
                                                statistics.median(work),
                                                percentile(work, 0.99)))


def main():
    args = [a for a in sys.argv[1:] if a not in ("--cpu", "--memory")]
    cpu = "--cpu" in sys.argv[1:]
    if "--memory" in sys.argv[1:]:
        memory_by_size(args[0] if args else os.path.join(SOURCE, "build/web"))
        return
    folder = args[0] if args else os.path.join(SOURCE, "build/web")
    program = args[1] if len(args) > 1 else os.path.join(SOURCE, "build/default/quillet3")
    weight = folder_weight(folder)
    print("folder: %d bytes (%.2f MB)   budget 1.5 MB" % (weight, weight / 1e6))
    with Browser(folder, WIDTH, HEIGHT, timeout=120) as browser:
        loads = first_frames(browser)
        print("load event to first frame: median %.1f ms, max %.1f ms over %d loads"
              "   budget 300 ms" % (statistics.median(loads), max(loads), len(loads)))
    with Browser(folder, WIDTH, HEIGHT, timeout=300) as browser:
        work, wall = seeks(browser)
        print("seek with its frame at %dx%d, %d seeks: median %.1f ms, p99 %.1f ms, max %.1f ms"
              "   budget p99 20 ms" % (WIDTH, HEIGHT, len(work), statistics.median(work),
                                       percentile(work, 0.99), max(work)))
        print("  with the wait for the next display frame: median %.1f ms, p99 %.1f ms"
              % (statistics.median(wall), percentile(wall, 0.99)))
    if cpu:
        with Browser(folder, WIDTH, HEIGHT, timeout=120) as browser:
            page, frames = page_cpu(browser)
        window = window_cpu(program)
        print("whole show at %dx%d: Chromium %.2f s of CPU, the window under Xvfb %.2f s"
              " (%.2f times)   budget 2 times" % (WIDTH, HEIGHT, page, window, page / window))
        per_frame = chromium_frame_cost()
        print("  the page drew in %d display frames; Chromium spends %.1f ms of CPU on a frame"
              " of a page that changes only a 10-pixel square: %.2f s for as many frames"
              % (frames, per_frame, frames * per_frame / 1000))


if __name__ == "__main__":
    main()
