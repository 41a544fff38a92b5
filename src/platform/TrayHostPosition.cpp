#include "TrayHostPosition.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <utility>

namespace {

constexpr char TrayCategory[] = "qt.qpa.tray";

QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;
bool userWantsTrayLog = false;
std::optional<QPoint> lastPosition;

void enableTrayLog(QLoggingCategory* category) {
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), TrayCategory) == 0) {
        userWantsTrayLog = category->isDebugEnabled();
        category->setEnabled(QtDebugMsg, true);
    }
}

void noteHostPosition(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg && qstrcmp(context.category, TrayCategory) == 0) {
        static const QRegularExpression coordinates(QStringLiteral("^(-?\\d+) (-?\\d+)$"));
        const QRegularExpressionMatch match = coordinates.match(message);
        if (match.hasMatch())
            lastPosition = QPoint(match.captured(1).toInt(), match.captured(2).toInt());
        if (!userWantsTrayLog)
            return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void TrayHostPosition::listen() {
    static bool listening = false;
    if (listening)
        return;
    listening = true;
    previousHandler = qInstallMessageHandler(noteHostPosition);
    previousFilter = QLoggingCategory::installFilter(enableTrayLog);
}

std::optional<QPoint> TrayHostPosition::take() {
    return std::exchange(lastPosition, std::nullopt);
}
