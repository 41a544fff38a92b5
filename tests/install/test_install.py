"""`make install`, `make uninstall` and `make deb` on the desktop of tests/e2e/desktop.sh: the
files in place, a valid desktop entry starting the program, nothing left after removal."""

import glob
import os
import pathlib
import re
import shlex
import subprocess
import tempfile
import unittest

from desktop import ROOT, SCRATCH, Program, corner_gaps, geometry, run, wait, write_settings

BUILD = os.environ.get("TOVLAN_BUILD", "")
SOURCE = pathlib.Path(__file__).resolve().parents[2]
FILES = {f"share/icons/hicolor/{n}x{n}/apps/tovlan.png" for n in (16, 22, 24, 32, 48, 64, 128, 256)} | {
    "bin/tovlan", "lib/tovlan/tovlan", "share/applications/tovlan.desktop", "share/metainfo/",
    "share/man/man1/tovlan.1.gz", "share/doc/tovlan/copyright", "share/doc/tovlan/changelog.Debian.gz"}


def files_under(prefix, paths=None):
    """The files under prefix, relative to it, an AppStream file's name left out."""
    paths = paths or [f"{folder}/{name}" for folder, _, names in os.walk(prefix) for name in names]
    return {re.sub(r"metainfo/.*", "metainfo/", os.path.relpath(path, prefix)) for path in paths}


@unittest.skipUnless(BUILD, "TOVLAN_BUILD is not set: run through ctest")
class InstallTest(unittest.TestCase):
    def assertStartsFromItsEntry(self, prefix, settings_folder):
        """The entry is valid and starts the program, which reads the settings in settings_folder."""
        entry = f"{prefix}/share/applications/tovlan.desktop"
        self.assertEqual(run("desktop-file-validate", entry), "")
        exec_line = re.search(r"^Exec=(.*)$", pathlib.Path(entry).read_text(), re.M)[1]
        command = shlex.split(exec_line.replace("\\\\", "\\").replace("%%", "%"))
        self.assertEqual(command, [f"{prefix}/lib/tovlan/tovlan"])
        os.makedirs(settings_folder, exist_ok=True)
        write_settings(settings_folder, corner=4)
        launcher = Program(SCRATCH, path=command[0])
        self.addCleanup(launcher.stop)
        launcher.start()
        wait(lambda: corner_gaps(launcher.window, 4, geometry(ROOT)), (0, 0))

    def test_make_install(self):
        # A space in the prefix: the entry's Exec line must quote the path.
        prefix = os.path.join(tempfile.mkdtemp(dir=SCRATCH), "my apps")
        run("cmake", "--install", BUILD, "--prefix", prefix, "--strip", check=True)
        self.assertEqual(files_under(prefix), FILES | {"lib/tovlan/installed-files"})
        # What software centres and man read passes their own checkers.
        run("appstreamcli", "validate", "--no-net", *glob.glob(f"{prefix}/share/metainfo/*"), check=True)
        page = subprocess.run(["man", "--warnings", "-l", f"{prefix}/share/man/man1/tovlan.1.gz"],
                              capture_output=True, text=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
        self.assertEqual((page.returncode, page.stderr), (0, ""))
        self.assertStartsFromItsEntry(prefix, f"{prefix}/lib/tovlan")
        run("make", "-C", SOURCE, "uninstall", f"PREFIX={prefix}", check=True)
        self.assertEqual(files_under(prefix), {"lib/tovlan/設定.ini"}, "the settings stay")

    def test_debian_package(self):
        if os.geteuid() != 0 or glob.glob("/usr/lib/tovlan/*") or os.path.lexists("/usr/bin/tovlan"):
            self.skipTest("installs into /usr: only as root, and where no tovlan is yet")
        built = tempfile.mkdtemp(dir=SCRATCH)
        run("cpack", "-G", "DEB", "-B", built, "--config", f"{BUILD}/CPackConfig.cmake", check=True)
        [deb] = glob.glob(f"{built}/tovlan_*.deb")
        depends = set(re.findall(r"[\w.+-]+", run("dpkg-deb", "--field", deb, "Depends")))
        self.assertLessEqual({"libglib2.0-0", "shared-mime-info"}, depends, "GIO is loaded at run time")
        apt = ("apt-get", "--yes", "--option", "DPkg::Lock::Timeout=180")  # waits where another run holds it
        self.addCleanup(run, *apt, "purge", "tovlan")
        run(*apt, "install", deb, check=True)
        installed = [path for path in run("dpkg-query", "-L", "tovlan").split() if os.path.isfile(path)]
        self.assertEqual(files_under("/usr", installed), FILES)
        # /usr counts as read-only: the program reads the user's own settings file.
        self.assertStartsFromItsEntry("/usr", os.environ["XDG_CONFIG_HOME"] + "/tovlan")
        run(*apt, "remove", "tovlan", check=True)
        self.assertEqual([path for path in installed + ["/usr/lib/tovlan"] if os.path.lexists(path)], [])
        self.assertEqual(run("lintian", "--fail-on", "error,warning", deb), "")


if __name__ == "__main__":
    unittest.main()
