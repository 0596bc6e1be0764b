"""Runs one module of the page's tests in one browser engine:
python3 run.py [--engine chromium|firefox|webkit] test_trace

The engine is chromium unless named here or by QUILLET3_WEB_ENGINE. Exits 77, which CTest counts
as skipped, only when the engine is not installed on this machine (scripts/install-deps installs
all three, so `make test` always has them)."""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import browser  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", choices=browser.ENGINES, default=browser.engine_name())
    parser.add_argument("modules", nargs="+")
    args = parser.parse_args()
    os.environ[browser.ENGINE_VARIABLE] = args.engine
    problem = browser.missing(args.engine)
    if problem:
        print("SKIPPED: %s; scripts/install-deps installs it" % problem)
        return 77
    print("engine: %s" % args.engine)
    suite = unittest.defaultTestLoader.loadTestsFromNames(args.modules)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
