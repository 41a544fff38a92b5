#include "ShellOpen.h"

#include "GioLibrary.h"
#include "SpawnDetached.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtDebug>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough for the file-type database's content rules and the ELF and "#!"
// marks; a regular file, opened without blocking, answers this much at once.
constexpr qsizetype HeadBytes = 4096;

QByteArray readHead(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    QByteArray head(HeadBytes, Qt::Uninitialized);
    const ssize_t got = ::read(fd, head.data(), head.size());
    ::close(fd);
    head.truncate(got > 0 ? got : 0);
    return head;
}

QByteArray absoluteName(const QByteArray& name) {
    if (name.startsWith('/'))
        return name;
    return QFile::encodeName(QDir::currentPath()) + '/' + name;
}

QByteArray contentTypeOf(const GioLibrary& gio, const QByteArray& path, const QByteArray& head) {
    gboolean uncertain = FALSE;
    gchar* type = gio.g_content_type_guess(path.constData(),
                                           reinterpret_cast<const guchar*>(head.constData()),
                                           static_cast<gsize>(head.size()), &uncertain);
    QByteArray result(type);
    gio.g_free(type);
    return result;
}

bool isA(const GioLibrary& gio, const QByteArray& type, const char* super) {
    return gio.g_content_type_is_a(type.constData(), super);
}

bool isElf(const QByteArray& head) {
    return head.startsWith("\x7f"
                           "ELF");
}

// "scheme:rest" with a scheme of two or more letters, so "C:\\x" is no URL.
bool looksLikeUrl(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

OpenPlan planRegularFile(const QByteArray& path) {
    const QByteArray head = readHead(path);
    const bool executable = ::access(path.constData(), X_OK) == 0;
    // A program is known by its first bytes; it starts without waiting for
    // the file-type database.
    if (executable && isElf(head))
        return {TargetKind::Program, path, {}};
    const GioLibrary* gio = gioLibrary();
    if (!gio)
        return {executable && head.startsWith("#!") ? TargetKind::Program : TargetKind::Document,
                path,
                {}};
    const QByteArray type = contentTypeOf(*gio, path, head);
    if (isA(*gio, type, "application/x-desktop"))
        return {TargetKind::DesktopEntry, path, type};
    // Scripts are the types the file-type database derives from executables.
    if (executable && head.startsWith("#!") && isA(*gio, type, "application/x-executable"))
        return {TargetKind::Program, path, type};
    return {TargetKind::Document, path, type};
}

OpenPlan planFile(const QByteArray& path) {
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return {};
    if (S_ISDIR(status.st_mode))
        return {TargetKind::Folder, path, "inode/directory"};
    if (S_ISREG(status.st_mode))
        return planRegularFile(path);
    // A pipe or a device is never read: that could make the launcher wait.
    const GioLibrary* gio = gioLibrary();
    return {TargetKind::Document, path, gio ? contentTypeOf(*gio, path, {}) : QByteArray()};
}

QByteArray fileNameOfUrl(const QString& url) {
    const GioLibrary* gio = gioLibrary();
    if (!gio)
        return {};
    gchar* name = gio->g_filename_from_uri(url.toUtf8().constData(), nullptr, nullptr);
    QByteArray result(name);
    if (name)
        gio->g_free(name);
    return result;
}

// Watches one launch handed to GIO; a launch reports its end on the
// launcher's event loop, which runs GLib's main context.
struct LaunchWatch {
    std::function<void()> lateFailure;
};

void launchFinished(GObject* source, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<LaunchWatch> watch(static_cast<LaunchWatch*>(data));
    const GioLibrary* gio = gioLibrary();
    GError* error = nullptr;
    if (gio->g_app_info_launch_uris_finish(reinterpret_cast<GAppInfo*>(source), result, &error))
        return;
    qWarning("Tovlan: %s", error ? error->message : "the launch failed");
    if (error)
        gio->g_error_free(error);
    if (watch->lateFailure)
        watch->lateFailure();
}

// Hands the launch to GIO and returns at once: connecting to the session bus
// and starting the program happen on the event loop, so the window never
// waits for them. Takes over the reference to app.
OpenResult launchApp(const GioLibrary& gio, GAppInfo* app, const QByteArray& uri,
                     const std::function<void()>& lateFailure) {
    GList item{const_cast<char*>(uri.constData()), nullptr, nullptr};
    gio.g_app_info_launch_uris_async(app, uri.isEmpty() ? nullptr : &item, nullptr, nullptr,
                                     launchFinished, new LaunchWatch{lateFailure});
    gio.g_object_unref(app);
    return OpenResult::Opened;
}

// Where GIO has no answer, the desktop's own opener may know better. Its
// verdict is its exit status, which comes once it has found no way (3) or
// its handler failed, or, where it runs the handler itself, once the handler
// ends: the launch is left to it, and a failure is told when it arrives.
OpenResult openWithXdgOpen(const QByteArray& argument, const std::function<void()>& lateFailure) {
    return spawnDetached({QByteArrayLiteral("xdg-open"), argument}, lateFailure)
               ? OpenResult::Opened
               : OpenResult::NoHandler;
}

OpenResult openUrl(const QByteArray& url, const std::function<void()>& lateFailure) {
    const GioLibrary* gio = gioLibrary();
    const QByteArray scheme = url.left(url.indexOf(':')).toLower();
    GAppInfo* app = gio ? gio->g_app_info_get_default_for_uri_scheme(scheme.constData()) : nullptr;
    if (!app)
        return openWithXdgOpen(url, lateFailure);
    return launchApp(*gio, app, url, lateFailure);
}

OpenResult openWithDefaultApp(const OpenPlan& plan, const std::function<void()>& lateFailure) {
    const GioLibrary* gio = gioLibrary();
    if (!gio)
        return openWithXdgOpen(plan.target, lateFailure);
    GAppInfo* app = gio->g_app_info_get_default_for_type(plan.contentType.constData(), FALSE);
    gchar* uri = gio->g_filename_to_uri(plan.target.constData(), nullptr, nullptr);
    if (!app || !uri) {
        if (app)
            gio->g_object_unref(app);
        gio->g_free(uri);
        return OpenResult::NoHandler;
    }
    const QByteArray text(uri);
    gio->g_free(uri);
    return launchApp(*gio, app, text, lateFailure);
}

// The URL of a desktop entry of the type Link (the Windows ".url"), or none.
QString linkUrl(const GioLibrary& gio, const QByteArray& path) {
    GKeyFile* file = gio.g_key_file_new();
    QString url;
    if (gio.g_key_file_load_from_file(file, path.constData(), G_KEY_FILE_NONE, nullptr)) {
        gchar* type = gio.g_key_file_get_string(file, "Desktop Entry", "Type", nullptr);
        gchar* link = gio.g_key_file_get_string(file, "Desktop Entry", "URL", nullptr);
        if (type && link && qstrcmp(type, "Link") == 0)
            url = QString::fromUtf8(link);
        gio.g_free(type);
        gio.g_free(link);
    }
    gio.g_key_file_free(file);
    return url;
}

// A desktop entry starts the application it describes, as a Windows shortcut
// does, or opens the URL of a link; one that describes neither (hidden, or
// its program is missing) cannot. A link to another link is not followed.
OpenResult openDesktopEntry(const QByteArray& path, const std::function<void()>& lateFailure) {
    const GioLibrary* gio = gioLibrary();
    if (GDesktopAppInfo* app = gio->g_desktop_app_info_new_from_filename(path.constData()))
        return launchApp(*gio, reinterpret_cast<GAppInfo*>(app), {}, lateFailure);
    const QString url = linkUrl(*gio, path);
    const OpenPlan plan = url.isEmpty() ? OpenPlan{} : planOpen(url);
    switch (plan.kind) {
    case TargetKind::Url:
        return openUrl(plan.target, lateFailure);
    case TargetKind::Folder:
    case TargetKind::Document:
        return openWithDefaultApp(plan, lateFailure);
    case TargetKind::Missing:
        return url.isEmpty() ? OpenResult::NoHandler : OpenResult::NotFound;
    default:
        return OpenResult::NoHandler;
    }
}

} // namespace

OpenPlan planOpen(const QString& target, const QByteArray& undecoded) {
    if (!undecoded.isEmpty()) {
        // A URL is text; bytes that are not cannot name one.
        if (looksLikeUrl(QString::fromLatin1(undecoded)))
            return {};
        return planFile(absoluteName(undecoded));
    }
    if (target.isEmpty())
        return {};
    if (target.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QByteArray name = fileNameOfUrl(target);
        return name.isEmpty() ? OpenPlan{} : planFile(name);
    }
    if (looksLikeUrl(target))
        return {TargetKind::Url, target.toUtf8(), {}};
    return planFile(absoluteName(QFile::encodeName(target)));
}

OpenResult shellOpen(const QString& target, const QByteArray& undecoded,
                     const std::function<void()>& lateFailure) {
    const OpenPlan plan = planOpen(target, undecoded);
    switch (plan.kind) {
    case TargetKind::Missing:
        return OpenResult::NotFound;
    case TargetKind::Program:
        return spawnDetached({plan.target}) ? OpenResult::Opened : OpenResult::NoHandler;
    case TargetKind::Url:
        return openUrl(plan.target, lateFailure);
    case TargetKind::DesktopEntry:
        return openDesktopEntry(plan.target, lateFailure);
    case TargetKind::Folder:
    case TargetKind::Document:
        return openWithDefaultApp(plan, lateFailure);
    }
    return OpenResult::NoHandler;
}

void prepareShellOpen() {
    prepareGioInBackground();
}
