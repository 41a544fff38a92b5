#include "FakePlatform.h"

#include "OpenFileRecord.h"

#include <QWidget>

void FakePlatform::messageBox(const QString& prompt, int style, const QString& title) {
    messages.append({prompt, style, title});
}

QString FakePlatform::inputBox(const QString& prompt, const QString&) {
    inputPrompts.append(prompt);
    if (inputAnswers.empty())
        return {};
    QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

bool FakePlatform::getOpenFileName(OPENFILENAME& record) {
    openDialogs.append(record);
    if (openFileAnswers.empty())
        return false;
    const std::optional<QString> answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer && storeChosenFile(record, *answer);
}

int FakePlatform::shellExecute(QWidget*, const QString& operation, const QString& file,
                               const QByteArray& undecoded) {
    launches.append({operation, file, undecoded});
    return shellResult;
}

bool FakePlatform::shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) {
    trayCalls.append({message, data});
    if (message == NIM_ADD) {
        if (!trayAddSucceeds)
            return false;
        trayIconPresent = true;
    } else if (message == NIM_DELETE) {
        const bool wasPresent = trayIconPresent;
        trayIconPresent = false;
        return wasPresent;
    }
    return true;
}

// As the desktop's does: the window keeps the hint until something drops it.
void FakePlatform::setTopmost(QWidget* window) {
    ++topmostCalls;
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->show();
}

void FakePlatform::popupMenu(QMenu* menu, int flags, std::optional<QPoint> at) {
    popups.append(menu);
    popupFlags.append(flags);
    popupPoints.append(at);
}

QSize FakePlatform::outerSizeTwips(QWidget* window) {
    return QSize(window->width() * 15, window->height() * 15) + frameExtraTwips;
}

void FakePlatform::moveWindowTwips(QWidget* window, int left, int top) {
    lastMoved = window;
    lastMoveTwips = QPoint(left, top);
    window->move(left / 15, top / 15);
}

QStringList FakePlatform::messageTexts() const {
    QStringList texts;
    for (const Message& m : messages)
        texts << m.prompt;
    return texts;
}
