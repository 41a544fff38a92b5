"""`make deb`: the package's files, owners and dependencies; lintian, appstreamcli,
desktop-file-validate and man on what it holds; and the installed program keeping
its settings in ~/.config/tovlan. As root the package is installed for real with
dpkg and removed again, which must leave nothing of it behind.

Run by ctest (label "install") through tests/e2e/desktop.sh, with TOVLAN_BUILD
naming the build folder.
"""

import glob
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ElementTree

import pyatspi

from test_install import ICON_SIZES, desktop_entry, exec_command
from tovlan_e2e import Launcher, read_bytes, settings_file_bytes
from xdesktop import wait_until

BUILD = os.environ.get("TOVLAN_BUILD", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH")
ICON_FILES = {f"usr/share/icons/hicolor/{n}x{n}/apps/tovlan.png" for n in ICON_SIZES}
PACKAGE_FILES = ICON_FILES | {
    "usr/bin/tovlan", "usr/lib/tovlan/tovlan", "usr/share/applications/tovlan.desktop",
    "usr/share/man/man1/tovlan.1.gz", "usr/share/doc/tovlan/copyright",
    "usr/share/doc/tovlan/changelog.gz"}
# Linked from the binary, and loaded or run by it.
DEPENDS = {"libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins",
           "fonts-ipafont-gothic", "qt6-translations-l10n", "libglib2.0-0", "shared-mime-info",
           "xdg-utils"}
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"


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


def dpkg(*arguments):
    """dpkg, waiting up to 30 s for another package tool to let go of its lock. With the
    dependencies present, apt install ./tovlan_*.deb and apt remove come down to it."""
    for _ in range(60):
        result = tool("dpkg", *arguments)
        if result.returncode == 0 or "lock" not in result.stderr:
            return result
        time.sleep(0.5)
    return result


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
        # lintian takes seconds: it checks while the other tests run.
        cls.lintian = subprocess.Popen(["lintian", "--fail-on", "error,warning", cls.deb],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    @classmethod
    def tearDownClass(cls):
        cls.lintian.kill()
        cls.lintian.communicate()

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
        output, errors = self.lintian.communicate(timeout=60)
        complaints = [line for line in output.splitlines() if line[:2] in ("E:", "W:")]
        self.assertEqual((self.lintian.returncode, complaints), (0, []), errors)

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
        if is_installed("tovlan") or os.path.lexists("/usr/bin/tovlan") or (
                os.path.isdir("/usr/lib/tovlan") and os.listdir("/usr/lib/tovlan")):
            self.skipTest("tovlan is installed in /usr on this machine already; left alone")
        # What a faulty program may have written into its folder goes too.
        self.addCleanup(shutil.rmtree, "/usr/lib/tovlan", ignore_errors=True)
        # The desktop's caches (icons, menu entries, manual pages) are brought up to
        # date once, after the removal, rather than after each step.
        self.addCleanup(dpkg, "--triggers-only", "--pending")
        self.addCleanup(lambda: is_installed("tovlan") and dpkg("--no-triggers", "--remove",
                                                                "tovlan"))
        installed = dpkg("--no-triggers", "--install", self.deb)
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
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
        removed = dpkg("--no-triggers", "--remove", "tovlan")
        self.assertEqual(removed.returncode, 0, removed.stdout + removed.stderr)
        own = [path for _, _, path, _ in self.entries if "tovlan" in path]
        self.assertEqual([path for path in own if os.path.lexists("/" + path)], [])


if __name__ == "__main__":
    unittest.main()
