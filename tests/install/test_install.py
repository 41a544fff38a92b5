"""`make install`, `make uninstall` and `make deb` on the desktop of tests/e2e/desktop.sh: the
files in place, a valid desktop entry starting the program, nothing left after removal."""

import glob
import os
import re
import shlex
import subprocess
import tempfile
import unittest

from desktop import ROOT, SCRATCH, Program, corner_gaps, geometry, wait, write_settings

BUILD = os.environ.get("TOVLAN_BUILD", "")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FILES = {f"share/icons/hicolor/{n}x{n}/apps/tovlan.png" for n in (16, 22, 24, 32, 48, 64, 128, 256)}
FILES |= {"bin/tovlan", "lib/tovlan/tovlan", "share/applications/tovlan.desktop",
          "share/man/man1/tovlan.1.gz", "share/doc/tovlan/copyright", "share/doc/tovlan/changelog.gz"}


def run(*command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    assert result.returncode == 0, f"{command} failed: {result.stdout}"
    return result.stdout


def files_under(prefix, paths=None):
    """The files under prefix, relative to it; an AppStream file's name left out."""
    paths = paths or [f"{folder}/{name}" for folder, _, names in os.walk(prefix) for name in names]
    return {re.sub(r"metainfo/.*", "metainfo/", os.path.relpath(path, prefix)) for path in paths}


@unittest.skipUnless(BUILD, "TOVLAN_BUILD is not set: run through ctest")
class InstallTest(unittest.TestCase):
    def assertStartsFromItsEntry(self, prefix, settings_folder):
        """The entry is valid and names the program, which opens in the corner that
        a settings file in settings_folder names."""
        entry, program = f"{prefix}/share/applications/tovlan.desktop", f"{prefix}/lib/tovlan/tovlan"
        self.assertEqual(run("desktop-file-validate", entry), "")
        with open(entry) as file:
            exec_line = re.search(r"^Exec=(.*)$", file.read(), re.M).group(1)
        self.assertEqual(shlex.split(exec_line.replace("\\\\", "\\").replace("%%", "%")), [program])
        os.makedirs(settings_folder, exist_ok=True)
        write_settings(settings_folder, corner=4)
        launcher = Program(SCRATCH, path=program)
        self.addCleanup(launcher.stop)
        launcher.start()
        wait(lambda: corner_gaps(launcher.window, 4, geometry(ROOT)), (0, 0))

    def test_make_install(self):
        # A space in the prefix: the entry's Exec line must quote the path.
        prefix = os.path.join(tempfile.mkdtemp(dir=SCRATCH), "my apps")
        run("cmake", "--install", BUILD, "--prefix", prefix, "--strip")
        self.assertEqual(files_under(prefix), FILES | {"share/metainfo/", "lib/tovlan/installed-files"})
        self.assertStartsFromItsEntry(prefix, f"{prefix}/lib/tovlan")
        run("make", "-C", SOURCE, "uninstall", f"PREFIX={prefix}")
        self.assertEqual(files_under(prefix), {"lib/tovlan/設定.ini"}, "the settings stay")

    def test_debian_package(self):
        if os.geteuid() != 0 or os.path.lexists("/usr/lib/tovlan"):
            self.skipTest("installs into /usr: only as root, and where no tovlan is yet")
        built = tempfile.mkdtemp(dir=SCRATCH)
        run("cpack", "-G", "DEB", "-B", built, "--config", f"{BUILD}/CPackConfig.cmake")
        [deb] = glob.glob(f"{built}/tovlan_*.deb")
        # The desktop's caches (icons, menus, manual pages) are updated once, at the end.
        self.addCleanup(run, "dpkg", "--triggers-only", "--pending")
        self.addCleanup(subprocess.run, ["dpkg", "--no-triggers", "--purge", "tovlan"],
                        capture_output=True)
        run("dpkg", "--no-triggers", "--install", deb)
        installed = [path for path in run("dpkg-query", "-L", "tovlan").split() if os.path.isfile(path)]
        self.assertEqual(files_under("/usr", installed), FILES | {"share/metainfo/"})
        # /usr counts as read-only: the program reads the user's own settings file.
        self.assertStartsFromItsEntry("/usr", os.path.join(os.environ["XDG_CONFIG_HOME"], "tovlan"))
        run("dpkg", "--no-triggers", "--remove", "tovlan")
        self.assertEqual([path for path in installed + ["/usr/lib/tovlan"] if os.path.lexists(path)], [])
        run("lintian", "--fail-on", "error,warning", deb)


if __name__ == "__main__":
    unittest.main()
