// A host module for tests: takes over the message boxes, recording them.
#pragma once

#include "app/IMirvakModul.h"

#include <functional>
#include <string>
#include <vector>

namespace tonbar::test {

class TestModul : public mirvak::IMirvakModul {
public:
    struct Zprava {
        std::wstring text;
        UINT flags;
    };

    TestModul() { predchozi_ = mirvak::g_modul; mirvak::g_modul = this; }
    ~TestModul() { mirvak::g_modul = predchozi_; }

    const wchar_t* NazevProduktu() override { return L"Tonbar"; }
    HRESULT ObsluhaFatalniChyby(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT ObsluhaZpravy(const wchar_t* text, UINT flags, int* vysledek) override
    {
        zpravy.push_back({text, flags});
        if (priZprave)
            priZprave();
        *vysledek = odpoved;
        return S_OK;
    }

    std::vector<Zprava> zpravy;
    int odpoved = IDOK;
    // Runs while the box would be open, e.g. a message loop as the box's own.
    std::function<void()> priZprave;

private:
    mirvak::IMirvakModul* predchozi_;
};

} // namespace tonbar::test
