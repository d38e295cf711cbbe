// A host module for tests: takes over the message boxes, recording them
// (from any thread: a dialog under test may run on a thread of its own).
#pragma once

#include "app/IMirvakModul.h"

#include <functional>
#include <mutex>
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
        {
            std::lock_guard<std::mutex> z(m_);
            zpravy.push_back({text ? text : L"", flags});
        }
        if (priZprave)
            priZprave();
        *vysledek = odpoved;
        return S_OK;
    }
    // The texts so far; safe while another thread may add one.
    std::vector<std::wstring> Zpravy() const
    {
        std::lock_guard<std::mutex> z(m_);
        std::vector<std::wstring> t;
        for (const Zprava& p : zpravy)
            t.push_back(p.text);
        return t;
    }
    // The last box shown after the first `pred`; "" when none came.
    std::wstring NovaZprava(size_t pred) const
    {
        std::lock_guard<std::mutex> z(m_);
        return zpravy.size() > pred ? zpravy.back().text : L"";
    }
    void Vymazat()
    {
        std::lock_guard<std::mutex> z(m_);
        zpravy.clear();
    }

    std::vector<Zprava> zpravy;
    int odpoved = IDOK;
    // Runs while the box would be open, e.g. a message loop as the box's own.
    std::function<void()> priZprave;

private:
    mirvak::IMirvakModul* predchozi_;
    mutable std::mutex m_;
};

} // namespace tonbar::test
