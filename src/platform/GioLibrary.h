#pragma once

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

// The desktop's own library for opening files and URLs, loaded on first use
// rather than at start-up: linked in, it would cost every start of the
// launcher its pages and relocations, though most starts never open anything.
// Only the calls the launcher makes are looked up.
struct GioLibrary {
    decltype(&g_content_type_guess) contentTypeGuess = nullptr;
    decltype(&g_content_type_is_a) contentTypeIsA = nullptr;
    decltype(&g_app_info_get_default_for_type) defaultForType = nullptr;
    decltype(&g_app_info_get_default_for_uri_scheme) defaultForUriScheme = nullptr;
    decltype(&g_desktop_app_info_new_from_filename) desktopAppInfoFromFile = nullptr;
    decltype(&g_app_info_launch_uris_async) launchUrisAsync = nullptr;
    decltype(&g_app_info_launch_uris_finish) launchUrisFinish = nullptr;
    decltype(&g_filename_to_uri) filenameToUri = nullptr;
    decltype(&g_filename_from_uri) filenameFromUri = nullptr;
    decltype(&g_key_file_new) keyFileNew = nullptr;
    decltype(&g_key_file_load_from_file) keyFileLoadFromFile = nullptr;
    decltype(&g_key_file_get_string) keyFileGetString = nullptr;
    decltype(&g_key_file_free) keyFileFree = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_free) free = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
};

// The library with every call found, or nullptr where it cannot be loaded;
// the first call loads it. Safe from any thread.
const GioLibrary* gioLibrary();

// Loads the library and the desktop's lists of programs and file types on a
// thread of its own, so the first launch finds them ready.
void prepareGioInBackground();
