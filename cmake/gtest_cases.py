#!/usr/bin/env python3
"""Test cases named by ctest while each test program runs once.

  gtest_cases.py list PROGRAM FILTER PREFIX RESULTS FIXTURE CTEST_FILE
      Lists the cases of PROGRAM that FILTER selects and writes CTEST_FILE:
      one ctest test per case, PREFIX.Suite.Case, which shows the case's
      result from RESULTS (cat: the lightest program that does) and requires
      the ctest fixture FIXTURE (the run).

  gtest_cases.py run PROGRAM FILTER RESULTS
      Runs the cases of PROGRAM that FILTER selects in one process, then
      writes each case's result to RESULTS/Suite.Case: "passed", "skipped",
      or the failure messages. Fails when the program wrote no results, or
      when it failed while every case passed (a leak found at exit).
"""
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def cmake_quote(text):
    return "[==[" + text + "]==]"


def list_cases(program, test_filter, prefix, results, fixture, ctest_file):
    cat = shutil.which("cat")
    listing = subprocess.run([program, "--gtest_list_tests", "--gtest_filter=" + test_filter],
                             check=True, capture_output=True, text=True, timeout=120).stdout
    lines = []
    suite = ""
    for line in listing.splitlines():
        name = line.split("#")[0].strip()  # "Case  # GetParam() = ..."
        if not name:
            continue
        if not line.startswith(" "):
            suite = name
            continue
        case = suite + name
        test = cmake_quote(prefix + "." + case)
        lines.append("add_test(%s %s %s)\n" % (
            test, cmake_quote(cat), cmake_quote(os.path.join(results, case))))
        lines.append("set_tests_properties(%s PROPERTIES FIXTURES_REQUIRED %s "
                     "PASS_REGULAR_EXPRESSION \"^passed\" SKIP_REGULAR_EXPRESSION \"^skipped\")\n"
                     % (test, cmake_quote(fixture)))
    temporary = ctest_file + ".new"
    with open(temporary, "w", encoding="utf-8") as out:
        out.writelines(lines)
    os.replace(temporary, ctest_file)


def outcome(case):
    failures = [f.get("message", "") for f in case.findall("failure")]
    if failures:
        return "\n".join(failures) + "\n"
    if case.get("result") == "skipped" or case.find("skipped") is not None \
            or case.get("status") == "notrun":
        return "skipped\n"
    return "passed\n"


def run_cases(program, test_filter, results):
    shutil.rmtree(results, ignore_errors=True)
    os.makedirs(results)
    report = os.path.join(results, "report.xml")
    status = subprocess.run([program, "--gtest_filter=" + test_filter,
                             "--gtest_output=xml:" + report]).returncode
    if not os.path.exists(report):
        print("%s ended (status %d) before writing the results of its cases" % (program, status))
        return 1
    failed = False
    for case in ElementTree.parse(report).iter("testcase"):
        name = case.get("classname") + "." + case.get("name")
        text = outcome(case)
        failed = failed or text not in ("passed\n", "skipped\n")
        path = os.path.join(results, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
    if status != 0 and not failed:
        print("%s failed (status %d) after every case passed" % (program, status))
        return 1
    return 0


def main(argv):
    if len(argv) == 8 and argv[1] == "list":
        list_cases(*argv[2:])
        return 0
    if len(argv) == 5 and argv[1] == "run":
        return run_cases(*argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
