// What the FTP dialogs share: the application's icons and product name, which
// a test host without an application object does not have.
#pragma once

#include <windows.h>

#include "app/Aplikace.h"
#include "app/IMirvakModul.h"

#include <string>

namespace mirvak::ftp {

inline const wchar_t* NazevProduktuFtp()
{
    if (g_aplikace && !g_aplikace->nazevProduktu.empty())
        return g_aplikace->nazevProduktu.c_str();
    if (mirvak::g_modul)
        return mirvak::g_modul->NazevProduktu();
    return L"Tonbar";
}

inline void NastavitIkonyDialogu(HWND dialog)
{
    if (!g_aplikace)
        return;
    if (g_aplikace->velkaIkona)
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_aplikace->velkaIkona));
    if (g_aplikace->malaIkona)
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_aplikace->malaIkona));
}

// The text of a dialog control.
inline std::wstring TextPrvku(HWND dialog, int id)
{
    HWND prvek = GetDlgItem(dialog, id);
    int delka = GetWindowTextLengthW(prvek);
    std::wstring text(static_cast<size_t>(delka) + 1, L'\0');
    int n = GetWindowTextW(prvek, text.data(), delka + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

} // namespace mirvak::ftp
