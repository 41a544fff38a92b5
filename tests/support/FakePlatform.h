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
        QString target;
        QByteArray undecoded;
    };
    struct OpenDialog {
        QWidget* owner;
        QString title;
        QStringList nameFilters;
        QString start;
    };

    // Answers, consumed in order. An empty queue answers "cancel".
    std::deque<QString> inputAnswers;
    // A file path to "choose" in the open-file dialog, or nullopt to cancel.
    std::deque<std::optional<QString>> openFileAnswers;
    OpenResult openResult = OpenResult::Opened;
    bool trayAvailable = true;

    QStringList messages;
    QStringList inputPrompts;
    QList<OpenDialog> openDialogs;
    QList<Launch> launches;
    QWidget* trayIconOf = nullptr; // the window whose icon is in the tray
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

    void showMessage(const QString& text) override { messages << text; }
    QString askText(const QString& prompt) override {
        inputPrompts << prompt;
        return next(inputAnswers).value_or(QString());
    }
    std::optional<QString> chooseFileToOpen(QWidget* owner, const QString& title,
                                            const QStringList& nameFilters,
                                            const QString& start) override {
        openDialogs.append({owner, title, nameFilters, start});
        return next(openFileAnswers).value_or(std::nullopt);
    }
    OpenResult openTarget(QWidget*, const QString& target, const QByteArray& undecoded) override {
        launches.append({target, undecoded});
        return openResult;
    }
    bool showTrayIcon(QWidget* window) override {
        trayIconOf = trayAvailable ? window : trayIconOf;
        return trayAvailable;
    }
    void hideTrayIcon() override { trayIconOf = nullptr; }
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
    template <typename T> static std::optional<T> next(std::deque<T>& answers) {
        if (answers.empty())
            return std::nullopt;
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
