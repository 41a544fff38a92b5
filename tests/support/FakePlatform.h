#pragma once

#include "Platform.h"

#include <QList>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <optional>

// Stands in for the desktop in the tests: records every call and answers the
// modal questions from queues the test fills beforehand.
class FakePlatform : public Platform {
  public:
    struct Launch {
        QString operation;
        QString file;
        QByteArray undecoded;
    };
    struct TrayCall {
        quint32 message;
        NOTIFYICONDATA data;
    };

    // Answers, consumed in order. An empty queue answers "cancel".
    std::deque<QString> inputAnswers;
    // A file path to "choose" in the open-file dialog, or nullopt to cancel.
    std::deque<std::optional<QString>> openFileAnswers;
    int shellResult = 42;
    bool trayAddSucceeds = true;

    // Each prompt of a message or input box, its title and style after it
    // where they are not the program's title and no icon.
    QStringList messages;
    QStringList inputPrompts;
    QList<OPENFILENAME> openDialogs; // the record as each call received it
    QList<Launch> launches;
    QList<TrayCall> trayCalls;
    QList<QMenu*> popups;
    QMenu* trayMenu = nullptr;
    QList<int> popupFlags;
    QList<std::optional<QPoint>> popupPoints;
    bool ended = false;

    // The primary monitor, right of another one.
    QRect screen{1280 * 15, 0, 1024 * 15, 768 * 15};
    // What the window manager's frame adds to a window's size.
    QSize frameExtraTwips{0, 0};
    QString programFolder;
    QString userFolder;
    // Where the last move put a window's outer top-left, in twips.
    QPoint lastMoveTwips;
    QWidget* lastMoved = nullptr;

    void messageBox(const QString& prompt, int style, const QString& title) override {
        messages << prompt + asked(title, style);
    }
    QString inputBox(const QString& prompt, const QString& title) override;
    bool getOpenFileName(OPENFILENAME& record) override;
    int shellExecute(QWidget*, const QString& operation, const QString& file,
                     const QByteArray& undecoded) override {
        launches.append({operation, file, undecoded});
        return shellResult;
    }
    bool shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) override;
    void setTrayMenu(QMenu* menu) override { trayMenu = menu; }
    // As the desktop's does: the window keeps the hint until something drops it.
    void setTopmost(QWidget* window) override {
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window->show();
    }
    void popupMenu(QMenu* menu, int flags, std::optional<QPoint> at) override {
        popups.append(menu);
        popupFlags.append(flags);
        popupPoints.append(at);
    }
    QRect screenRectTwips() override { return screen; }
    QSize outerSizeTwips(QWidget* window) override { return window->size() * 15 + frameExtraTwips; }
    void moveWindowTwips(QWidget* window, int left, int top) override {
        lastMoved = window;
        lastMoveTwips = QPoint(left, top);
        window->move(left / 15, top / 15);
    }
    QString appPath() override { return programFolder; }
    QString userSettingsFolder() override { return userFolder; }
    void endProgram() override { ended = true; }

  private:
    static QString asked(const QString& title, int style) {
        return title == "Tovlan" && style == 0 ? "" : QString(" [%1 %2]").arg(title).arg(style);
    }
};
