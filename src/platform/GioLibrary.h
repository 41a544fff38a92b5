#pragma once

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

// The desktop's own library for opening files and URLs, loaded on first use
// rather than at start-up: linked in, it would cost every start of the
// launcher its pages and relocations, though most starts never open anything.
// Only the calls the launcher makes are looked up, each under its own name:
// gio->g_free(...) calls GLib's g_free.
#define TOVLAN_GIO_FUNCTIONS(X)                                                                    \
    X(g_content_type_guess)                                                                        \
    X(g_content_type_is_a)                                                                         \
    X(g_app_info_get_default_for_type)                                                             \
    X(g_app_info_get_default_for_uri_scheme)                                                       \
    X(g_desktop_app_info_new_from_filename)                                                        \
    X(g_app_info_launch_uris_async)                                                                \
    X(g_app_info_launch_uris_finish)                                                               \
    X(g_filename_to_uri)                                                                           \
    X(g_filename_from_uri)                                                                         \
    X(g_key_file_new)                                                                              \
    X(g_key_file_load_from_file)                                                                   \
    X(g_key_file_get_string)                                                                       \
    X(g_key_file_free)                                                                             \
    X(g_object_unref)                                                                              \
    X(g_free)                                                                                      \
    X(g_error_free)

// From GLib 2.78 on, g_free is also a macro where the C library has
// free_sized; it would turn gio->g_free(...) into a call of g_free_sized.
#undef g_free

struct GioLibrary {
#define TOVLAN_GIO_POINTER(name) decltype(&::name) name = nullptr;
    TOVLAN_GIO_FUNCTIONS(TOVLAN_GIO_POINTER)
#undef TOVLAN_GIO_POINTER
};

// The library with every call found, or nullptr where it cannot be loaded;
// the first call loads it. Safe from any thread.
const GioLibrary* gioLibrary();

// Loads the library and the desktop's lists of programs and file types on a
// thread of its own, so the first launch finds them ready.
void prepareGioInBackground();
