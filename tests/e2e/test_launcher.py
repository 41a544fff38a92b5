"""The launcher on an X desktop with openbox and an XEmbed tray (trayer): kept
above other windows, in and out of the tray, opening targets through the
desktop's shell, and brought back by its dialogs."""

import os
import time

from desktop import (DesktopTest, accessible, click, click_window, clients, controls, corner_gaps,
                     frame, keys, other_window, popups, press, screen, tray_icons, viewable, wait,
                     windows_of, write_list, xdotool)

# Notes how it was started: $0, its arguments, then its standard input, output
# and error; and keeps running a while, as a program does.
NOTING_SCRIPT = """#!/bin/sh
fds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)
printf '%s\\n' "$0" "$@" "$fds" > {0}.new && mv {0}.new {0} && sleep 2
"""


class LauncherTest(DesktopTest):
    def setUp(self):
        super().setUp()
        self.start_tray()
        self.notes = os.path.join(self.folder, "notes")

    def noting_script(self, name):
        path = os.path.join(self.folder, name)
        with open(path, "w") as script:
            script.write(NOTING_SCRIPT.format(self.notes))
        os.chmod(path, 0o755)
        return path

    def started(self):
        """What the last program started noted, once it has; the notes are taken."""
        with open(wait(lambda: os.path.exists(self.notes) and self.notes, what="start")) as notes:
            os.remove(self.notes)
            return notes.read().splitlines()

    def pick_next(self, launcher):
        """Clicks into the combo box and picks the name below the one shown."""
        click(*next(at for role, _, at in controls(accessible(launcher.pid, "Tovlan"))
                    if role == "combo box"))
        keys(None, "Down")

    def into_tray(self, launcher):
        keys(launcher.window, "Delete")
        self.assertEventually(lambda: viewable(launcher.window), False)
        return wait(lambda: tray_icons(launcher.pid), what="tray icon")[0]

    def assertAbove(self, launcher, other):
        xdotool("windowactivate", "--sync", other)
        self.assertGreater(clients().index(launcher.window), clients().index(other))

    def test_stays_above_other_windows_also_back_from_the_tray(self):
        launcher = self.launcher()
        area = frame(launcher.window)
        process, other = other_window((area.x - 50, area.y - 50, area.width + 100, area.height + 100))
        self.addCleanup(process.terminate)
        self.assertAbove(launcher, other)
        click_window(self.into_tray(launcher), repeat=2)
        self.assertEventually(lambda: (viewable(launcher.window), tray_icons(launcher.pid)), (True, []))
        self.assertAbove(launcher, other)
        self.assertEventually(lambda: corner_gaps(launcher.window, 4, screen()), (0, 0))

        click_window(self.into_tray(launcher), button=3)
        wait(lambda: popups(launcher.pid), what="tray menu")
        keys(None, "Up", "Return")  # 閉じる, the last item
        self.assertEqual(launcher.process.wait(5), 0)

    def test_targets_open_through_the_desktops_shell_while_the_window_answers(self):
        handler = self.noting_script("handler.sh")
        apps = os.path.join(os.environ["XDG_DATA_HOME"], "applications")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "e2e.desktop"), "w") as entry:
            entry.write(f"[Desktop Entry]\nType=Application\nName=e2e\nExec={handler} %u\n"
                        "MimeType=text/plain;x-scheme-handler/tovlan-e2e;\n")
        with open(os.path.join(os.environ["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as defaults:
            defaults.write("[Default Applications]\ntext/plain=e2e.desktop\n"
                           "x-scheme-handler/tovlan-e2e=e2e.desktop\n")
        document = os.path.join(self.folder, "議事録 メモ.txt")
        with open(document, "w") as text:
            text.write("#!/bin/sh\necho a document, not a program\n")
        os.chmod(document, 0o755)  # as every file on an exFAT or SMB mount
        program = self.noting_script("週報 作成.sh")
        rows = [(program, [program]), (document, [handler, document]),
                ("tovlan-e2e:page?q=1", [handler, "tovlan-e2e:page?q=1"])]
        launcher = self.launcher([(f"名前{n}", target) for n, (target, _) in enumerate(rows)])
        own = [os.readlink(f"/proc/{launcher.pid}/fd/{fd}") for fd in range(3)]
        window = accessible(launcher.pid, "Tovlan")
        for target, noted in rows:
            with self.subTest(target):
                self.pick_next(launcher)
                press(launcher.pid, "Tovlan", "実行")
                self.assertEqual(self.started(), noted + own)
                asked = time.monotonic()
                window.queryComponent().getExtents(0)
                self.assertLess(time.monotonic() - asked, 0.5, "the window answers at once")

    def test_dialogs_bring_the_launcher_back_with_its_list_reloaded(self):
        old, new = self.noting_script("old.sh"), self.noting_script("new.sh")
        for caption, button, keys_in_menu in (("オプション", "OK", ["Return"]),
                                              ("消去", "閉じる", ["Down", "Return"])):
            with self.subTest(caption):
                launcher = self.launcher([("古い", old)])
                keys(launcher.window, "shift+F10")
                wait(lambda: popups(launcher.pid), what="menu")
                keys(None, "Down", "Down", "Down", "Right")  # 設定
                wait(lambda: len(popups(launcher.pid)) == 2, what="submenu")
                keys(None, *keys_in_menu)
                wait(lambda: windows_of(launcher.pid, caption), what=caption)
                self.assertNotIn("", [name for _, name, _ in controls(accessible(launcher.pid, caption))
                                      + controls(accessible(launcher.pid, "Tovlan"))])
                write_list(self.list_path, [("新しい", new)])
                press(launcher.pid, caption, button)
                self.assertEventually(lambda: (viewable(launcher.window),
                                               windows_of(launcher.pid, caption)), (True, []))
                self.assertTrue(tray_icons(launcher.pid), "the icon stays in the tray")
                self.pick_next(launcher)
                press(launcher.pid, "Tovlan", "実行")
                self.assertEqual(self.started()[0], new)
                launcher.stop()
