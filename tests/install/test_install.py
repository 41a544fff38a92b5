"""`make install`, `make uninstall` and `make deb`: every file in its place, a
desktop entry the validator accepts whose command starts the installed program
with its settings read, and nothing of it left after removal. Run by ctest
(label "install") on the desktop of tests/e2e/desktop.sh, TOVLAN_BUILD naming
the build folder."""

import glob
import os
import re
import shlex
import subprocess
import tempfile
import unittest

from desktop import SCRATCH, Program, corner_gaps, screen, wait, write_settings

BUILD = os.environ.get("TOVLAN_BUILD", "")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ICONS = {f"share/icons/hicolor/{n}x{n}/apps/tovlan.png" for n in (16, 22, 24, 32, 48, 64, 128, 256)}


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode:
        raise AssertionError(f"{command[0]} failed: {result.stdout}{result.stderr}")
    return result.stdout


def files_under(prefix):
    return {os.path.relpath(os.path.join(folder, name), prefix)
            for folder, _, names in os.walk(prefix) for name in names}


class InstallTest(unittest.TestCase):
    def setUp(self):
        if not BUILD:
            self.skipTest("TOVLAN_BUILD is not set: run through ctest")
        with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
            appstream = re.search(r"TOVLAN_APPSTREAM_ID:\w+=(.*)", cache.read()).group(1)
        self.files = ICONS | {"bin/tovlan", "lib/tovlan/tovlan", "share/applications/tovlan.desktop",
                              "share/man/man1/tovlan.1.gz", "share/doc/tovlan/copyright",
                              "share/doc/tovlan/changelog.gz", f"share/metainfo/{appstream}.metainfo.xml"}

    def assertStartsFromItsEntry(self, entry, program, settings_folder):
        """The entry passes the validator and names the program, which opens its
        window in the corner that the settings file in settings_folder names."""
        self.assertEqual(run("desktop-file-validate", entry), "")
        with open(entry) as file:
            exec_line = re.search(r"^Exec=(.*)$", file.read(), re.M).group(1)
        self.assertEqual(shlex.split(exec_line.replace("\\\\", "\\").replace("%%", "%")), [program])
        os.makedirs(settings_folder, exist_ok=True)
        write_settings(settings_folder, corner=4)
        launcher = Program(SCRATCH, path=program)
        self.addCleanup(launcher.stop)
        wait(lambda: corner_gaps(launcher.start().window, 4, screen()) == (0, 0), what="corner")
        launcher.stop()

    def test_make_install_and_uninstall(self):
        # A space in the prefix: the entry's Exec line must quote the path.
        prefix = os.path.join(tempfile.mkdtemp(dir=SCRATCH), "my apps")
        run("cmake", "--install", BUILD, "--prefix", prefix, "--strip")
        self.assertEqual(files_under(prefix), self.files | {"lib/tovlan/installed-files"})
        folder = os.path.join(prefix, "lib", "tovlan")
        self.assertStartsFromItsEntry(os.path.join(prefix, "share/applications/tovlan.desktop"),
                                      os.path.join(folder, "tovlan"), folder)
        run("cmake", f"-DPREFIX={prefix}", "-P", os.path.join(SOURCE, "packaging", "uninstall.cmake"))
        self.assertEqual(files_under(prefix), {"lib/tovlan/設定.ini"}, "the settings stay")

    def test_debian_package(self):
        if os.geteuid() != 0 or os.path.lexists("/usr/lib/tovlan"):
            self.skipTest("installs into /usr: only as root, and where no tovlan is there yet")
        built = tempfile.mkdtemp(dir=SCRATCH)
        run("cpack", "-G", "DEB", "-B", built, "--config", os.path.join(BUILD, "CPackConfig.cmake"))
        [deb] = glob.glob(os.path.join(built, "tovlan_*.deb"))
        lintian = subprocess.Popen(["lintian", "--fail-on", "error,warning", deb], text=True,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.addCleanup(lintian.communicate)
        # The desktop's caches (icons, menus, manual pages) are updated once, at the end.
        self.addCleanup(run, "dpkg", "--triggers-only", "--pending")
        self.addCleanup(subprocess.run, ["dpkg", "--no-triggers", "--purge", "tovlan"],
                        capture_output=True)
        run("dpkg", "--no-triggers", "--install", deb)
        installed = {path for path in run("dpkg-query", "-L", "tovlan").split()
                     if not os.path.isdir(path)}
        self.assertEqual(installed, {"/usr/" + path for path in self.files})
        # /usr is read-only for the program: the user's settings live in their own folder.
        self.assertStartsFromItsEntry("/usr/share/applications/tovlan.desktop", "/usr/lib/tovlan/tovlan",
                                      os.path.join(os.environ["XDG_CONFIG_HOME"], "tovlan"))
        run("dpkg", "--no-triggers", "--remove", "tovlan")
        self.assertEqual([path for path in installed if os.path.lexists(path)], [])
        self.assertFalse(os.path.lexists("/usr/lib/tovlan"), "nothing left in its folder")
        output = lintian.communicate(timeout=60)[0]
        self.assertEqual((lintian.returncode, re.findall(r"^[EW]: .*", output, re.M)), (0, []))


if __name__ == "__main__":
    unittest.main()
