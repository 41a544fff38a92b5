"""`make install` into a scratch prefix: a desktop entry that desktop-file-validate
accepts, icons at the sizes they claim, a program that starts from its entry and
finds its settings beside itself, and an uninstall that keeps the user's files.

Run by ctest (label "install") through tests/e2e/desktop.sh, with TOVLAN_BUILD
naming the build folder and TOVLAN_SOURCE the source tree.
"""

import os
import shlex
import struct
import subprocess
import tempfile
import unittest

from xdesktop import (is_viewable, managed_windows_of, outer_geometry, screen_size,
                      wait_until)

BUILD = os.environ.get("TOVLAN_BUILD", "")
SOURCE = os.environ.get("TOVLAN_SOURCE", "")
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def png_size(path):
    with open(path, "rb") as file:
        head = file.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as file:
        for line in file:
            key, sep, value = line.rstrip("\n").partition("=")
            if sep:
                entry[key] = value
    return entry


def exec_command(value):
    """The Exec value as an argument list: the value's escapes first, then the
    command line's quoting, which follows the shell's double quotes."""
    unescaped = value.replace("\\\\", "\\")
    return shlex.split(unescaped.replace("%%", "%"))


def write_settings(folder, corner):
    """A settings file with an empty start-up list and the corner code (CP932, CR LF)."""
    lines = ["", "", f" {corner} "] * 4
    with open(os.path.join(folder, "設定.ini"), "wb") as file:
        file.write("".join(line + "\r\n" for line in lines).encode("cp932"))


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not BUILD or not SOURCE:
            raise unittest.SkipTest("TOVLAN_BUILD and TOVLAN_SOURCE are not set; run through ctest")
        scratch = tempfile.mkdtemp(prefix="install-", dir=os.environ.get("TOVLAN_E2E_SCRATCH"))
        # A space in the prefix: the entry's Exec line must quote the path.
        cls.prefix = os.path.join(scratch, "my apps")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix, "--strip"],
                       check=True, capture_output=True)
        cls.folder = os.path.join(cls.prefix, "lib", "tovlan")
        cls.entry_path = os.path.join(cls.prefix, "share", "applications", "tovlan.desktop")

    def test_desktop_entry_is_valid_and_names_the_program(self):
        result = subprocess.run(["desktop-file-validate", self.entry_path],
                                capture_output=True, text=True)
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))
        entry = desktop_entry(self.entry_path)
        self.assertEqual(exec_command(entry["Exec"]), [os.path.join(self.folder, "tovlan")])
        self.assertEqual(entry["Icon"], "tovlan")
        self.assertIn("Utility", entry["Categories"].split(";"))
        self.assertTrue(entry.get("Comment") and entry.get("Comment[ja]"))

    def test_icons_have_the_sizes_of_their_folders(self):
        for size in ICON_SIZES:
            path = os.path.join(self.prefix, "share", "icons", "hicolor", f"{size}x{size}",
                                "apps", "tovlan.png")
            with self.subTest(size=size):
                self.assertEqual(png_size(path), (size, size))

    def start(self, command, cwd):
        process = subprocess.Popen(command, cwd=cwd)
        self.addCleanup(process.wait)
        self.addCleanup(process.terminate)

        def window():
            if process.poll() is not None:
                raise AssertionError(f"{command} exited with {process.returncode}")
            return next((w for w in managed_windows_of(process.pid) if is_viewable(w)), 0)
        return wait_until(window, 10.0, "the installed launcher's window")

    def test_program_starts_from_its_entry_and_reads_settings_beside_itself(self):
        write_settings(self.folder, 4)
        elsewhere = tempfile.mkdtemp(dir=os.environ.get("TOVLAN_E2E_SCRATCH"))
        width, height = screen_size()
        for how, command in (
                ("desktop entry", exec_command(desktop_entry(self.entry_path)["Exec"])),
                ("link in bin", [os.path.join(self.prefix, "bin", "tovlan")])):
            with self.subTest(how):
                window = self.start(command, elsewhere)
                # Corner 4 from the settings file: the frame ends at the screen's corner.
                wait_until(lambda: (outer_geometry(window).right, outer_geometry(window).bottom)
                           == (width, height), 5.0, "the window in the bottom-right corner")
                self.doCleanups()

    def test_uninstall_removes_the_installed_files_and_keeps_the_settings(self):
        scratch = tempfile.mkdtemp(dir=os.environ.get("TOVLAN_E2E_SCRATCH"))
        prefix = os.path.join(scratch, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix],
                       check=True, capture_output=True)
        write_settings(os.path.join(prefix, "lib", "tovlan"), 1)
        subprocess.run(["cmake", f"-DPREFIX={prefix}", "-P",
                        os.path.join(SOURCE, "packaging", "uninstall.cmake")],
                       check=True, capture_output=True)
        left = [os.path.relpath(os.path.join(folder, name), prefix)
                for folder, _, names in os.walk(prefix) for name in names]
        self.assertEqual(left, [os.path.join("lib", "tovlan", "設定.ini")])


if __name__ == "__main__":
    unittest.main()
