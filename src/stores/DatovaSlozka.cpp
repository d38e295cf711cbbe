#include "stores/DatovaSlozka.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "resources/resource.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

bool JeSoubor(const std::wstring& cesta)
{
    DWORD a = GetFileAttributesW(cesta.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool JeSlozka(const std::wstring& cesta)
{
    DWORD a = GetFileAttributesW(cesta.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

struct TaskMem {
    PWSTR p = nullptr;
    ~TaskMem() { CoTaskMemFree(p); }
};

// Both dialogs offer the store files first, then every file.
HRESULT NastavitTypy(IFileDialog* dialog)
{
    static std::wstring rxml, vse;
    rxml = NacistRetezec(IDS_UDAJE_FILTR_RXML);
    vse = NacistRetezec(IDS_UDAJE_FILTR_VSE);
    COMDLG_FILTERSPEC typy[] = {{rxml.c_str(), L"*.rxml"}, {vse.c_str(), L"*.*"}};
    return dialog->SetFileTypes(2, typy);
}

// The error box of a failed copy, with the system's text, and the same
// message in the event log as a warning.
void OhlasitKopii(UINT id, HRESULT hr)
{
    ZobrazitChybuSystemu(id, hr);
    ZapsatVarovani(id);
}

HRESULT CestaVybrana(IFileDialog* dialog, std::wstring& cesta)
{
    ComPtr<IShellItem> polozka;
    HRESULT hr = dialog->GetResult(&polozka);
    if (FAILED(hr))
        return hr;
    TaskMem text;
    hr = polozka->GetDisplayName(SIGDN_FILESYSPATH, &text.p);
    if (FAILED(hr))
        return hr;
    cesta = text.p;
    return S_OK;
}

} // namespace

const PopisUloziste& Popis(Uloziste uloziste)
{
    static const PopisUloziste popisy[] = {
        {L"Software\\Mirvak\\ftp_mista", L"SlozkaData", L"ftp_mista.rxml"},
        {L"Software\\Mirvak\\smtp_ucty", L"SlozkaData", L"smtp_ucty.rxml"},
        {L"Software\\Mirvak\\kontakty", L"slozka_data", L"kontakty.rxml"},
    };
    return popisy[static_cast<int>(uloziste)];
}

HRESULT GetUserDataFolder(std::wstring& folder, bool create)
{
    TaskMem lokalni;
    HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, create ? KF_FLAG_CREATE : 0, nullptr, &lokalni.p);
    if (FAILED(hr))
        return hr;
    std::wstring cesta = lokalni.p;
    if (!JeSlozka(cesta))
        return E_INVALIDARG;
    cesta += L"\\Mirvak";
    if (!JeSlozka(cesta) && !CreateDirectoryW(cesta.c_str(), nullptr)) {
        HRESULT chyba = KodPosledniChyby();
        if (!JeSlozka(cesta))  // another process may have made it meanwhile
            return chyba;
    }
    if (!JeSlozka(cesta))
        return KodChyby(ERROR_PATH_NOT_FOUND);
    folder = cesta;
    return S_OK;
}

HRESULT ResolveStoreFile(Uloziste uloziste, std::wstring& path)
{
    const PopisUloziste& popis = Popis(uloziste);
    std::wstring slozka;
    HRESULT hr = GetUserDataFolder(slozka, true);
    if (FAILED(hr))
        return hr;
    std::wstring cesta = slozka + L"\\" + popis.soubor;

    // Read only: a key the user may read but not write still names the folder.
    mirvak::winapi::RegKey klic;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, popis.klic, 0, KEY_READ, klic.Put()) == ERROR_SUCCESS) {
        DWORD typ = 0, velikost = 0;
        if (RegQueryValueExW(klic.Get(), popis.hodnota, nullptr, &typ, nullptr, &velikost) == ERROR_SUCCESS &&
            typ == REG_SZ) {
            std::vector<wchar_t> buf(velikost / sizeof(wchar_t) + 1, L'\0');
            DWORD bajty = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
            if (RegQueryValueExW(klic.Get(), popis.hodnota, nullptr, &typ, reinterpret_cast<BYTE*>(buf.data()),
                                 &bajty) == ERROR_SUCCESS &&
                typ == REG_SZ)
                cesta = std::wstring(buf.data()) + L"\\" + popis.soubor;
        }
    }
    path = cesta;
    return JeSoubor(path) ? S_OK : S_FALSE;
}

HRESULT GetProgramFolder(std::wstring& folder)
{
    std::vector<wchar_t> buf(32767, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n >= buf.size())
        return n == 0 ? KodPosledniChyby() : KodChyby(ERROR_INSUFFICIENT_BUFFER);
    if (!PathRemoveFileSpecW(buf.data()))
        return KodPosledniChyby();
    folder = buf.data();
    return S_OK;
}

HRESULT GetWindowsUserName(std::wstring& name)
{
    wchar_t jmeno[257];
    DWORD delka = 257;
    if (!GetUserNameW(jmeno, &delka)) {
        HRESULT hr = KodPosledniChyby();
        name = NacistRetezec(IDS_NEZJISTENY_UZIVATEL);
        return hr;
    }
    name = jmeno;
    return S_OK;
}

HRESULT BackupStoreFile(HWND owner, Uloziste uloziste)
{
    ComPtr<IFileSaveDialog> dialog;
    HRESULT hr = CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog));
    if (FAILED(hr)) {
        ZobrazitChybu(STeckou(TextKodu(hr)).c_str());
        return hr;
    }
    std::wstring zdroj;
    hr = ResolveStoreFile(uloziste, zdroj);
    if (hr != S_OK) {
        ZobrazitChybuId(IDS_UDAJE_SOUBOR_NENALEZEN);
        return FAILED(hr) ? hr : S_FALSE;
    }
    dialog->SetFileName(PathFindFileNameW(zdroj.c_str()));
    if (SUCCEEDED(NastavitTypy(dialog.Get())))
        dialog->SetDefaultExtension(L"rxml");
    if (FAILED(dialog->Show(owner)))
        return S_FALSE;
    std::wstring cil;
    if (FAILED(CestaVybrana(dialog.Get(), cil)))
        return S_FALSE;
    if (!CopyFileW(zdroj.c_str(), cil.c_str(), FALSE)) {
        hr = KodPosledniChyby();
        OhlasitKopii(IDS_UDAJE_CHYBA_KOPIE_ZALOHY, hr);
        return hr;
    }
    return S_OK;
}

HRESULT RestoreStoreFile(HWND owner, Uloziste uloziste, const std::function<void()>& reload)
{
    ComPtr<IFileOpenDialog> dialog;
    HRESULT hr = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog));
    if (FAILED(hr)) {
        ZobrazitChybu(STeckou(TextKodu(hr)).c_str());
        return hr;
    }
    NastavitTypy(dialog.Get());
    if (FAILED(dialog->Show(owner)))
        return S_FALSE;
    std::wstring cil;
    hr = ResolveStoreFile(uloziste, cil);
    if (FAILED(hr))
        return hr;
    std::wstring zdroj;
    if (FAILED(CestaVybrana(dialog.Get(), zdroj)))
        return S_FALSE;
    if (!CopyFileW(zdroj.c_str(), cil.c_str(), FALSE)) {
        hr = KodPosledniChyby();
        OhlasitKopii(IDS_UDAJE_CHYBA_KOPIE_ZE_ZALOHY, hr);
        return hr;
    }
    if (reload)
        reload();
    return S_OK;
}
