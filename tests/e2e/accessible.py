"""Widgets and menus read through the accessibility bus (AT-SPI)."""

from typing import NamedTuple

import pyatspi
from gi.repository import Atspi, GLib

from xdesktop import click_at, wait_until


class MenuItem(NamedTuple):
    name: str
    checked: bool
    showing: bool
    is_submenu: bool


class PopupMenuWatcher:
    """Keeps track of the popup menus on screen.

    Qt leaves popup menus out of the application's accessible tree, so they are
    known only from the events they send when they show and hide. The listener is
    registered on import, before any launcher starts, so Qt knows from its first
    moment that somebody listens.
    """

    def __init__(self):
        self._showing = []
        self._shows = []
        self._listener = Atspi.EventListener.new(self._on_showing)
        self._listener.register("object:state-changed:showing")

    def _on_showing(self, event):
        menu = event.source
        self._showing = [entry for entry in self._showing if entry[1] != menu]
        if not event.detail1:
            return
        try:
            if menu.getRole() != pyatspi.ROLE_POPUP_MENU:
                return
            # Noted with the pid now: once the process has ended, the menu cannot tell it.
            pid = menu.get_process_id()
        except GLib.Error:
            return  # gone again before it could be asked
        self._showing.append((pid, menu))
        self._shows.append(pid)

    def showing(self, pid):
        """The process's menus on screen, the one opened last at the end."""
        self._pump()
        return [menu for owner, menu in self._showing if owner == pid]

    def shows(self, pid):
        """How often the process has opened a menu so far."""
        self._pump()
        return self._shows.count(pid)

    @staticmethod
    def _pump():
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass


POPUP_MENUS = PopupMenuWatcher()


def accessible_application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            app.clear_cache()
            return app
    return None


def has_state(accessible, state):
    return accessible.getState().contains(state)


def descendants(accessible, max_depth=12):
    """Breadth first, so the nearest match wins; stops below max_depth."""
    level = [accessible]
    for _ in range(max_depth):
        children = []
        for node in level:
            for index in range(node.childCount):
                child = node.getChildAtIndex(index)
                if child is not None:
                    yield child
                    children.append(child)
        level = children


def find_all(accessible, role, name=None, showing_only=False):
    return [node for node in descendants(accessible)
            if node.getRole() == role and (name is None or node.name == name)
            and (not showing_only or has_state(node, pyatspi.STATE_SHOWING))]


def centre(accessible):
    extents = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def click(accessible, button=1):
    click_at(*centre(accessible), button=button)


def child_named(accessible, name):
    found = next((child for child in accessible if child is not None and child.name == name), None)
    if found is None:
        raise AssertionError(f"no item {name!r} among {[c.name for c in accessible if c]}")
    return found


def _drop_down_list(combo):
    return next((child for child in combo
                 if child is not None and child.getRole() == pyatspi.ROLE_LIST), None)


def combo_items(combo):
    """The item texts of a combo box's drop-down list, in list order."""
    drop_down = _drop_down_list(combo)
    return [item.name for item in drop_down] if drop_down else []


def pick_combo_item(combo, name, timeout=5.0):
    """Picks the name as a user does: a click on the combo box's arrow opens its list,
    a click on the name picks it. Returns once the list has closed again, so that the
    next click goes to the window below rather than to the closing list."""
    extents = combo.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    click_at(extents.x + extents.width - 6, extents.y + extents.height // 2)
    drop_down = wait_until(lambda: has_state(_drop_down_list(combo), pyatspi.STATE_SHOWING)
                           and _drop_down_list(combo), timeout, "the combo box's list")
    click(child_named(drop_down, name))
    wait_until(lambda: not has_state(combo, pyatspi.STATE_EXPANDED), timeout,
               "the combo box's list to close")


def set_text(text_box, text):
    """Puts the text into a text box whole, as an input method commits Japanese text,
    rather than key by key."""
    if not text_box.queryEditableText().setTextContents(text):
        raise AssertionError(f"the text box {text_box.name!r} refused the text")


def combo_text(combo):
    """The text in a combo box's edit field."""
    edits = [child for child in combo if child is not None and child.getRole() == pyatspi.ROLE_TEXT]
    return edits[0].queryText().getText(0, -1) if edits else combo.name


def submenu_of(menu, name):
    """The submenu under the item of that name, readable also while it is closed."""
    return child_named(menu, name).getChildAtIndex(0)


def menu_items(menu):
    """Items of a menu, separators left out. Names and check marks can be read while
    the menu is closed; showing tells hidden items apart only while it is open."""
    items = []
    for child in menu:
        if child is None or child.getRole() == pyatspi.ROLE_SEPARATOR:
            continue
        items.append(MenuItem(child.name, has_state(child, pyatspi.STATE_CHECKED),
                              has_state(child, pyatspi.STATE_SHOWING),
                              child.getRole() == pyatspi.ROLE_MENU or child.childCount > 0))
    return items
