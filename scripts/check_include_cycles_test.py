#!/usr/bin/env python3
"""The include-cycle check on small source trees made in a temporary folder."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_include_cycles.py")


class IncludeCycles(unittest.TestCase):
    def check(self, files):
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                full = os.path.join(root, path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "w", encoding="utf-8") as f:
                    f.write(text)
            run = subprocess.run([sys.executable, SCRIPT, root, "src"], capture_output=True,
                                 text=True, check=False)
            return run.returncode, run.stdout

    def test_a_source_calling_back_into_its_includer_is_a_cycle(self):
        rc, out = self.check({
            "src/ui/dlg.h": "#pragma once\n",
            "src/ui/dlg.cpp": '#include "src/ui/dlg.h"\n#include "src/ui/aids.h"\n',
            "src/ui/aids.h": "#pragma once\n",
            "src/ui/aids.cpp": '#include "src/ui/aids.h"\n#include "src/ui/dlg.h"\n',
        })
        self.assertEqual(1, rc)
        self.assertIn("src/ui/aids, src/ui/dlg", out)
        self.assertIn("src/ui/aids.cpp includes src/ui/dlg.h", out)

    def test_part_files_and_member_definitions_belong_to_their_header(self):
        # dlg_import.cpp is a part of dlg; keys.cpp defines CAids's members: both close cycles.
        rc, out = self.check({
            "src/dlg.h": "class CDlg {\n};\n",
            "src/dlg_import.cpp": '#include "src/dlg.h"\n#include "src/aids.h"\n',
            "src/aids.h": "class CAids : public Base {\n};\n",
            "src/keys.cpp": '#include "src/aids.h"\n#include "src/dlg.h"\n'
                            "bool CAids::HandleKey(int key) {\n    return CDlg::Open(key);\n}\n",
        })
        self.assertEqual(1, rc)
        self.assertIn("src/keys.cpp includes src/dlg.h", out)
        self.assertIn("src/dlg_import.cpp includes src/aids.h", out)

    def test_layers_and_tests_are_no_cycle(self):
        rc, out = self.check({
            "src/low.h": "#pragma once\n",
            "src/low.cpp": '#include "src/low.h"\n',
            "src/high.h": '#include "src/low.h"\n',
            "src/high.cpp": '#include "src/high.h"\n#include "src/low.h"\n',
            # A test of low that uses high is no dependency of low.
            "src/low_test.cpp": '#include "src/low.h"\n#include "src/high.h"\n',
            "src/other.h": '#include "<system>"\n#include "missing/file.h"\n',
        })
        self.assertEqual((0, ""), (rc, out))


if __name__ == "__main__":
    unittest.main()
