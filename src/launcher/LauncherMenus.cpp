#include "LauncherMenus.h"

#include "Texts.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* addSubmenu(QMenu* menu, const char* name, const QString& caption) {
    QMenu* submenu = menu->addMenu(caption);
    submenu->setObjectName(QString::fromLatin1(name));
    submenu->menuAction()->setObjectName(QString::fromLatin1(name));
    return submenu;
}

void addSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

void buildSettingsMenu(LauncherMenus& m) {
    m.sk7 = addItem(m.sk6, "sk7", Texts::Options);
    m.sk2 = addItem(m.sk6, "sk2", Texts::Delete);
    m.sk8 = addSubmenu(m.sk6, "sk8", QStringLiteral("位置"));
    const char* cornerNames[] = {"sk9", "sk10", "sk11", "sk12"};
    const QString cornerCaptions[] = {QStringLiteral("左上"), QStringLiteral("左下"),
                                      QStringLiteral("右上"), QStringLiteral("右下")};
    for (int i = 0; i < 4; ++i) {
        m.corners[i] = addItem(m.sk8, cornerNames[i], cornerCaptions[i]);
        m.corners[i]->setCheckable(true);
    }
    m.sk14 = addSubmenu(m.sk6, "sk14", QStringLiteral("xxa"));
    m.sk14->menuAction()->setVisible(false);
    const char* quickNames[] = {"sk15", "sk16", "sk17", "sk18"};
    for (int i = 0; i < 4; ++i) {
        m.quickFiles[i] = addItem(m.sk14, quickNames[i], QString());
        // Only the first quick-file item is visible from the start.
        m.quickFiles[i]->setVisible(i == 0);
    }
    m.hyouzi = addItem(m.sk6, "hyouzi", QStringLiteral("タスクトレイに入れる"));
}

} // namespace

LauncherMenus buildLauncherMenus(QWidget* owner) {
    LauncherMenus m;
    m.op1 = new QMenu(QStringLiteral("ファイル"), owner);
    m.op1->setObjectName(QStringLiteral("op1"));
    m.newList = addItem(m.op1, "new", QStringLiteral("新規作成"));
    m.sk13 = addItem(m.op1, "sk13", QStringLiteral("開く"));
    addSeparator(m.op1, "kugiri1");
    m.sk6 = addSubmenu(m.op1, "sk6", QStringLiteral("設定"));
    buildSettingsMenu(m);
    addSeparator(m.op1, "kugiri2");
    m.sk4 = addItem(m.op1, "sk4", Texts::Close);

    m.tasukumenu = new QMenu(QStringLiteral("Popup"), owner);
    m.tasukumenu->setObjectName(QStringLiteral("tasukumenu"));
    m.Modosu = addItem(m.tasukumenu, "Modosu", QStringLiteral("戻す"));
    addSeparator(m.tasukumenu, "kugiri3");
    m.Toziru = addItem(m.tasukumenu, "Toziru", Texts::Close);
    return m;
}
