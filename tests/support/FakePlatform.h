#pragma once

#include "Platform.h"

#include <QList>
#include <QMenu>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <optional>

// Stands in for the desktop in the tests: records every call and answers the
// modal questions from queues the test fills beforehand.
class FakePlatform : public Platform {
  public:
    struct OpenDialog {
        QWidget* owner;
        QString title;
        QStringList nameFilters;
        QString start;
    };

    // Answers of the input box and the open-file dialog, consumed in order;
    // an empty answer or an empty queue is a cancel.
    QStringList inputAnswers, openFileAnswers;
    OpenResult openResult = OpenResult::Opened;
    bool trayAvailable = true;

    QStringList messages; // and each question's prompt, in order
    QList<OpenDialog> openDialogs;
    QStringList launches;          // each target; "bytes" where its undecoded bytes name it
    QWidget* trayIconOf = nullptr; // the window whose icon is in the tray
    QStringList popups;            // each as menu/the buttons that choose
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
        messages << prompt;
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    std::optional<QString> chooseFileToOpen(QWidget* owner, const QString& title,
                                            const QStringList& nameFilters,
                                            const QString& start) override {
        openDialogs.append({owner, title, nameFilters, start});
        const QString answer = openFileAnswers.isEmpty() ? QString() : openFileAnswers.takeFirst();
        return answer.isEmpty() ? std::nullopt : std::optional(answer);
    }
    OpenResult openTarget(QWidget*, const QString& target, const QByteArray& undecoded) override {
        launches << (undecoded.isEmpty() ? target : "bytes");
        return openResult;
    }
    bool showTrayIcon(QWidget* window) override {
        trayIconOf = trayAvailable ? window : trayIconOf;
        return trayAvailable;
    }
    void hideTrayIcon() override { trayIconOf = nullptr; }
    void setTrayMenu(QMenu*) override {} // held by the desktop tests' tray
    // As the desktop's does: the window keeps the hint until something drops it.
    void setTopmost(QWidget* window) override {
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window->show();
    }
    void popupMenu(QMenu* menu, MenuButtons choosing, std::optional<QPoint> at) override {
        popups << menu->objectName() + (choosing == MenuButtons::Left ? "/left" : "/either");
        popupPoints << at;
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
};
