#!/usr/bin/env python3
"""The layer check passes on the sources and fails on a planted upward include.

Usage: layers_test.py SOURCE_FOLDER
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers.py"
SOURCES = None


def check(folder):
    return subprocess.run([sys.executable, str(CHECKER), str(folder)], capture_output=True, text=True)


class LayersTest(unittest.TestCase):
    def test_the_sources_include_only_from_their_own_layer_and_below(self):
        result = check(SOURCES)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_planted_upward_include_is_caught_with_its_place(self):
        cases = [
            ("shell/formWeb.cpp", "mail_window/Email.h"),
            ("message/IdMessage.cpp", "protocols/IdSMTP.h"),
            ("mail_window/Email.h", "shell/formWeb.h"),
            ("net/IdStack.cpp", "platform/Registry.h"),
        ]
        for planted_in, included in cases:
            with self.subTest(planted_in=planted_in, included=included), tempfile.TemporaryDirectory() as temp:
                copy = pathlib.Path(temp) / "src"
                shutil.copytree(SOURCES, copy)
                target = copy / planted_in
                target.write_text(target.read_text() + f'\n#include "{included}"\n')
                result = check(copy)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(f"{planted_in}:", result.stdout)
                self.assertIn(included, result.stdout)


if __name__ == "__main__":
    SOURCES = pathlib.Path(sys.argv.pop(1))
    unittest.main(verbosity=2)
