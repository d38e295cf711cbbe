#include "app/Verze.h"

#include "app/Chyby.h"

#include <cstdio>
#include <vector>

HRESULT NacistHodnotuVerze(const wchar_t* nazev, std::wstring& hodnota, HMODULE modul)
{
    hodnota.clear();
    wchar_t cesta[MAX_PATH];
    DWORD delka = GetModuleFileNameW(modul, cesta, MAX_PATH);
    if (delka == 0 || delka >= MAX_PATH)
        return KodPosledniChyby();
    DWORD handle = 0;
    DWORD velikost = GetFileVersionInfoSizeW(cesta, &handle);
    if (velikost == 0)
        return KodPosledniChyby();
    std::vector<BYTE> data(velikost);
    if (!GetFileVersionInfoW(cesta, 0, velikost, data.data()))
        return KodPosledniChyby();

    struct Preklad { WORD jazyk, kodovaStranka; };
    Preklad* preklady = nullptr;
    UINT delkaPrekladu = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&preklady), &delkaPrekladu) ||
        delkaPrekladu < sizeof(Preklad))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);

    wchar_t podblok[128];
    _snwprintf(podblok, 128, L"\\StringFileInfo\\%04x%04x\\%s", preklady[0].jazyk,
               preklady[0].kodovaStranka, nazev);
    podblok[127] = 0;
    wchar_t* text = nullptr;
    UINT delkaTextu = 0;
    if (!VerQueryValueW(data.data(), podblok, reinterpret_cast<void**>(&text), &delkaTextu) || !text)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    // The length may or may not count the terminator; stop at the first zero.
    hodnota.assign(text, wcsnlen(text, delkaTextu));
    return S_OK;
}
