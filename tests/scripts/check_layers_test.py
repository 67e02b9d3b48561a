#!/usr/bin/env python3
"""The include checker passes the project's own tree and fails, with the file, line and rule, on a tree
where one include runs against the table."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
CHECKER = os.path.join(ROOT, "scripts", "check_layers.py")


def run_checker(src):
    return subprocess.run([sys.executable, CHECKER, src], capture_output=True, text=True)


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.src = tempfile.mkdtemp(prefix="qm-layers-")
        self.addCleanup(shutil.rmtree, self.src)
        shutil.copy(os.path.join(ROOT, "src", "layers.txt"), self.src)

    def plant(self, relative, text):
        path = os.path.join(self.src, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def test_the_project_tree_keeps_the_rule(self):
        result = run_checker(os.path.join(ROOT, "src"))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_allowed_includes_pass(self):
        self.plant("forms/form.h", '#include <vector>\n#include "ports/desktop.h"\n#include "forms/control.h"\n')
        self.plant("watch/hub.cc", '#include "monitor/ie_monitor.h"\n#include "shell/win_system.h"\n')
        self.plant("platform/qt/qt_x.cc", '#include <QWidget>\n#include <unistd.h>\n#include "forms/form.h"\n')
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_an_include_of_a_higher_layer_fails_with_file_line_and_rule(self):
        self.plant("forms/timer.h", '#pragma once\n\n#include "ui/ie_set.h"\n')
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("forms/timer.h:3:", result.stdout)
        self.assertIn('"ui/ie_set.h" of ui, which forms may not include', result.stdout)
        self.assertIn("forms may include base ports", result.stdout)

    def test_an_os_header_in_the_core_fails(self):
        self.plant("base/text.cc", "#include <string>\n#include <windows.h>\n")
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("base/text.cc:2: includes <windows.h>", result.stdout)

    def test_one_adapter_including_another_fails(self):
        self.plant("platform/qt/qt_platform.h", '#include "platform/posix/unique_fd.h"\n')
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("platform/qt/qt_platform.h:1:", result.stdout)

    def test_a_folder_missing_from_the_table_fails(self):
        self.plant("newthing/x.h", "#include <string>\n")
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 1)
        self.assertIn("has no line in", result.stdout)

    def test_a_damaged_table_is_an_error_of_its_own(self):
        with open(os.path.join(self.src, "layers.txt"), "a") as f:
            f.write("broken base ports\n")
        result = run_checker(self.src)
        self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    unittest.main()
