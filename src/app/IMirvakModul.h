// The interface through which shared code reaches its host module.
#pragma once

#include <windows.h>

namespace mirvak {

class IMirvakModul {
public:
    // The product name used in titles, message captions and as event source.
    virtual const wchar_t* NazevProduktu() = 0;
    // A host may take over fatal errors; E_NOTIMPL lets the default box run.
    virtual HRESULT ObsluhaFatalniChyby(const wchar_t* text) = 0;
    // A host may take over message boxes; E_NOTIMPL lets the default box run.
    // When handled, *vysledek receives the button the box would have returned.
    virtual HRESULT ObsluhaZpravy(const wchar_t* text, UINT flags, int* vysledek) = 0;

protected:
    ~IMirvakModul() = default;
};

// The module the helpers report through; set first thing at start-up.
extern IMirvakModul* g_modul;

} // namespace mirvak
