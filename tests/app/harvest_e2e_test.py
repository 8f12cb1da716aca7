#!/usr/bin/env python3
"""The whole harvest, end to end: the real program against the bundled record site with its faults
switched on, checked through the database, the log and the site's own request counts."""

import argparse
import collections
import json
import os
import random
import shutil
import sqlite3
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import record_site  # noqa: E402

HARVESTER = None  # set from the command line
LAST = record_site.LAST_PAGE_ID

STORED, DELETED, NO_NAME = " 入库成功！", " 没有记录，无法抓取", " 没有菜品名，入库失败"

FAULTS = ["--deleted", "5,9-11", "--no-name", "20", "--partial", "30", "--always-empty", "40",
          "--empty-first", "3:50", "--utf8", "60", "--gbk-caps", "61", "--error-page", "70",
          "--redirect", "80", "--close", "90", "--slow", "100", "--slow-ms", "1500"]


class Site:
    def __init__(self, args):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools", "record_site.py"), "--port", "0"] + args,
            stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        assert line.startswith("listening on "), line
        self.address = line.split()[-1]
        parser = argparse.ArgumentParser()
        record_site.fault_options(parser)
        self.faults = record_site.Faults(parser.parse_args(args))

    def counts(self):
        context = ssl._create_unverified_context()
        with urllib.request.urlopen(self.address + "/_stats", context=context) as answer:
            return json.loads(answer.read())

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.process.stdout.close()


class Program:
    """The harvester copied into a folder of its own, where it looks for data.db."""

    def __init__(self, with_database=True, with_table=True):
        self.folder = tempfile.mkdtemp(prefix="harvest-e2e-")
        self.binary = os.path.join(self.folder, "harvester")
        shutil.copy(HARVESTER, self.binary)
        self.database = os.path.join(self.folder, "data.db")
        if with_database:
            with sqlite3.connect(self.database) as db:
                if with_table:
                    with open(os.path.join(ROOT, "tools", "food_schema.sql")) as schema:
                        db.executescript(schema.read())
                else:
                    db.execute("CREATE TABLE other (x)")

    def run(self, site, *extra, timeout=300):
        started = time.monotonic()
        result = subprocess.run([self.binary, "--site", site.address, "-platform", "offscreen",
                                 *extra], capture_output=True, text=True, timeout=timeout,
                                env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return result, time.monotonic() - started

    def rows(self):
        with sqlite3.connect(self.database) as db:
            return [tuple(row) for row in db.execute("SELECT * FROM food")]

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def log_by_id(stdout):
    lines = collections.defaultdict(list)
    for line in stdout.splitlines():
        number, _, rest = line.partition(" ")
        if number.isdigit():
            lines[int(number)].append(" " + rest)
    return lines


def expected_lines(page_id, faults):
    retries = lambda n: [f" 正在尝试{k}次抓取" for k in range(2, n + 2)]
    if page_id in faults.always_empty or page_id in faults.close:
        return retries(11) + [NO_NAME]
    before = retries(faults.empty_first.get(page_id, 0))
    if page_id in faults.deleted:
        return before + [DELETED]
    if page_id in faults.no_name or page_id in faults.error_page:
        return before + [NO_NAME]
    return before + [STORED]


class HarvestEndToEnd(unittest.TestCase):
    def test_command_line(self):
        cases = [(["--help"], 0, "Usage: "), (["--version"], 0, "harvester "),
                 (["--bogus"], 2, "unknown option '--bogus'"),
                 (["--site"], 2, "option --site needs a URL"),
                 (["--site", "ftp://x"], 2, "needs an http or https URL")]
        for args, code, text in cases:
            result = subprocess.run([HARVESTER, *args], capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, code, args)
            self.assertIn(text, result.stdout + result.stderr, args)

    def test_full_crawl_with_faults(self):
        site, program = Site(FAULTS), Program()
        try:
            # Someone holds data.db locked for a moment while the harvest runs.
            def hold_lock():
                time.sleep(4)
                db = sqlite3.connect(program.database, timeout=10)
                db.execute("BEGIN EXCLUSIVE")
                time.sleep(1.5)
                db.rollback()
                db.close()
            holder = threading.Thread(target=hold_lock)
            holder.start()
            result, _ = program.run(site, "--start", "--quit-when-done")
            holder.join()
            self.assertEqual(result.returncode, 0, result.stderr)

            expected = [tuple(r) for r in (record_site.expected_row(i, site.faults)
                                           for i in range(1, LAST + 1)) if r is not None]
            rows = program.rows()
            self.assertEqual(collections.Counter(rows), collections.Counter(expected))
            names = {row[0] for row in rows}
            for special in record_site.SPECIAL_NAMES.values():
                self.assertIn(special, names)

            logs = log_by_id(result.stdout)
            for page_id in range(1, LAST + 1):
                self.assertEqual(logs[page_id], expected_lines(page_id, site.faults), page_id)
            for page_id in logs:
                if page_id > LAST:
                    self.assertEqual(logs[page_id], [DELETED], page_id)

            counts = site.counts()
            for page_id in range(1, LAST):
                if page_id in site.faults.always_empty or page_id in site.faults.close:
                    want = 11
                else:
                    want = site.faults.empty_first.get(page_id, 0) + 1
                self.assertEqual(counts.get(str(page_id)), want, page_id)
            self.assertEqual(counts.get("80+moved"), 1)
            self.assertEqual(counts.get(str(LAST)), 2, "the reference page and its record")
        finally:
            site.stop()
            program.remove()

    def test_without_a_usable_database_nothing_is_stored_or_created(self):
        site = Site([])
        try:
            for with_database in (False, True):
                program = Program(with_database=with_database, with_table=False)
                try:
                    result, _ = program.run(site, "--start", "--quit-when-done")
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertNotIn(STORED, result.stdout)
                    for page_id, lines in log_by_id(result.stdout).items():
                        self.assertGreater(page_id, LAST, "only pages past the end log a line")
                    if not with_database:
                        self.assertFalse(os.path.exists(program.database), "never created")
                        continue
                    with sqlite3.connect(program.database) as db:
                        tables = [r[0] for r in db.execute("SELECT name FROM sqlite_master")]
                    self.assertEqual(tables, ["other"])
                finally:
                    program.remove()
        finally:
            site.stop()

    def test_closing_at_random_moments_ends_promptly_and_keeps_whole_rows(self):
        # Slow pages (a 30-second answer), empty pages being retried and ordinary ones, at once.
        site = Site(["--slow", "3-1449/7", "--slow-ms", "30000", "--always-empty", "2,9,16",
                     "--empty-first", "2:4,11"])
        rng = random.Random(20261211)
        try:
            for _ in range(3):
                program = Program()
                try:
                    close_after = rng.randint(800, 4000)
                    result, took = program.run(site, "--start", "--close-after", str(close_after),
                                               timeout=120)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertLess(took, close_after / 1000 + 4.0, "ends within the bound")
                    with sqlite3.connect(program.database) as db:
                        self.assertEqual(db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
                    every_row = {tuple(record_site.expected_row(i, site.faults) or [])
                                 for i in range(1, LAST + 1)}
                    for row in program.rows():
                        self.assertIn(row, every_row)
                finally:
                    program.remove()
        finally:
            site.stop()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--harvester", required=True)
    args, rest = parser.parse_known_args()
    HARVESTER = args.harvester
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
