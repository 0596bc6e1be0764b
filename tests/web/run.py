"""Runs one module of the page's tests: python3 run.py test_trace

Exits 77, which CTest counts as skipped, only when Debian's chromium is not installed on this
machine (scripts/install-deps installs it, so `make test` always has it)."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from browser import find_chromium  # noqa: E402


def main():
    if not find_chromium():
        print("SKIPPED: chromium is not installed; scripts/install-deps installs it")
        return 77
    suite = unittest.defaultTestLoader.loadTestsFromNames(sys.argv[1:])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
