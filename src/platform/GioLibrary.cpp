#include "GioLibrary.h"

#include <dlfcn.h>
#include <mutex>
#include <thread>

namespace {

template <typename Function> bool resolve(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

// Never unloaded: launches still running hold callbacks into it.
GioLibrary* load() {
    void* handle = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto* gio = new GioLibrary;
    const bool complete =
        resolve(handle, "g_content_type_guess", gio->contentTypeGuess) &&
        resolve(handle, "g_content_type_is_a", gio->contentTypeIsA) &&
        resolve(handle, "g_app_info_get_default_for_type", gio->defaultForType) &&
        resolve(handle, "g_app_info_get_default_for_uri_scheme", gio->defaultForUriScheme) &&
        resolve(handle, "g_desktop_app_info_new_from_filename", gio->desktopAppInfoFromFile) &&
        resolve(handle, "g_app_info_launch_uris_async", gio->launchUrisAsync) &&
        resolve(handle, "g_app_info_launch_uris_finish", gio->launchUrisFinish) &&
        resolve(handle, "g_filename_to_uri", gio->filenameToUri) &&
        resolve(handle, "g_filename_from_uri", gio->filenameFromUri) &&
        resolve(handle, "g_key_file_new", gio->keyFileNew) &&
        resolve(handle, "g_key_file_load_from_file", gio->keyFileLoadFromFile) &&
        resolve(handle, "g_key_file_get_string", gio->keyFileGetString) &&
        resolve(handle, "g_key_file_free", gio->keyFileFree) &&
        resolve(handle, "g_object_unref", gio->objectUnref) &&
        resolve(handle, "g_free", gio->free) && resolve(handle, "g_error_free", gio->errorFree);
    if (complete)
        return gio;
    delete gio;
    return nullptr;
}

} // namespace

const GioLibrary* gioLibrary() {
    static std::once_flag once;
    static GioLibrary* gio = nullptr;
    std::call_once(once, [] { gio = load(); });
    return gio;
}

void prepareGioInBackground() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::thread([] {
            const GioLibrary* gio = gioLibrary();
            if (!gio)
                return;
            // The first question reads the file-type database and every
            // desktop entry of the system; later ones find them in memory.
            gboolean uncertain = FALSE;
            gio->free(gio->contentTypeGuess("a.txt", nullptr, 0, &uncertain));
            if (GAppInfo* app = gio->defaultForType("text/plain", FALSE))
                gio->objectUnref(app);
        }).detach();
    });
}
