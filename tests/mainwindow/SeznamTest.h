// Pieces of the list-of-recordings tests: a host window that owns the list
// the way the main window does and a temporary folder.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "controls/Okno.h"
#include "controls/TestOkna.h"
#include "harness/TestFolder.h"
#include "mainwindow/ListViewObsahSlozky.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace list_test {

class Hostitel : public mirvak::winapi::OknoImpl<Hostitel>, public mirvak::winapi::IListViewObsahSlozky {
public:
    uint32_t parametry = 1;
    int zmen = 0;
    int zmizelo = 0;  // notices that the folder has gone
    int dotazu = 0;   // files the list looked at
    std::vector<std::wstring> zobrazeno;

    bool FilterFile(const wchar_t* jmeno) override
    {
        ++dotazu;
        return mirvak::winapi::OdfiltrovatSoubor(parametry, jmeno);
    }
    void FolderShown(const wchar_t* slozka) override { zobrazeno.push_back(slozka); }

    HRESULT Vytvorit()
    {
        RECT r{40, 40, 840, 640};
        return Create(nullptr, r, L"seznam", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    }

    MV_BEGIN_MSG_MAP(Hostitel)
    MV_MESSAGE_HANDLER(mirvak::winapi::WM_SEZNAM_ZMENA, OnZmena)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnZmena(UINT, WPARAM w, LPARAM, BOOL&)
    {
        ++zmen;
        if (w == mirvak::winapi::kSlozkaZmizela)
            ++zmizelo;
        return 0;
    }
};

using tonbar::test::Pumpovat;

using tonbar::test::Cekat;

// A folder of the test's own, removed with everything in it.
class Slozka : public tonbar::test::TestFolder {
public:
    const std::wstring& Cesta() const { return Path(); }
    std::wstring Soubor(const std::wstring& jmeno) const { return File(jmeno); }
    // A file of `velikost` bytes; past 4 GiB the file is sparse on Wine's side.
    bool Vytvorit(const std::wstring& jmeno, uint64_t velikost = 0) const
    {
        HANDLE h = CreateFileW(Soubor(jmeno).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        LARGE_INTEGER p;
        p.QuadPart = static_cast<LONGLONG>(velikost);
        bool ok = SetFilePointerEx(h, p, nullptr, FILE_BEGIN) && SetEndOfFile(h);
        CloseHandle(h);
        return ok;
    }
};

inline int Index(const mirvak::winapi::ListViewObsahSlozky& list, const std::wstring& jmeno)
{
    for (int i = 0; i < list.Count(); ++i)
        if (list.ItemText(i, 0) == jmeno)
            return i;
    return -1;
}

// Selects and focuses the file alone, as a click does.
inline void Kliknout(const mirvak::winapi::ListViewObsahSlozky& list, const std::wstring& jmeno)
{
    LVITEMW s{};
    s.stateMask = LVIS_SELECTED;
    list.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&s));
    s.stateMask = s.state = LVIS_SELECTED | LVIS_FOCUSED;
    list.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(Index(list, jmeno)), reinterpret_cast<LPARAM>(&s));
}

// A host window with the list in it, as the main window creates it.
struct Seznam : ::testing::Test {
    Hostitel host;
    mirvak::winapi::ListViewObsahSlozky list;
    Slozka dir;

    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        ASSERT_EQ(host.Vytvorit(), S_OK);
        ASSERT_EQ(list.Create(host), S_OK);
        list.SetCallbacks(&host);
    }
    void TearDown() override
    {
        list.StopWatch();
        Pumpovat();
    }

    std::vector<std::wstring> Jmena() const
    {
        std::vector<std::wstring> v;
        for (int i = 0; i < list.Count(); ++i)
            v.push_back(list.ItemText(i, 0));
        return v;
    }
    std::vector<std::wstring> Serazene() const
    {
        auto v = Jmena();
        std::sort(v.begin(), v.end());
        return v;
    }
    int Vybrana(UINT stav = LVNI_SELECTED) const
    {
        return static_cast<int>(list.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), stav));
    }
    // The name of the one selected and focused file, as a click leaves it;
    // "<...>" when the list shows anything else.
    std::wstring VybranyAFokus() const
    {
        int i = Vybrana(), f = Vybrana(LVNI_FOCUSED);
        if (list.Send(LVM_GETSELECTEDCOUNT) != 1 || i < 0 || f != i)
            return L"<selected " + std::to_wstring(i) + L", focused " + std::to_wstring(f) + L">";
        return list.ItemText(i, 0);
    }
    void Vybrat(std::initializer_list<int> indexy)
    {
        LVITEMW s{};
        s.stateMask = LVIS_SELECTED;
        list.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&s));
        s.state = LVIS_SELECTED;
        for (int i : indexy)
            list.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&s));
    }
    void Kliknout(const std::wstring& jmeno) { list_test::Kliknout(list, jmeno); }
    int Index(const std::wstring& jmeno) const { return list_test::Index(list, jmeno); }
    static bool Existuje(const std::wstring& cesta) { return GetFileAttributesW(cesta.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

} // namespace list_test
