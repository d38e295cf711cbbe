// The main window's side of the recording control, for tests: it records what the control asked
// for and hands out a real notification-area icon on a hidden window of the test's own.
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

// A hidden top-level window with an icon, for an IkonaOznameni to sit on.
class SkryteOkno {
public:
    explicit SkryteOkno(HICON ikona)
    {
        WNDCLASSEXW c{sizeof c};
        c.lpfnWndProc = DefWindowProcW;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = L"tonbar_test_ikona";
        RegisterClassExW(&c);
        okno_ = CreateWindowExW(0, c.lpszClassName, L"Tonbar", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                c.hInstance, nullptr);
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ikona));
    }
    ~SkryteOkno() { DestroyWindow(okno_); }
    SkryteOkno(const SkryteOkno&) = delete;
    SkryteOkno& operator=(const SkryteOkno&) = delete;
    HWND Handle() const { return okno_; }

private:
    HWND okno_ = nullptr;
};

} // namespace tonbar::test
