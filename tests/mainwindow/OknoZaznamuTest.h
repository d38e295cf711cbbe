// The main window's side of the recording control, for tests: it records what the control asked for and hands
// out the notification-area icon the test gives it.
#pragma once

#include "mainwindow/IkonaOznameni.h"
#include "mainwindow/RizeniZaznamu.h"

#include <string>
#include <vector>

namespace tonbar::test {

class OknoZaznamuTest : public IOknoZaznamu {
public:
    bool SlozkaSeznamu(std::wstring& s) override
    {
        if (!slozkaSeznamu.empty())
            s = slozkaSeznamu;
        return !slozkaSeznamu.empty();
    }
    bool SpustitBlikani() override
    {
        ++spusteniBlikani;
        return blika = casovacJde;
    }
    void ZastavitBlikani() override { blika = false; }
    void NastavitStav(const std::wstring& t, HICON i) override
    {
        text = t;
        ikonaStavu = i ? i : ikonaStavu;
    }
    void NastavitIkonuStavu(HICON i) override { ikonaStavu = i; }
    void NastavitUroven(const std::wstring& t, double) override { uroven = t; }
    bool Viditelne() override { return viditelne; }
    IkonaOznameni* Ikona() override { return ikona; }
    void AktualizovatStavy() override { ++aktualizace; }
    void ZobrazitSlozku(const std::wstring& s) override { zobrazenaSlozka = s; }
    void Chyba(const std::wstring& t, HRESULT h) override
    {
        chyby.push_back(t);
        kodChyby = h;
    }

    std::wstring slozkaSeznamu, text, uroven, zobrazenaSlozka;
    bool casovacJde = true, blika = false, viditelne = true;
    int spusteniBlikani = 0, aktualizace = 0;
    HICON ikonaStavu = nullptr;
    IkonaOznameni* ikona = nullptr;
    std::vector<std::wstring> chyby;
    HRESULT kodChyby = S_OK;
};

} // namespace tonbar::test
