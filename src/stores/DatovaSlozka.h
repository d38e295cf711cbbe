// Where the shared stores live: a folder named by a registry value of the
// store's own key (only read), else the per-user folder under the local
// application data. Also the program's folder, the Windows user name, and
// backing up and restoring a store file through the shell's file dialogs.
#pragma once

#include <windows.h>

#include "stores/rxml/RxmlStore.h"

#include <functional>
#include <string>
#include <vector>

enum class Uloziste { FtpMista, SmtpUcty, Kontakty };

struct PopisUloziste {
    const wchar_t* klic;     // under HKEY_CURRENT_USER
    const wchar_t* hodnota;  // REG_SZ naming the folder
    const wchar_t* soubor;   // file name in that folder
};
const PopisUloziste& Popis(Uloziste uloziste);

// LocalAppData + "\Mirvak", created when missing (and `create` is set).
HRESULT GetUserDataFolder(std::wstring& folder, bool create = true);
// 0: `path` is an existing file. 1: `path` is where the file belongs, but no
// file is there (or a folder of that name is). Negative: the failing call's code.
HRESULT ResolveStoreFile(Uloziste uloziste, std::wstring& path);
// The running executable's folder, without a trailing backslash.
HRESULT GetProgramFolder(std::wstring& folder);
// The signed-in user; on failure "Nezjištěný uživatel" and the error.
HRESULT GetWindowsUserName(std::wstring& name);

// Copies the store's file to where the user picks (shell save dialog).
// 0 done, 1 cancelled or nothing to do; failures are shown and logged.
HRESULT BackupStoreFile(HWND owner, Uloziste uloziste);
// Copies a file the user picks over the store's file, then calls `reload`
// (which reloads the store and refills the caller's list). 0 done, 1 cancelled.
HRESULT RestoreStoreFile(HWND owner, Uloziste uloziste, const std::function<void()>& reload);

// A store's load: resolves its path, then as LoadRxmlStore. 1 (list empty)
// when the file does not exist yet.
template <typename Record>
HRESULT LoadStore(Uloziste uloziste, const RxmlStoreFormat<Record>& format, std::vector<Record>& list)
{
    list.clear();
    std::wstring path;
    HRESULT hr = ResolveStoreFile(uloziste, path);
    if (hr != S_OK)
        return hr;
    return LoadRxmlStore(path, format, list);
}

// A store's save: resolves its path (a missing file is created), then as
// SaveRxmlStore. The file is replaced only when complete.
template <typename Record>
HRESULT SaveStore(Uloziste uloziste, const RxmlStoreFormat<Record>& format, const std::vector<Record>& list)
{
    std::wstring path;
    HRESULT hr = ResolveStoreFile(uloziste, path);
    if (FAILED(hr))
        return hr;
    return SaveRxmlStore(path, format, list);
}
