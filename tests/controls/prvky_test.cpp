// The common controls attached to real system controls in a host window.
#include "controls/CheckListView.h"
#include "controls/Edit.h"
#include "controls/StaticNahledObrazku.h"
#include "controls/StaticText.h"
#include "controls/TestOkna.h"

#include "app/TestModul.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

using namespace mirvak::winapi;
using tonbar::test::DocasnaSlozka;
using tonbar::test::Hostitel;
using tonbar::test::Obraz;
using tonbar::test::Pumpovat;

namespace {

RECT Obdelnik(int x, int y, int w, int h)
{
    return RECT{x, y, x + w, y + h};
}

std::wstring TextOkna(HWND okno)
{
    wchar_t text[512] = {};
    GetWindowTextW(okno, text, 512);
    return text;
}

class PrvkyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host_.Vytvorit(500, 400), S_OK); }
    tonbar::test::TestModul modul_;
    Hostitel host_;
};

// Columns of `obraz` that hold a pixel of exactly `barva`: first and last.
bool RozsahBarvy(const Obraz& obraz, COLORREF barva, int& prvni, int& posledni, int& radkuPrvni, int& radkuPosledni)
{
    prvni = radkuPrvni = 1 << 30;
    posledni = radkuPosledni = -1;
    for (int y = 0; y < obraz.Vyska(); ++y)
        for (int x = 0; x < obraz.Sirka(); ++x)
            if (obraz.Barva(x, y) == barva) {
                prvni = std::min(prvni, x);
                posledni = std::max(posledni, x);
                radkuPrvni = std::min(radkuPrvni, y);
                radkuPosledni = std::max(radkuPosledni, y);
            }
    return posledni >= 0;
}

} // namespace

// Static texts ---------------------------------------------------------------

TEST_F(PrvkyTest, SmallHeadingIsCentredDarkRedVerdana)
{
    HWND s = host_.Prvek(L"STATIC", 1030, SS_LEFT, Obdelnik(0, 0, 300, 30), L"Nadpis");
    StaticNadpisMaly nadpis;
    ASSERT_EQ(nadpis.Attach(s), S_OK);
    EXPECT_EQ(GetWindowLongPtrW(s, GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);
    EXPECT_TRUE(GetWindowLongPtrW(s, GWL_STYLE) & SS_NOTIFY);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(nadpis.Font(), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -15);
    EXPECT_STREQ(lf.lfFaceName, L"Verdana");
    EXPECT_EQ(nadpis.TextColor(), RGB(128, 0, 0));
    EXPECT_EQ(nadpis.Alignment(), StaticText::kNaStred);

    ASSERT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));  // the default scheme
    Obraz obraz(host_, s);
    EXPECT_TRUE(obraz.Vysledek());
    // The background is the face colour; the text is dark red and centred.
    EXPECT_EQ(obraz.Barva(0, 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(obraz.Barva(obraz.Sirka() - 1, obraz.Vyska() - 1), GetSysColor(COLOR_BTNFACE));
    int prvni, posledni, horni, dolni;
    ASSERT_TRUE(RozsahBarvy(obraz, RGB(128, 0, 0), prvni, posledni, horni, dolni));
    EXPECT_GT(prvni, 60);
    EXPECT_NEAR(prvni, obraz.Sirka() - 1 - posledni, 6);
    // The drawing's font really is 15 pixels high.
    EXPECT_LE(dolni - horni + 1, 15);
    EXPECT_GE(dolni - horni + 1, 7);
}

TEST_F(PrvkyTest, ValueIsLeftAlignedDarkGreenInTheDialogFont)
{
    HWND s = host_.Prvek(L"STATIC", 1040, SS_RIGHT, Obdelnik(0, 40, 300, 20), L"Hodnota");
    HFONT dialogovy = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    SendMessageW(s, WM_SETFONT, reinterpret_cast<WPARAM>(dialogovy), FALSE);
    {
        StaticHodnota hodnota;
        ASSERT_EQ(hodnota.Attach(s), S_OK);
        LOGFONTW lf{};
        ASSERT_TRUE(GetObjectW(hodnota.Font(), sizeof lf, &lf));
        EXPECT_EQ(lf.lfHeight, -11);
        EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
        EXPECT_NE(hodnota.Font(), dialogovy);  // a copy of its own
        Obraz obraz(host_, s);
        int prvni, posledni, horni, dolni;
        ASSERT_TRUE(RozsahBarvy(obraz, RGB(0, 96, 0), prvni, posledni, horni, dolni));
        EXPECT_LT(prvni, 4);
        EXPECT_LT(posledni, 150);
        EXPECT_EQ(hodnota.SetFaceName(L"V"), E_INVALIDARG);
        EXPECT_EQ(hodnota.SetFaceName(nullptr), E_INVALIDARG);
        ASSERT_EQ(hodnota.SetFaceName(L"Verdana"), S_OK);
        ASSERT_TRUE(GetObjectW(hodnota.Font(), sizeof lf, &lf));
        EXPECT_STREQ(lf.lfFaceName, L"Verdana");
        EXPECT_EQ(lf.lfHeight, -11);
    }
    // The dialog's font outlives the control object.
    LOGFONTW lf{};
    EXPECT_TRUE(GetObjectW(dialogovy, sizeof lf, &lf));
    DeleteObject(dialogovy);
}

TEST_F(PrvkyTest, StaticTextRefusesWhatIsNoWindowAndLetsGoAtTheEnd)
{
    StaticText text;
    EXPECT_EQ(text.Attach(nullptr), E_INVALIDARG);
    EXPECT_EQ(text.Attach(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFF4))), E_INVALIDARG);
    HWND s = host_.Prvek(L"STATIC", 1050, SS_LEFT, Obdelnik(0, 0, 100, 20), L"x");
    ASSERT_EQ(text.Attach(s, RGB(1, 2, 3), -30), S_OK);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(text.Font(), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -30);
    DestroyWindow(s);
    EXPECT_EQ(text.Font(), nullptr);
    EXPECT_EQ(text.Handle(), nullptr);
}

TEST_F(PrvkyTest, SystemStaticAsksItsParentToDrawIt)
{
    // The style change alone makes the system static send WM_DRAWITEM to the
    // parent, which reflects it to the object: printed into a bitmap here.
    HWND s = host_.Prvek(L"STATIC", 1031, SS_CENTER, Obdelnik(0, 0, 200, 24), L"Nadpis");
    StaticNadpis nadpis;
    ASSERT_EQ(nadpis.Attach(s), S_OK);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, 200, -24, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    uint32_t* bity = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bity), nullptr, 0);
    HGDIOBJ puvodni = SelectObject(dc, bmp);
    for (int i = 0; i < 200 * 24; ++i)
        bity[i] = 0x00123456;
    SendMessageW(s, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    int cervenych = 0, prvni = 200;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 200; ++x)
            if (bity[y * 200 + x] == 0x00800000) {
                ++cervenych;
                prvni = std::min(prvni, x);
            }
    COLORREF plocha = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(bity[0], (static_cast<uint32_t>(GetRValue(plocha)) << 16) | (GetGValue(plocha) << 8) | GetBValue(plocha));
    EXPECT_GT(cervenych, 10);
    EXPECT_LT(prvni, 4);  // a heading is left-aligned whatever the template said
    SelectObject(dc, puvodni);
    DeleteObject(bmp);
    DeleteDC(dc);
}

// Numeric edit ------------------------------------------------------------------

TEST_F(PrvkyTest, NumberOutsideTheRangeIsPutBack)
{
    HWND e = host_.Prvek(L"EDIT", 1060, WS_BORDER, Obdelnik(10, 10, 120, 24));
    EditCislo cislo;
    ASSERT_EQ(cislo.Attach(e, 25), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(e, GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(TextOkna(e), L"25");
    EXPECT_EQ(cislo.Value(), 25u);

    auto opustit = [&](const wchar_t* text) {
        SetWindowTextW(e, text);
        SendMessageW(e, WM_KILLFOCUS, 0, 0);
        return TextOkna(e);
    };
    EXPECT_EQ(opustit(L"0"), L"25");
    EXPECT_EQ(opustit(L"10000001"), L"25");
    EXPECT_EQ(opustit(L""), L"25");
    EXPECT_EQ(opustit(L"4294967296"), L"25");  // does not fit 32 bits
    EXPECT_EQ(cislo.Value(), 25u);
    EXPECT_EQ(opustit(L"10000000"), L"10000000");
    EXPECT_EQ(cislo.Value(), 10000000u);
    EXPECT_EQ(opustit(L"1"), L"1");
    EXPECT_EQ(opustit(L"0"), L"1");  // back to the last accepted
    EXPECT_TRUE(modul_.zpravy.empty());  // silently

    // A real change of focus does the same.
    HWND jiny = host_.Prvek(L"EDIT", 1061, WS_BORDER, Obdelnik(10, 40, 120, 24));
    SetForegroundWindow(host_);
    SetFocus(e);
    SetWindowTextW(e, L"0");
    SetFocus(jiny);
    EXPECT_EQ(TextOkna(e), L"1");
}

TEST_F(PrvkyTest, NumberEditHintNamesItsRange)
{
    EXPECT_EQ(TextRozsahu(1, 10000000), L"Zadejte hodnotu v rozsahu 1 - 10000000");
    EXPECT_EQ(TextRozsahu(-1, 50), L"Zadejte číselnou hodnotu do 50");
    EXPECT_EQ(TextRozsahu(5, -1), L"Zadejte číselnou hodnotu od 5");
    EXPECT_EQ(TextRozsahu(-1, -1), L"Zadejte číselnou hodnotu");

    HWND e = host_.Prvek(L"EDIT", 1062, WS_BORDER, Obdelnik(10, 10, 120, 24));
    EditCislo cislo;
    ASSERT_EQ(cislo.Attach(e, 7, -1, 50), S_OK);
    ASSERT_TRUE(cislo.Tooltip());
    wchar_t text[128] = {};
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.hwnd = host_;
    nastroj.uId = reinterpret_cast<UINT_PTR>(e);
    nastroj.lpszText = text;
    SendMessageW(cislo.Tooltip(), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&nastroj));
    EXPECT_STREQ(text, L"Zadejte číselnou hodnotu do 50");
    // Only the maximum applies: 0 is accepted, 51 is not.
    SetWindowTextW(e, L"0");
    SendMessageW(e, WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(cislo.Value(), 0u);
    SetWindowTextW(e, L"51");
    SendMessageW(e, WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(TextOkna(e), L"0");

    // The tool-tip goes with the control.
    HWND tip = cislo.Tooltip();
    DestroyWindow(e);
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_EQ(cislo.Handle(), nullptr);
}

TEST_F(PrvkyTest, NumberEditNeedsAWindowAndAParent)
{
    EditCislo cislo;
    EXPECT_EQ(cislo.Attach(nullptr, 1), E_INVALIDARG);
    // An edit without a parent cannot take the value.
    HWND samotny = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(cislo.Attach(samotny, 1), E_HANDLE);
    EXPECT_EQ(cislo.Handle(), nullptr);
    DestroyWindow(samotny);
    // Nor one whose id names another control of its parent.
    HWND prvni = host_.Prvek(L"EDIT", 1064, WS_BORDER, Obdelnik(10, 10, 120, 24));
    HWND druhy = host_.Prvek(L"EDIT", 1064, WS_BORDER, Obdelnik(10, 40, 120, 24));
    ASSERT_EQ(GetDlgItem(host_, 1064), prvni);
    EXPECT_EQ(cislo.Attach(druhy, 5), E_HANDLE);
    EXPECT_EQ(TextOkna(prvni), L"");
}

TEST_F(PrvkyTest, EditBalloonNeedsItsTexts)
{
    HWND e = host_.Prvek(L"EDIT", 1063, WS_BORDER, Obdelnik(10, 10, 120, 24));
    EditCislo cislo;
    ASSERT_EQ(cislo.Attach(e, 1), S_OK);
    // With the default title the balloon goes to the edit (Wine's edit
    // answers that it shows none, hence not S_OK alone).
    cislo.SetBalloon(L"", L"text");
    EXPECT_NE(cislo.ShowBalloon(), E_INVALIDARG);
    cislo.SetBalloon(L"Titulek", L"");
    EXPECT_EQ(cislo.ShowBalloon(), E_INVALIDARG);
}

// Browse-button edits ------------------------------------------------------------

namespace {

class EditPocitadlo : public EditProchazeni {
public:
    int prochazeni = 0;
    void Browse() override
    {
        ++prochazeni;
        OznamitVyber();
    }

protected:
    UINT TooltipTextId() const override { return 21107; }
};

void Kliknout(HWND okno, int x, int y)
{
    SendMessageW(okno, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(okno, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

} // namespace

TEST_F(PrvkyTest, ClickOnTheButtonBrowsesAndOnTheTextOnlyPlacesTheCaret)
{
    HWND e = host_.Prvek(L"EDIT", 1070, WS_BORDER | ES_AUTOHSCROLL, Obdelnik(10, 10, 200, 24));
    EditPocitadlo edit;
    ASSERT_EQ(edit.Attach(e, L"C:\\slozka"), S_OK);
    EXPECT_EQ(TextOkna(e), L"C:\\slozka");
    DWORD vyber = static_cast<DWORD>(SendMessageW(e, EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(vyber), HIWORD(vyber));  // nothing selected
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETMARGINS, 0, 0)), EditProchazeni::kSirkaTlacitka + 4);

    RECT k{};
    GetClientRect(e, &k);
    Kliknout(e, 3, k.bottom / 2);
    EXPECT_EQ(edit.prochazeni, 0);
    Kliknout(e, k.right - EditProchazeni::kSirkaTlacitka - 1, k.bottom / 2);  // just left of it
    EXPECT_EQ(edit.prochazeni, 0);
    Kliknout(e, k.right - 3, k.bottom / 2);
    EXPECT_EQ(edit.prochazeni, 1);
    Pumpovat();
    ASSERT_EQ(host_.oznameni.size(), 1u);
    EXPECT_EQ(host_.oznameni[0].zprava, WM_CESTA_VYBRANA);
    EXPECT_EQ(host_.oznameni[0].w, 1070u);
    EXPECT_EQ(host_.oznameni[0].l, reinterpret_cast<LPARAM>(e));

    // The pointer counts as over the button 4 pixels before it.
    SendMessageW(e, WM_MOUSEMOVE, 0, MAKELPARAM(k.right - EditProchazeni::kSirkaTlacitka - 4, 5));
    EXPECT_TRUE(edit.PointerOverButton());
    SendMessageW(e, WM_MOUSEMOVE, 0, MAKELPARAM(k.right - EditProchazeni::kSirkaTlacitka - 5, 5));
    EXPECT_FALSE(edit.PointerOverButton());

    // The tool-tip covers the button with its text.
    ASSERT_TRUE(edit.Tooltip());
    wchar_t text[128] = {};
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.hwnd = e;
    nastroj.uId = 1;
    nastroj.lpszText = text;
    SendMessageW(edit.Tooltip(), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&nastroj));
    EXPECT_STREQ(text, L"Vybrat složku procházením na FTP serveru");

    // Painting draws the button's dots over the edit.
    RedrawWindow(e, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

TEST_F(PrvkyTest, BrowseButtonIsDrawnInsideTheEdit)
{
    HWND e = host_.Prvek(L"EDIT", 1074, WS_BORDER, Obdelnik(10, 10, 200, 24));
    ShowWindow(host_, SW_SHOWNOACTIVATE);
    UpdateWindow(host_);
    RECT k{};
    GetClientRect(e, &k);
    // Dark pixels in the button's part of the client area, read back from
    // the screen.
    auto tmave = [&] {
        HDC dc = GetDC(e);
        int n = 0;
        for (int y = 0; y < k.bottom; ++y)
            for (int x = k.right - EditProchazeni::kSirkaTlacitka - 2; x < k.right; ++x) {
                COLORREF c = GetPixel(dc, x, y);
                if (c != CLR_INVALID && GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80)
                    ++n;
            }
        ReleaseDC(e, dc);
        return n;
    };
    EXPECT_EQ(tmave(), 0);  // an empty edit
    EditSlozka slozka;
    ASSERT_EQ(slozka.Attach(e, nullptr), S_OK);
    RedrawWindow(e, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(tmave(), 3);  // the three dots
}

TEST_F(PrvkyTest, FolderEditTextIsBlackOnTheWindowColour)
{
    HWND e = host_.Prvek(L"EDIT", 1071, WS_BORDER, Obdelnik(10, 10, 200, 24));
    EditSlozka slozka;
    ASSERT_EQ(slozka.Attach(e, nullptr), S_OK);
    HDC dc = GetDC(e);
    SetTextColor(dc, RGB(255, 0, 0));
    LRESULT stetec =
        SendMessageW(host_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(e));
    EXPECT_EQ(stetec, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    ReleaseDC(e, dc);
}

TEST(Slozka, StartsInTheCurrentDirectoryForCurrentOrNothing)
{
    wchar_t aktualni[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, aktualni);
    EXPECT_EQ(PocatecniSlozka(L"current"), aktualni);
    EXPECT_EQ(PocatecniSlozka(L""), aktualni);
    EXPECT_EQ(PocatecniSlozka(L"Current"), L"Current");  // exactly "current" only
    EXPECT_EQ(PocatecniSlozka(L"C:\\data"), L"C:\\data");
}

namespace {

// Answers the first system dialog that this thread opens with `tlacitko`.
struct Odpovidac {
    static inline WPARAM tlacitko = IDOK;
    static inline int odpovedi = 0;
    static inline UINT_PTR casovac = 0;

    static BOOL CALLBACK Najit(HWND okno, LPARAM)
    {
        wchar_t trida[64] = {};
        GetClassNameW(okno, trida, 64);
        if (std::wstring(trida) == L"#32770" && IsWindowVisible(okno)) {
            PostMessageW(okno, WM_COMMAND, tlacitko, 0);
            ++odpovedi;
            KillTimer(nullptr, casovac);
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tik(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), Najit, 0); }
    static void Spustit(WPARAM t)
    {
        tlacitko = t;
        odpovedi = 0;
        casovac = SetTimer(nullptr, 0, 300, Tik);
    }
};

} // namespace

TEST_F(PrvkyTest, FolderDialogStartsInTheCurrentDirectory)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    DocasnaSlozka tmp;
    wchar_t predchozi[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, predchozi);
    ASSERT_TRUE(SetCurrentDirectoryW(tmp.Cesta().c_str()));
    {
        HWND e = host_.Prvek(L"EDIT", 1072, WS_BORDER, Obdelnik(10, 10, 300, 24));
        EditSlozka slozka;
        ASSERT_EQ(slozka.Attach(e, L"current"), S_OK);
        RECT k{};
        GetClientRect(e, &k);

        // Cancel changes nothing.
        Odpovidac::Spustit(IDCANCEL);
        Kliknout(e, k.right - 3, 5);
        EXPECT_EQ(Odpovidac::odpovedi, 1);
        EXPECT_EQ(TextOkna(e), L"current");
        Pumpovat();
        EXPECT_TRUE(host_.oznameni.empty());

        // OK takes the folder the dialog started in.
        Odpovidac::Spustit(IDOK);
        Kliknout(e, k.right - 3, 5);
        EXPECT_EQ(Odpovidac::odpovedi, 1);
        wchar_t dlouha[MAX_PATH], vybrana[MAX_PATH];
        GetLongPathNameW(tmp.Cesta().c_str(), dlouha, MAX_PATH);
        GetLongPathNameW(TextOkna(e).c_str(), vybrana, MAX_PATH);
        EXPECT_EQ(CompareStringOrdinal(vybrana, -1, dlouha, -1, TRUE), CSTR_EQUAL)
            << std::string(TextOkna(e).begin(), TextOkna(e).end());
        Pumpovat();
        ASSERT_EQ(host_.oznameni.size(), 1u);
        EXPECT_EQ(host_.oznameni[0].zprava, WM_CESTA_VYBRANA);
        EXPECT_EQ(host_.oznameni[0].w, 1072u);
    }
    SetCurrentDirectoryW(predchozi);
    CoUninitialize();
}

TEST_F(PrvkyTest, FileEditReportsMissingOrFolderAndPicksAFile)
{
    DocasnaSlozka tmp;
    std::wstring soubor = tmp.Soubor(L"obrazek.txt");
    FILE* f = _wfopen(soubor.c_str(), L"wb");
    ASSERT_TRUE(f);
    fputs("x", f);
    fclose(f);

    HWND e = host_.Prvek(L"EDIT", 1073, WS_BORDER, Obdelnik(10, 10, 300, 24));
    EditSoubor edit;
    EXPECT_EQ(edit.Attach(e, tmp.Cesta().c_str()), 1);  // a folder
    EXPECT_EQ(edit.Attach(e, tmp.Soubor(L"neni.txt").c_str()), 1);
    EXPECT_EQ(edit.Attach(e, soubor.c_str()), S_OK);
    EXPECT_EQ(edit.Attach(nullptr, soubor.c_str()), E_INVALIDARG);
    ASSERT_EQ(edit.Attach(e, soubor.c_str()), S_OK);

    // The dialog opens on the edit's file; OK gives it back.
    RECT k{};
    GetClientRect(e, &k);
    SetWindowTextW(e, L"");
    SetWindowTextW(e, soubor.c_str());
    Odpovidac::Spustit(IDOK);
    Kliknout(e, k.right - 3, 5);
    EXPECT_EQ(Odpovidac::odpovedi, 1);
    EXPECT_EQ(CompareStringOrdinal(TextOkna(e).c_str(), -1, soubor.c_str(), -1, TRUE), CSTR_EQUAL);
    Pumpovat();
    ASSERT_EQ(host_.oznameni.size(), 1u);
    EXPECT_EQ(host_.oznameni[0].w, 1073u);
}

// Check-box list ---------------------------------------------------------------------

TEST_F(PrvkyTest, CheckListAddsChecksAndReadsByItemData)
{
    HWND lv = host_.Prvek(WC_LISTVIEWW, 1080, LVS_REPORT | LVS_NOCOLUMNHEADER, Obdelnik(10, 10, 400, 200));
    CheckListView seznam;
    EXPECT_EQ(seznam.Attach(nullptr), E_INVALIDARG);
    ASSERT_EQ(seznam.Attach(lv), S_OK);
    EXPECT_TRUE(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 0, 0), 370);
    EXPECT_EQ(SendMessageW(lv, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);

    int i = -1;
    ASSERT_EQ(seznam.AddItem(20004, 0, 20004, &i), S_OK);
    EXPECT_EQ(i, 0);
    ASSERT_EQ(seznam.AddItem(20005, 1), S_OK);
    ASSERT_EQ(seznam.AddItem(20006, 0, 20006, &i), S_OK);  // in front
    EXPECT_EQ(i, 0);
    EXPECT_EQ(seznam.Count(), 3);
    wchar_t text[128] = {};
    LVITEMW polozka{};
    polozka.iSubItem = 0;
    polozka.pszText = text;
    polozka.cchTextMax = 128;
    SendMessageW(lv, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&polozka));
    EXPECT_STREQ(text, L"Nepodařilo se vytvořit datovou složku aplikace");

    ASSERT_EQ(seznam.SetCheckByData(20005, true), S_OK);
    ASSERT_EQ(seznam.SetCheck(0, false), S_OK);
    bool zaskrtnuto = false;
    ASSERT_EQ(seznam.GetCheckByData(20005, zaskrtnuto), S_OK);
    EXPECT_TRUE(zaskrtnuto);
    ASSERT_EQ(seznam.GetCheckByData(20006, zaskrtnuto), S_OK);
    EXPECT_FALSE(zaskrtnuto);
    // The state images are what the system check boxes use.
    EXPECT_EQ(SendMessageW(lv, LVM_GETITEMSTATE, 2, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(SendMessageW(lv, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    ASSERT_EQ(seznam.SetCheckByData(20005, false), S_OK);
    ASSERT_EQ(seznam.GetCheckByData(20005, zaskrtnuto), S_OK);
    EXPECT_FALSE(zaskrtnuto);

    // Data that no item carries.
    zaskrtnuto = true;
    EXPECT_EQ(seznam.GetCheckByData(99999, zaskrtnuto), E_INVALIDARG);
    EXPECT_TRUE(zaskrtnuto);  // untouched
    EXPECT_EQ(seznam.SetCheckByData(99999, true), E_INVALIDARG);
    EXPECT_EQ(seznam.SetCheck(3, true), E_INVALIDARG);
}

// Picture preview --------------------------------------------------------------------

TEST(Nahled, FitKeepsSmallPicturesAndTheAspectRatio)
{
    SIZE s = VelikostNahledu(4000, 1000, 200, 200);
    EXPECT_EQ(s.cx, 200);
    EXPECT_EQ(s.cy, 50);
    s = VelikostNahledu(100, 80, 200, 200);
    EXPECT_EQ(s.cx, 100);
    EXPECT_EQ(s.cy, 80);
    s = VelikostNahledu(1000, 4000, 200, 200);  // tall
    EXPECT_EQ(s.cx, 50);
    EXPECT_EQ(s.cy, 200);
    s = VelikostNahledu(200, 200, 200, 200);  // exactly fits
    EXPECT_EQ(s.cx, 200);
    EXPECT_EQ(s.cy, 200);
    s = VelikostNahledu(300, 150, 200, 100);  // same ratio either way
    EXPECT_EQ(s.cx, 200);
    EXPECT_EQ(s.cy, 100);
    s = VelikostNahledu(333, 100, 100, 100);  // integer arithmetic rounds down
    EXPECT_EQ(s.cx, 100);
    EXPECT_EQ(s.cy, 30);
    s = VelikostNahledu(0, 10, 100, 100);
    EXPECT_EQ(s.cx, 0);
    // Large pictures do not overflow.
    s = VelikostNahledu(4000000000u, 3000000000u, 400, 300);
    EXPECT_EQ(s.cx, 400);
    EXPECT_EQ(s.cy, 300);
}

namespace {

// A 24-bit bottom-up BMP of one colour.
void ZapsatBmp(const std::wstring& cesta, int w, int h, COLORREF barva)
{
    int radek = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + radek * h;
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string data(static_cast<size_t>(radek) * h, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            data[y * radek + x * 3] = static_cast<char>(GetBValue(barva));
            data[y * radek + x * 3 + 1] = static_cast<char>(GetGValue(barva));
            data[y * radek + x * 3 + 2] = static_cast<char>(GetRValue(barva));
        }
    FILE* f = _wfopen(cesta.c_str(), L"wb");
    ASSERT_TRUE(f);
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&ih, sizeof ih, 1, f);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// Whether a pixel is (about) the picture's red.
bool Cervena(COLORREF c)
{
    return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60;
}

} // namespace

TEST_F(PrvkyTest, PreviewDrawsThePictureShrunkAtTheTopLeft)
{
    tonbar::test::GdiPlus gdiplus;
    DocasnaSlozka tmp;
    std::wstring siroky = tmp.Soubor(L"siroky.bmp");
    std::wstring maly = tmp.Soubor(L"maly.bmp");
    std::wstring spatny = tmp.Soubor(L"spatny.png");
    ZapsatBmp(siroky, 4000, 1000, RGB(255, 0, 0));
    ZapsatBmp(maly, 100, 80, RGB(255, 0, 0));
    FILE* f = _wfopen(spatny.c_str(), L"wb");
    ASSERT_TRUE(f);
    fputs("this is not a picture", f);
    fclose(f);

    HWND s = host_.Prvek(L"STATIC", 1090, SS_LEFT, Obdelnik(10, 10, 200, 200));
    {
        StaticNahledObrazku nahled;
        ASSERT_EQ(nahled.Attach(s, siroky.c_str()), S_OK);
        EXPECT_EQ(GetWindowLongPtrW(s, GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);
        SIZE v = nahled.PictureSize();
        EXPECT_EQ(v.cx, 4000);
        EXPECT_EQ(v.cy, 1000);
        {
            Obraz obraz(host_, s);
            // 200 x 50 at the top-left corner, the rest the face colour.
            EXPECT_TRUE(Cervena(obraz.Barva(0, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(199, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(100, 48)));
            EXPECT_EQ(obraz.Barva(100, 52), GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(obraz.Barva(100, 199), GetSysColor(COLOR_BTNFACE));
        }
        ASSERT_EQ(nahled.LoadPicture(maly.c_str()), S_OK);
        {
            Obraz obraz(host_, s);
            EXPECT_TRUE(Cervena(obraz.Barva(0, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(98, 78)));
            EXPECT_EQ(obraz.Barva(102, 40), GetSysColor(COLOR_BTNFACE));  // not centred, not stretched
            EXPECT_EQ(obraz.Barva(40, 82), GetSysColor(COLOR_BTNFACE));
        }

        // A file GDI+ cannot read leaves the preview empty.
        EXPECT_EQ(nahled.LoadPicture(spatny.c_str()), E_INVALIDARG);
        EXPECT_FALSE(nahled.HasPicture());
        {
            Obraz obraz(host_, s);
            EXPECT_EQ(obraz.Barva(0, 0), GetSysColor(COLOR_BTNFACE));
        }
        ASSERT_EQ(nahled.LoadPicture(maly.c_str()), S_OK);
        EXPECT_EQ(nahled.LoadPicture(tmp.Soubor(L"neni.bmp").c_str()), 1);
        EXPECT_FALSE(nahled.HasPicture());
        EXPECT_EQ(nahled.LoadPicture(nullptr), 1);
        EXPECT_EQ(nahled.LoadPicture(tmp.Cesta().c_str()), 1);
        ASSERT_EQ(nahled.LoadPicture(maly.c_str()), S_OK);
    }
    // The object released the file: it can be deleted now.
    EXPECT_TRUE(DeleteFileW(maly.c_str()));
    EXPECT_TRUE(DeleteFileW(siroky.c_str()));
}
