#pragma once

#include <QString>
#include <array>

class QAction;
class QMenu;
class QWidget;

// The launcher's two popup menus. Every item carries its object name, so the
// tests and screen readers find it by name or caption.
struct LauncherMenus {
    QMenu* op1 = nullptr;                 // "ファイル"
    QAction* newList = nullptr;           // object name "new": "新規作成"
    QAction* sk13 = nullptr;              // "開く"
    QMenu* sk6 = nullptr;                 // "設定"
    QAction* sk7 = nullptr;               // "オプション"
    QAction* sk2 = nullptr;               // "消去"
    QMenu* sk8 = nullptr;                 // "位置"
    std::array<QAction*, 4> corners{};    // sk9..sk12: 左上, 左下, 右上, 右下
    QMenu* sk14 = nullptr;                // "xxa": quick files
    std::array<QAction*, 4> quickFiles{}; // sk15..sk18
    QAction* hyouzi = nullptr;            // "タスクトレイに入れる"
    QAction* sk4 = nullptr;               // "閉じる"

    QMenu* tasukumenu = nullptr; // "Popup"
    QAction* Modosu = nullptr;   // "戻す"
    QAction* Toziru = nullptr;   // "閉じる"
};

LauncherMenus buildLauncherMenus(QWidget* owner);
