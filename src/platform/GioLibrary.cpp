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
    bool complete = true;
#define TOVLAN_GIO_RESOLVE(name) complete = complete && resolve(handle, #name, gio->name);
    TOVLAN_GIO_FUNCTIONS(TOVLAN_GIO_RESOLVE)
#undef TOVLAN_GIO_RESOLVE
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
            gio->g_free(gio->g_content_type_guess("a.txt", nullptr, 0, &uncertain));
            if (GAppInfo* app = gio->g_app_info_get_default_for_type("text/plain", FALSE))
                gio->g_object_unref(app);
        }).detach();
    });
}
