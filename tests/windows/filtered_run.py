"""What the runners share that start some of a Windows test program's tests
under Wine in a setting the program cannot make itself: their command line,
and the verdict on the program's run."""

import argparse
import sys


def arguments():
    """--wine WINE --filter PATTERN PROGRAM, as cmake/windows.cmake passes them."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--filter", required=True)
    parser.add_argument("program")
    return parser.parse_args()


def command(args, program):
    return [args.wine, program, f"--gtest_filter={args.filter}"]


def finish(result, setting):
    """Passes the run's output and failure on; fails it as well when its
    tests did not run (skipped, or none matched) SETTING."""
    print(result.stdout, end="")
    print(result.stderr, end="", file=sys.stderr)
    if result.returncode != 0:
        sys.exit(result.returncode)
    if "[  SKIPPED ]" in result.stdout or "[  PASSED  ] 0 tests" in result.stdout:
        print(f"FAIL: the tests did not run {setting}")
        sys.exit(1)
