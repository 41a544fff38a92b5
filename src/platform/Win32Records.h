#pragma once

#include <QIcon>
#include <QString>
#include <QtGlobal>

// The two records the launcher hands to the platform, with the field values
// their callers rely on. Text fields hold QString; the real platform layer
// converts them where a byte form matters (the file dialog's 512-byte buffers).

using HWND = quintptr;

constexpr int OFN_FILEMUSTEXIST = 4096;
constexpr int OpenFileBufferSize = 512;

struct OPENFILENAME {
    quint32 lStructSize = 0;
    HWND hwndOwner = 0;
    quint32 hInstance = 0;
    QString lpstrFilter; // "desc" NUL "pattern" NUL ... NUL NUL
    QString lpstrCustomFilter;
    quint32 nMaxCustFilter = 0;
    quint32 nFilterIndex = 0;
    QString lpstrFile; // buffer of nMaxFile characters
    quint32 nMaxFile = 0;
    QString lpstrFileTitle; // buffer of nMaxFileTitle characters
    quint32 nMaxFileTitle = 0;
    QString lpstrInitialDir;
    QString lpstrTitle;
    quint32 Flags = 0;
    quint16 nFileOffset = 0;
    quint16 nFileExtension = 0;
    QString lpstrDefExt;
    quint32 lCustData = 0;
    quint32 lpfnHook = 0;
    QString lpTemplateName;
};

constexpr quint32 NIM_ADD = 0;
constexpr quint32 NIM_DELETE = 2;
constexpr quint32 NIF_MESSAGE = 1;
constexpr quint32 NIF_ICON = 2;
constexpr quint32 NIF_TIP = 4;
constexpr quint32 WM_MOUSEMOVE = 0x200;
constexpr quint32 WM_LBUTTONDBLCLK = 0x203;
constexpr quint32 WM_RBUTTONUP = 0x205;

struct NOTIFYICONDATA {
    quint32 cbSize = 0;
    HWND hWnd = 0;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    QIcon hIcon;
    char szTip[64] = {};
};
