"""The page plays the same show as the desktop: its trace to 89000 ms, kept with `trace`, holds
the desktop program's lines for the same seed, all but the first, which names the mode."""

import json

from support import PageTest, run_program


class Trace(PageTest):
    def test_trace_is_the_desktop_trace(self):
        for seed in (1, 2, 3):
            with self.subTest(seed=seed):
                desktop = run_program("--headless", "--seed", str(seed), "--duration", "89000",
                                      "--trace", "-").decode().splitlines()
                self.browser.open("seed=%d&at=89000&trace" % seed)
                page = self.browser.evaluate("quillet3.trace()").splitlines()
                first_page, first_desktop = json.loads(page[0]), json.loads(desktop[0])
                self.assertEqual(first_desktop["mode"], "headless")
                self.assertNotEqual(first_page.get("mode"), "headless", page[0])
                first_page.pop("mode", None)
                first_desktop.pop("mode")
                self.assertEqual(first_page, first_desktop)
                for number, (ours, theirs) in enumerate(zip(page[1:], desktop[1:]), 2):
                    if ours != theirs:
                        self.fail("line %d differs:\n page:    %s\n desktop: %s"
                                  % (number, ours, theirs))
                self.assertEqual(len(page), len(desktop), "number of lines")
                self.assertEqual(self.browser.console_errors(), [])
