#pragma once

#include <QString>

// The texts the user sees that more than one place shows: the title of every
// window and message, the messages, and the captions shared by a menu item
// and the window it opens. A caption only one control carries stays with it.
namespace Texts {

inline const QString Title = QStringLiteral("Tovlan");

// Messages.
inline const QString NotThere = QStringLiteral("そこは違います");
inline const QString FileMissing = QStringLiteral("ファイルが存在しません");
inline const QString WriteError = QStringLiteral("書き込みエラー");
inline const QString ReadError = QStringLiteral("読み込みエラー");
inline const QString NoRoom = QStringLiteral("これ以上登録できません");
inline const QString AskListName = QStringLiteral("ファイル名を記入してください。");
inline const QString NoDisplay = QStringLiteral("画面がありません (X の DISPLAY に繋がりません。"
                                                "Wayland では XWayland が要ります)");

// Captions.
inline const QString Run = QStringLiteral("実行");
inline const QString ApplicationName = QStringLiteral("アプリケーション名");
inline const QString Options = QStringLiteral("オプション");
inline const QString Delete = QStringLiteral("消去");
inline const QString Close = QStringLiteral("閉じる");
inline const QString OpenFileTitle = QStringLiteral("ファイルを開く");
inline const QString DisplayName = QStringLiteral("表示する名前");
inline const QString TargetPath = QStringLiteral("フルパス付のファイル名など");
inline const QString StartupList = QStringLiteral("exe起動時に開くファイル");

// The open-file dialog's filter for list files: "description|pattern".
inline const QString ListFilter = QStringLiteral("ショートカット|*.xxa");

} // namespace Texts
