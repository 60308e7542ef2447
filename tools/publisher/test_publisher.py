#!/usr/bin/env python3
"""Checks of the publisher on small folders (run by ctest natively)."""
import hashlib
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import publish  # noqa: E402


class PublisherTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.temp.name, "root")
        self.source = os.path.join(self.temp.name, "src")
        os.makedirs(self.source)

    def tearDown(self):
        self.temp.cleanup()

    def put(self, rel, data=b"x", mtime_ns=1700000000123456700):
        path = os.path.join(self.source, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, ns=(mtime_ns, mtime_ns))

    def published(self, target="Main"):
        with open(os.path.join(self.root, target, "published")) as f:
            name = f.read()
        return os.path.join(self.root, target, "generations", name)

    def test_manifest_lines_header_and_data(self):
        self.put("b/z.dll", b"hello")
        self.put("a.txt", b"")
        self.put("\u30c7\u30fc\u30bf/\u30d5.txt", b"jp")
        self.put("B.txt", b"upper")
        self.assertEqual(publish.main(["--root", self.root, "--target", "Main",
                                       "--source", self.source, "--label", "L1"]), 0)
        gen = self.published()
        listing = open(os.path.join(gen, "updFiles.dat"), "rb").read()
        lines = listing.decode("utf-8").splitlines()
        # Ordered by UTF-8 bytes: upper case before lower, Japanese last.
        self.assertEqual([l.split(",", 4)[4] for l in lines],
                         ["B.txt", "a.txt", "b/z.dll", "\u30c7\u30fc\u30bf/\u30d5.txt"])
        sha, size, extra, time, path = lines[2].split(",", 4)
        self.assertEqual(sha, hashlib.sha256(b"hello").hexdigest().upper())
        self.assertEqual((size, extra), ("5", ""))
        # 1700000000.1234567 s after 1970 in 100 ns units after 1601.
        self.assertEqual(int(time), 116444736000000000 + 17000000001234567)
        header = open(os.path.join(gen, "updHeader.dat"), "rb").read().decode()
        self.assertEqual(header, "L1,4,%s\n" % hashlib.sha256(listing).hexdigest().upper())
        with open(os.path.join(gen, "data", "b", "z.dll"), "rb") as f:
            self.assertEqual(f.read(), b"hello")
        self.assertEqual(os.stat(os.path.join(gen, "data", "b", "z.dll")).st_mtime_ns,
                         1700000000123456700)

    def test_names_the_client_refuses_are_refused_and_nothing_changes(self):
        self.put("ok.txt")
        self.assertEqual(publish.main(["--root", self.root, "--target", "External",
                                       "--source", self.source]), 0)
        before = self.published("External")
        for bad in ["nul .txt", "CON", "com1.log", "lpt\u00b2", "conin$", "a.", "b ",
                    "x:y", "q?", "back\\slash", "tab\there", "sub/AUX.dat"]:
            with self.subTest(bad=bad):
                self.put(bad)
                self.assertEqual(publish.main(["--root", self.root, "--target", "External",
                                               "--source", self.source]), 1)
                self.assertEqual(self.published("External"), before)
                os.remove(os.path.join(self.source, *bad.split("/")))
        leftovers = [n for n in os.listdir(os.path.join(self.root, "External", "generations"))
                     if n.startswith(".")]
        self.assertEqual(leftovers, [])

    def test_names_that_differ_only_in_case_are_refused(self):
        self.put("Data.bin")
        self.put("data.BIN")
        self.assertEqual(publish.main(["--root", self.root, "--target", "Main",
                                       "--source", self.source]), 1)
        self.assertFalse(os.path.exists(os.path.join(self.root, "Main", "published")))

    def test_rules_match_the_client_on_its_own_table(self):
        good = ["a.txt", "dir/sub/file.dll", ".hidden", "CONSOLE.txt", "COM0", "com10",
                "Lpt", "x .y", "COM\u00b9x"]
        bad = ["", "/a", "a/", "a//b", "a/./b", "a/../b", "..", "a.", "a ", "a /b", "con",
               "Con.txt", "aux.tar.gz", "clock$", "COM1", "lpt9.log", "CONOUT$.x",
               "COM\u00b3", "nul .txt"]
        for path in good:
            self.assertIsNone(publish.path_problem(path), path)
        for path in bad:
            self.assertIsNotNone(publish.path_problem(path), path)

    def test_a_second_generation_replaces_the_published_one(self):
        self.put("f", b"1")
        publish.main(["--root", self.root, "--target", "Main", "--source", self.source])
        first = self.published()
        self.put("f", b"2")
        publish.main(["--root", self.root, "--target", "Main", "--source", self.source])
        second = self.published()
        self.assertNotEqual(first, second)
        self.assertTrue(os.path.isdir(first))  # kept for clients still reading it


if __name__ == "__main__":
    unittest.main()
