"""The launcher beside an XEmbed tray (trayer): above other windows, in and out of
the tray, opening targets through the desktop's shell, brought back by its dialogs."""

import os
import time

from desktop import (DISPLAY, ROOT, X11, DesktopTest, accessible, atom, click, clients, controls,
                     corner_gaps, frame_window, geometry, keys, other_window, popups, press,
                     tray_icons, viewable, wait, windows_of, write_lines, xdotool)

# Notes its name, arguments and standard input, output and error, then runs on.
NOTING_SCRIPT = """#!/bin/sh
fds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)
printf '%s\\n' "$0" "$@" "$fds" > {0}.new && mv {0}.new {0} && sleep 2
"""


class LauncherTest(DesktopTest):
    def setUp(self):
        super().setUp()
        self.helper("trayer", "--edge", "top", "--align", "right", "--widthtype", "request")
        wait(lambda: X11.XGetSelectionOwner(DISPLAY, atom("_NET_SYSTEM_TRAY_S0")))
        self.notes = os.path.join(self.folder, "notes")

    def noting_script(self, name):
        with open(os.path.join(self.folder, name), "w") as script:
            script.write(NOTING_SCRIPT.format(self.notes))
        os.chmod(script.name, 0o755)
        return script.name

    def run_next(self, launcher):
        """Picks the name below the one shown, clicks 実行 and answers the notes."""
        press(launcher.pid, "Tovlan", "combo box")
        keys(None, "Down")
        press(launcher.pid, "Tovlan", "push button", "実行")
        with open(wait(lambda: os.path.exists(self.notes) and self.notes)) as notes:
            os.remove(self.notes)
            return notes.read().splitlines()

    def into_tray(self, launcher):
        keys(launcher.window, "Delete")
        wait(lambda: viewable(launcher.window), False)
        return geometry(wait(lambda: tray_icons(launcher.pid))[0])

    def assertAbove(self, launcher, other):
        xdotool("windowactivate", "--sync", other)
        self.assertGreater(clients().index(launcher.window), clients().index(other))

    def test_stays_above_other_windows_also_back_from_the_tray(self):
        launcher = self.launcher()
        x, y, width, height = geometry(frame_window(launcher.window))
        process, other = other_window((x - 50, y - 50, width + 100, height + 100))
        self.addCleanup(process.kill)
        self.assertAbove(launcher, other)
        icon = self.into_tray(launcher)
        click(icon.x + 2, icon.y + 2, repeat=2)
        wait(lambda: (viewable(launcher.window), tray_icons(launcher.pid)),
                              (True, []))
        self.assertAbove(launcher, other)
        wait(lambda: corner_gaps(launcher.window, 4, geometry(ROOT)), (0, 0))
        icon = self.into_tray(launcher)
        click(icon.x + 2, icon.y + 2, button=3)
        wait(lambda: popups(launcher.pid))
        keys(None, "Up", "Return")  # 閉じる, the last item
        self.assertEqual(launcher.process.wait(5), 0)

    def test_targets_open_through_the_desktops_shell_while_the_window_answers(self):
        handler = self.noting_script("handler.sh")
        os.makedirs(os.path.join(os.environ["XDG_DATA_HOME"], "applications"), exist_ok=True)
        write_lines(os.path.join(os.environ["XDG_DATA_HOME"], "applications", "e2e.desktop"),
                    ["[Desktop Entry]", "Type=Application", "Name=e2e", f"Exec={handler} %u"])
        write_lines(os.path.join(os.environ["XDG_CONFIG_HOME"], "mimeapps.list"),
                    ["[Default Applications]", "text/plain=e2e.desktop",
                     "x-scheme-handler/tovlan-e2e=e2e.desktop"])
        document = self.noting_script("議事録 メモ.txt")  # runnable, as on an exFAT or SMB mount
        program, url = self.noting_script("週報 作成.sh"), "tovlan-e2e:page?q=1"
        rows = [(program, [program]), (document, [handler, document]), (url, [handler, url])]
        launcher = self.launcher([(f"名前{n}", target) for n, (target, _) in enumerate(rows)])
        own = [os.readlink(f"/proc/{launcher.pid}/fd/{fd}") for fd in range(3)]
        for target, noted in rows:
            with self.subTest(target):
                self.assertEqual(self.run_next(launcher), noted + own, "started without pipes")
                asked = time.monotonic()
                accessible(launcher.pid, "Tovlan")
                self.assertLess(time.monotonic() - asked, 0.5, "the window answers at once")

    def test_dialogs_bring_the_launcher_back_with_its_list_reloaded(self):
        old, new = self.noting_script("old.sh"), self.noting_script("new.sh")
        for caption, button, menu_keys in (("オプション", "OK", ["Return"]),
                                           ("消去", "閉じる", ["Down", "Return"])):
            with self.subTest(caption):
                launcher = self.launcher([("古い", old)])
                keys(launcher.window, "shift+F10")
                wait(lambda: popups(launcher.pid))
                keys(None, "Down", "Down", "Down", "Right")  # 設定
                wait(lambda: len(popups(launcher.pid)) == 2)
                keys(None, *menu_keys)
                wait(lambda: windows_of(launcher.pid, caption))
                names = [name for window in ("Tovlan", caption)
                         for _, name, _ in controls(accessible(launcher.pid, window))]
                self.assertNotIn("", names, "each control has its caption as accessible name")
                write_lines(self.list_path, ["新しい", new])
                press(launcher.pid, caption, "push button", button)
                wait(lambda: (viewable(launcher.window),
                                               windows_of(launcher.pid, caption)), (True, []))
                self.assertTrue(tray_icons(launcher.pid), "the icon stays in the tray")
                self.assertEqual(self.run_next(launcher)[0], new)
                launcher.stop()
