#!/usr/bin/env python3
"""Prints the one closing line of scripts/test.sh: how many tests passed,
which failed, and every test that was skipped, wholly or in part, with why.

    test-summary.py RESULTS_DIR [EXIT_STATUS]

RESULTS_DIR holds one JUnit file per ctest run (ctest --output-junit), named
after the run (windows.xml, host.xml, ...); runs are listed in the order the
files were written.  A test is skipped when ctest says so: its program
exited with its SKIP_RETURN_CODE (77 throughout this project) or printed
its SKIP_REGULAR_EXPRESSION.  A test that passed while cases inside it were
skipped (pytest's `SKIPPED [n] file:line: reason` under -rs, GoogleTest's
`[  SKIPPED ]`) is listed as partly skipped.  The reason is what the test
printed after `SKIPPED:` (or pytest's reason); ctest's own word otherwise.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree
from collections import OrderedDict
from pathlib import Path

# ctest's <skipped message=...> for a test that chose to skip.
CHOSEN_SKIPS = {"SKIP_RETURN_CODE=", "SKIP_REGULAR_EXPRESSION_MATCHED"}
REASON = re.compile(r"SKIPPED(?: \[\d+\] \S+?:\d+)?: *(\S.*)")
GTEST_SKIPPED = re.compile(r"^\[  SKIPPED \] (\S+)$", re.M)
# Characters XML 1.0 does not allow, which a test's output may carry.
NOT_XML = re.compile(r"[\x00-\x08\x0b\x0c\x0e-\x1f]")


def reasons(output):
    found = list(OrderedDict.fromkeys(m.group(1).strip() for m in REASON.finditer(output)))
    cases = list(OrderedDict.fromkeys(GTEST_SKIPPED.findall(output)))
    if cases:
        found.append(f"GoogleTest skipped {len(cases)}: {', '.join(cases)}")
    return found


def read_run(path):
    text = NOT_XML.sub("", path.read_text(errors="replace"))
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return [("not run", path.name, [f"unreadable results: {error}"])]
    results = []
    for case in root.iter("testcase"):
        output = case.findtext("system-out") or ""
        skipped = case.find("skipped")
        if case.get("status") == "disabled":
            results.append(("skipped", case.get("name"), ["disabled"]))
        elif skipped is not None:
            message = skipped.get("message", "")
            if any(message.startswith(m) for m in CHOSEN_SKIPS):
                results.append(("skipped", case.get("name"), reasons(output) or [f"no reason given ({message})"]))
            else:
                results.append(("not run", case.get("name"), [message]))
        elif case.find("failure") is not None or case.get("status") == "fail":
            results.append(("failed", case.get("name"), []))
        else:
            results.append(("passed", case.get("name"), reasons(output)))
    return results


def grouped(entries):
    """Tests by reason, and within a reason by run, runs with the same tests
    together: 'run, run: a, b; run: c (why) | run: d (why)'."""
    by_reason = OrderedDict()
    for run, name, why in entries:
        by_reason.setdefault("; ".join(why), OrderedDict()).setdefault(run, []).append(name)
    groups = []
    for why, runs in by_reason.items():
        by_tests = OrderedDict()
        for run, names in runs.items():
            by_tests.setdefault(tuple(names), []).append(run)
        tests = "; ".join(f"{', '.join(runs)}: {', '.join(names)}" for names, runs in by_tests.items())
        groups.append(tests + (f" ({why})" if why else ""))
    return " | ".join(groups)


def summary(results_dir, status):
    runs = sorted(Path(results_dir).glob("*.xml"), key=lambda p: (p.stat().st_mtime_ns, p.name))
    counts = OrderedDict((kind, 0) for kind in ("passed", "skipped", "failed", "not run"))
    lists = {kind: [] for kind in counts}
    partly = []
    for path in runs:
        for kind, name, why in read_run(path):
            counts[kind] += 1
            if kind == "passed":
                if why:
                    partly.append((path.stem, name, why))
            else:
                lists[kind].append((path.stem, name, why))
    head = "test summary: " + ("PASSED" if status == 0 else f"FAILED (exit status {status})")
    parts = [", ".join(f"{n} {kind}" for kind, n in counts.items() if n or kind == "passed")
             + f" in {len(runs)} ctest runs ({', '.join(p.stem for p in runs) or 'none'})"]
    for kind in ("failed", "not run"):
        if lists[kind]:
            parts.append(f"{kind.capitalize()}: {grouped(lists[kind])}")
    parts.append(f"Skipped: {grouped(lists['skipped'])}" if lists["skipped"] else "Nothing skipped")
    if partly:
        parts.append(f"Partly skipped: {grouped(partly)}")
    return f"{head}: " + ". ".join(parts).replace("\n", " ")


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    print(summary(argv[1], int(argv[2]) if len(argv) == 3 else 0))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
