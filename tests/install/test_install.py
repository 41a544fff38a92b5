"""`make install` into a scratch prefix: a desktop entry that desktop-file-validate
accepts, icons at the sizes they claim, a program that starts from its entry and
finds its settings beside itself, and an uninstall that keeps the user's files.
`make deb`: the package's files and dependencies, lintian and the validators, and
the installed program keeping its settings in ~/.config/tovlan.

Run by ctest (label "install") through tests/e2e/desktop.sh, with TOVLAN_BUILD
naming the build folder and TOVLAN_SOURCE the source tree.
"""

import glob
import os
import shlex
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import pyatspi

from tovlan_e2e import Launcher, read_bytes, settings_file_bytes
from xdesktop import (is_viewable, managed_windows_of, outer_geometry, screen_size,
                      wait_until)

BUILD = os.environ.get("TOVLAN_BUILD", "")
SOURCE = os.environ.get("TOVLAN_SOURCE", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH")
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICON_FILES = {f"usr/share/icons/hicolor/{n}x{n}/apps/tovlan.png" for n in ICON_SIZES}
PACKAGE_FILES = ICON_FILES | {
    "usr/bin/tovlan", "usr/lib/tovlan/tovlan", "usr/share/applications/tovlan.desktop",
    "usr/share/man/man1/tovlan.1.gz", "usr/share/doc/tovlan/copyright",
    "usr/share/doc/tovlan/changelog.gz"}
# Linked from the binary, and loaded or run by it.
DEPENDS = {"libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins",
           "fonts-ipafont-gothic", "qt6-translations-l10n", "xdg-utils"}
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"


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


def tool(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def package_field(deb, name):
    return tool("dpkg-deb", "--field", deb, name).stdout.strip()


def package_entries(deb):
    """(mode, owner, path without "./", link target or None) of each entry."""
    entries = []
    for line in tool("dpkg-deb", "--contents", deb).stdout.splitlines():
        mode, owner, _, _, _, path, *link = line.split()
        entries.append((mode, owner, path.removeprefix("./").rstrip("/"),
                        link[1] if link else None))
    return entries


def is_installed(package):
    status = tool("dpkg-query", "--show", "--showformat=${Status}", package).stdout
    return status.endswith(" installed")


class InstalledLauncher(Launcher):
    """The launcher from where the package put it, with a home of its own."""

    def __init__(self, program, home):
        self.folder, self.path, self.process, self._window = home, program, None, 0
        self.environment = {key: value for key, value in os.environ.items()
                            if key != "XDG_CONFIG_HOME"}
        self.environment.update(HOME=home, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                                QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")

    def start(self, timeout=10.0):
        self.process = subprocess.Popen([self.path], cwd=self.folder, env=self.environment)
        self._window = wait_until(self._find_main_window, timeout, "the launcher window")
        return self


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not BUILD:
            raise unittest.SkipTest("TOVLAN_BUILD is not set; run through ctest")
        cls.scratch = tempfile.mkdtemp(prefix="deb-", dir=SCRATCH)
        built = tool("cpack", "-G", "DEB", "-B", cls.scratch, "--config",
                     os.path.join(BUILD, "CPackConfig.cmake"))
        if built.returncode:
            raise AssertionError(built.stdout + built.stderr)
        [cls.deb] = glob.glob(os.path.join(cls.scratch, "tovlan_*.deb"))
        cls.entries = package_entries(cls.deb)
        cls.root = os.path.join(cls.scratch, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    def test_package_names_its_files_and_dependencies(self):
        architecture = tool("dpkg", "--print-architecture").stdout.strip()
        version = package_field(self.deb, "Version")
        self.assertIn(f"VERSION:STATIC={version}\n",
                      open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8").read())
        self.assertEqual(os.path.basename(self.deb), f"tovlan_{version}_{architecture}.deb")
        depends = {alternative.split()[0] for alternative
                   in package_field(self.deb, "Depends").replace("|", ",").split(",")}
        self.assertLessEqual(DEPENDS, depends)

        files = {path for mode, _, path, _ in self.entries if not mode.startswith("d")}
        [metainfo] = [path for path in files if path.startswith("usr/share/metainfo/")]
        self.assertEqual(files, PACKAGE_FILES | {metainfo})
        for mode, owner, path, link in self.entries:
            with self.subTest(path):
                self.assertEqual(owner, "root/root")
                expected = {"d": "drwxr-xr-x", "l": "lrwxrwxrwx"}.get(mode[0], "-rw-r--r--")
                if path == "usr/lib/tovlan/tovlan":
                    expected = "-rwxr-xr-x"
                self.assertEqual(mode, expected)
                self.assertEqual(link, "../lib/tovlan/tovlan" if path == "usr/bin/tovlan" else None)

    def test_lintian_and_the_validators_accept_it(self):
        lintian = tool("lintian", "--fail-on", "error,warning", self.deb)
        complaints = [line for line in lintian.stdout.splitlines() if line[:2] in ("E:", "W:")]
        self.assertEqual((lintian.returncode, complaints), (0, []), lintian.stderr)

        [metainfo] = glob.glob(os.path.join(self.root, "usr/share/metainfo/*.metainfo.xml"))
        entry = os.path.join(self.root, "usr/share/applications/tovlan.desktop")
        self.assertEqual(exec_command(desktop_entry(entry)["Exec"]), ["/usr/lib/tovlan/tovlan"])
        for command in (["appstreamcli", "validate", "--no-net", metainfo],
                        ["desktop-file-validate", entry]):
            with self.subTest(command[0]):
                result = tool(*command)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(os.path.basename(metainfo), component.findtext("id") + ".metainfo.xml")
        self.assertEqual(component.findtext("launchable"), "tovlan.desktop")
        for element in ("summary", "description/p"):
            languages = {node.get(XML_LANG) for node in component.findall(element)}
            self.assertEqual(languages, {None, "ja"}, element)
        self.assertTrue(component.findtext("screenshots/screenshot/image"))
        self.assertIsNotNone(component.find("content_rating"))

        manual = tool("man", "--warnings", "-E", "UTF-8", "-l",
                      os.path.join(self.root, "usr/share/man/man1/tovlan.1.gz"),
                      env=dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80"))
        self.assertEqual((manual.returncode, manual.stderr), (0, ""))
        for text in ("NAME", "SYNOPSIS", "FILES", "MESSAGES", "XDG_CONFIG_HOME", "設定.ini",
                     "書き込みエラー"):
            self.assertIn(text, manual.stdout)

    def install(self):
        """Installs the package as a user does, where this test may (as root), and answers
        the program's folder; elsewhere makes the unpacked copy's folder read-only."""
        if os.geteuid() != 0:
            folder = os.path.join(self.root, "usr/lib/tovlan")
            os.chmod(folder, 0o555)
            self.addCleanup(os.chmod, folder, 0o755)
            return folder
        if is_installed("tovlan"):
            self.skipTest("tovlan is installed on this machine already; left alone")
        apt = ("apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=30")
        installed = tool(*apt, "install", os.path.abspath(self.deb))
        self.addCleanup(lambda: is_installed("tovlan") and tool(*apt, "remove", "tovlan"))
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
        self.remove_command = apt + ("remove", "tovlan")
        return "/usr/lib/tovlan"

    def test_installed_program_keeps_its_settings_in_the_users_config_folder(self):
        folder = self.install()
        program = os.path.join(os.path.dirname(os.path.dirname(folder)), "bin", "tovlan")
        home = tempfile.mkdtemp(prefix="home-", dir=SCRATCH)
        with InstalledLauncher(program, home).start() as launcher:
            menu = launcher.open_popup_menu(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行"))
            launcher.choose_menu_item(menu, "設定", "位置", "右下")
            settings = os.path.join(home, ".config", "tovlan", "設定.ini")
            wait_until(lambda: os.path.exists(settings), 5.0, "the settings file")
            self.assertEqual(read_bytes(settings), settings_file_bytes(corner=4))
        self.assertEqual(os.listdir(folder), ["tovlan"])
        if os.geteuid() != 0:
            return

        # Removing the package leaves nothing of it behind.
        removed = tool(*self.remove_command)
        self.assertEqual(removed.returncode, 0, removed.stdout + removed.stderr)
        left = [path for _, _, path, _ in self.entries
                if "tovlan" in path]
        self.assertEqual([path for path in left if os.path.lexists("/" + path)], [])


if __name__ == "__main__":
    unittest.main()
