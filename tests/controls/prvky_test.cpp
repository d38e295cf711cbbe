// The common controls attached to real system controls in a host window.
#include "controls/CheckListView.h"
#include "controls/Edit.h"
#include "controls/StaticNahledObrazku.h"
#include "controls/StaticText.h"
#include "controls/TestOkna.h"

#include "app/TestModul.h"
#include "harness/Dialogy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace mirvak::winapi;
using tonbar::test::Obraz;
using tonbar::test::Pumpovat;
using tonbar::test::TestFolder;

namespace {

RECT Obdelnik(int x, int y, int w, int h)
{
    return RECT{x, y, x + w, y + h};
}

std::wstring TextTooltipu(HWND tooltip, HWND okno, UINT_PTR id)
{
    wchar_t text[128] = {};
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.hwnd = okno;
    nastroj.uId = id;
    nastroj.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&nastroj));
    return text;
}

void Kliknout(HWND okno, int x, int y)
{
    SendMessageW(okno, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(okno, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class PrvkyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host_.Vytvorit(500, 400), S_OK); }
    tonbar::test::TestModul modul_;
    tonbar::test::Hostitel host_;
};

} // namespace

// Static texts ---------------------------------------------------------------

// The system static asks its parent to draw it: a heading in dark red
// Verdana on the face colour, centred (small) or left (whatever the template
// said), in a font of its own that goes with the window.
TEST_F(PrvkyTest, HeadingsAndValuesAreDrawnInTheirColourFontAndPlace)
{
    ASSERT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));  // the default scheme
    HWND s = host_.Prvek(L"STATIC", 1030, SS_LEFT, Obdelnik(0, 0, 300, 30), L"Nadpis");
    StaticNadpisMaly maly;
    ASSERT_EQ(maly.Attach(s), S_OK);
    EXPECT_EQ(GetWindowLongPtrW(s, GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(maly.Font(), sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Verdana");
    {
        Obraz obraz(s);
        EXPECT_EQ(obraz.Barva(0, 0), GetSysColor(COLOR_BTNFACE));
        RECT r{};
        ASSERT_TRUE(obraz.Rozsah(RGB(128, 0, 0), r));
        EXPECT_GT(r.left, 60);
        EXPECT_NEAR(r.left, obraz.Sirka() - 1 - r.right, 6) << "centred";
        EXPECT_LE(r.bottom - r.top + 1, 15) << "15 pixels high";
        EXPECT_GE(r.bottom - r.top + 1, 7);
    }
    HWND s2 = host_.Prvek(L"STATIC", 1031, SS_CENTER, Obdelnik(0, 40, 200, 24), L"Nadpis");
    StaticNadpis nadpis;
    ASSERT_EQ(nadpis.Attach(s2), S_OK);
    RECT r{};
    ASSERT_TRUE(Obraz(s2).Rozsah(RGB(128, 0, 0), r));
    EXPECT_LT(r.left, 4);

    StaticText text;
    HWND s3 = host_.Prvek(L"STATIC", 1050, SS_LEFT, Obdelnik(0, 70, 100, 20), L"x");
    ASSERT_EQ(text.Attach(s3, RGB(1, 2, 3), -30), S_OK);
    ASSERT_TRUE(GetObjectW(text.Font(), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -30);
    DestroyWindow(s3);
    EXPECT_EQ(text.Font(), nullptr);
    EXPECT_EQ(text.Handle(), nullptr);

    // A value is dark green in a copy of the dialog's font.
    HWND s4 = host_.Prvek(L"STATIC", 1040, SS_RIGHT, Obdelnik(0, 100, 300, 20), L"Hodnota");
    HFONT dialogovy = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    SendMessageW(s4, WM_SETFONT, reinterpret_cast<WPARAM>(dialogovy), FALSE);
    {
        StaticHodnota hodnota;
        ASSERT_EQ(hodnota.Attach(s4), S_OK);
        EXPECT_NE(hodnota.Font(), dialogovy);
        ASSERT_TRUE(Obraz(s4).Rozsah(RGB(0, 96, 0), r));
        EXPECT_LT(r.left, 4) << "left-aligned";
        ASSERT_EQ(hodnota.SetFaceName(L"Verdana"), S_OK);
        ASSERT_TRUE(GetObjectW(hodnota.Font(), sizeof lf, &lf));
        EXPECT_STREQ(lf.lfFaceName, L"Verdana");
        EXPECT_EQ(lf.lfHeight, -11);
    }
    EXPECT_TRUE(GetObjectW(dialogovy, sizeof lf, &lf)) << "the dialog's font outlives the control";
    DeleteObject(dialogovy);
}

// Numeric edit ------------------------------------------------------------------

TEST_F(PrvkyTest, NumberOutsideTheRangeIsSilentlyPutBack)
{
    HWND e = host_.Prvek(L"EDIT", 1060, WS_BORDER, Obdelnik(10, 10, 120, 24));
    EditCislo cislo;
    ASSERT_EQ(cislo.Attach(e, 25), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(e, GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(tonbar::test::Text(e), L"25");
    auto opustit = [&](const wchar_t* text) {
        SetWindowTextW(e, text);
        SendMessageW(e, WM_KILLFOCUS, 0, 0);
        return tonbar::test::Text(e);
    };
    for (const wchar_t* spatne : {L"0", L"10000001", L"", L"4294967296"})
        EXPECT_EQ(opustit(spatne), L"25");
    EXPECT_EQ(opustit(L"10000000"), L"10000000");
    EXPECT_EQ(cislo.Value(), 10000000u);
    EXPECT_EQ(opustit(L"1"), L"1");
    EXPECT_EQ(opustit(L"0"), L"1") << "back to the last accepted";
    EXPECT_TRUE(modul_.zpravy.empty());
    // A real change of focus does the same.
    HWND jiny = host_.Prvek(L"EDIT", 1061, WS_BORDER, Obdelnik(10, 40, 120, 24));
    SetForegroundWindow(host_);
    SetFocus(e);
    SetWindowTextW(e, L"0");
    SetFocus(jiny);
    EXPECT_EQ(tonbar::test::Text(e), L"1");

    // Only a maximum: 0 is accepted, 51 is not, and the hint says so.
    EXPECT_EQ(TextRozsahu(1, 10000000), L"Zadejte hodnotu v rozsahu 1 - 10000000");
    HWND e2 = host_.Prvek(L"EDIT", 1062, WS_BORDER, Obdelnik(10, 70, 120, 24));
    EditCislo doPadesati;
    ASSERT_EQ(doPadesati.Attach(e2, 7, -1, 50), S_OK);
    EXPECT_EQ(TextTooltipu(doPadesati.Tooltip(), host_, reinterpret_cast<UINT_PTR>(e2)),
              L"Zadejte číselnou hodnotu do 50");
    SetWindowTextW(e2, L"0");
    SendMessageW(e2, WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(doPadesati.Value(), 0u);
    SetWindowTextW(e2, L"51");
    SendMessageW(e2, WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(tonbar::test::Text(e2), L"0");
    HWND tip = doPadesati.Tooltip();
    DestroyWindow(e2);
    EXPECT_FALSE(IsWindow(tip)) << "the tool-tip goes with the control";
}

// Browse-button edits ------------------------------------------------------------

namespace {

class EditPocitadlo : public EditProchazeni {
public:
    int prochazeni = 0;
    void Browse() override { ++prochazeni, OznamitVyber(); }

protected:
    UINT TooltipTextId() const override { return 21107; }
};

// Clicks the browse button of `edit` and answers the dialog it opens with
// `tlacitko`; whether a dialog came and went.
bool Prochazet(HWND edit, int tlacitko)
{
    bool odpovezeno = false;
    std::thread ridic([&] {
        HWND d = tonbar::test::CekatNaDialog();
        if (d) {
            tonbar::test::Kliknout(d, tlacitko);
            odpovezeno = tonbar::test::CekatNaZavreni(d);
        }
    });
    RECT k{};
    GetClientRect(edit, &k);
    Kliknout(edit, k.right - 3, 5);
    ridic.join();
    return odpovezeno;
}

} // namespace

TEST_F(PrvkyTest, ClickOnTheButtonBrowsesAndOnTheTextOnlyPlacesTheCaret)
{
    HWND e = host_.Prvek(L"EDIT", 1070, WS_BORDER | ES_AUTOHSCROLL, Obdelnik(10, 10, 200, 24));
    EditPocitadlo edit;
    ASSERT_EQ(edit.Attach(e, L"C:\\slozka"), S_OK);
    EXPECT_EQ(tonbar::test::Text(e), L"C:\\slozka");
    DWORD vyber = static_cast<DWORD>(SendMessageW(e, EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(vyber), HIWORD(vyber)) << "nothing selected";
    const int tlacitko = EditProchazeni::kSirkaTlacitka;
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETMARGINS, 0, 0)), tlacitko + 4);

    RECT k{};
    GetClientRect(e, &k);
    Kliknout(e, 3, k.bottom / 2);
    Kliknout(e, k.right - tlacitko - 1, k.bottom / 2);  // just left of the button
    EXPECT_EQ(edit.prochazeni, 0);
    Kliknout(e, k.right - 3, k.bottom / 2);
    EXPECT_EQ(edit.prochazeni, 1);
    Pumpovat();
    ASSERT_EQ(host_.oznameni.size(), 1u);
    EXPECT_EQ(host_.oznameni[0].zprava, WM_CESTA_VYBRANA);
    EXPECT_EQ(host_.oznameni[0].w, 1070u);
    EXPECT_EQ(host_.oznameni[0].l, reinterpret_cast<LPARAM>(e));

    // The pointer counts as over the button 4 pixels before it.
    SendMessageW(e, WM_MOUSEMOVE, 0, MAKELPARAM(k.right - tlacitko - 4, 5));
    EXPECT_TRUE(edit.PointerOverButton());
    SendMessageW(e, WM_MOUSEMOVE, 0, MAKELPARAM(k.right - tlacitko - 5, 5));
    EXPECT_FALSE(edit.PointerOverButton());
    EXPECT_EQ(TextTooltipu(edit.Tooltip(), e, 1), L"Vybrat složku procházením na FTP serveru");
}

// The button's three dots, read back from the screen; the folder edit's text
// is black on the window colour.
TEST_F(PrvkyTest, FolderEditDrawsItsButtonAndBlackText)
{
    HWND e = host_.Prvek(L"EDIT", 1074, WS_BORDER, Obdelnik(10, 10, 200, 24));
    ShowWindow(host_, SW_SHOWNOACTIVATE);
    UpdateWindow(host_);
    RECT k{};
    GetClientRect(e, &k);
    auto tmave = [&] {
        RedrawWindow(e, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC dc = GetDC(e);
        int n = 0;
        for (int y = 0; y < k.bottom; ++y)
            for (int x = k.right - EditProchazeni::kSirkaTlacitka - 2; x < k.right; ++x) {
                COLORREF c = GetPixel(dc, x, y);
                n += c != CLR_INVALID && GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
            }
        ReleaseDC(e, dc);
        return n;
    };
    EXPECT_EQ(tmave(), 0) << "an empty edit";
    EditSlozka slozka;
    ASSERT_EQ(slozka.Attach(e, nullptr), S_OK);
    EXPECT_GE(tmave(), 3);

    HDC dc = GetDC(e);
    SetTextColor(dc, RGB(255, 0, 0));
    EXPECT_EQ(SendMessageW(host_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(e)),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    ReleaseDC(e, dc);
}

// "current" (exactly) or nothing starts the dialog in the current directory;
// Cancel changes nothing, OK takes the folder it started in.
TEST_F(PrvkyTest, FolderDialogStartsInTheCurrentDirectoryAndFileEditPicksAFile)
{
    wchar_t predchozi[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, predchozi);
    EXPECT_EQ(PocatecniSlozka(L"current"), predchozi);
    EXPECT_EQ(PocatecniSlozka(L""), predchozi);
    EXPECT_EQ(PocatecniSlozka(L"Current"), L"Current");
    EXPECT_EQ(PocatecniSlozka(L"C:\\data"), L"C:\\data");

    tonbar::test::ComScope com;
    ASSERT_TRUE(SUCCEEDED(com.hr));
    TestFolder tmp;
    ASSERT_TRUE(SetCurrentDirectoryW(tmp.Path().c_str()));
    {
        HWND e = host_.Prvek(L"EDIT", 1072, WS_BORDER, Obdelnik(10, 10, 300, 24));
        EditSlozka slozka;
        ASSERT_EQ(slozka.Attach(e, L"current"), S_OK);
        EXPECT_TRUE(Prochazet(e, IDCANCEL));
        EXPECT_EQ(tonbar::test::Text(e), L"current");
        Pumpovat();
        EXPECT_TRUE(host_.oznameni.empty());

        EXPECT_TRUE(Prochazet(e, IDOK));
        wchar_t dlouha[MAX_PATH], vybrana[MAX_PATH];
        GetLongPathNameW(tmp.Path().c_str(), dlouha, MAX_PATH);
        GetLongPathNameW(tonbar::test::Text(e).c_str(), vybrana, MAX_PATH);
        EXPECT_EQ(CompareStringOrdinal(vybrana, -1, dlouha, -1, TRUE), CSTR_EQUAL);
        Pumpovat();
        ASSERT_EQ(host_.oznameni.size(), 1u);
        EXPECT_EQ(host_.oznameni[0].w, 1072u);
    }
    SetCurrentDirectoryW(predchozi);

    // The file edit refuses a missing file or a folder and picks a file.
    host_.oznameni.clear();
    std::wstring soubor = tmp.File(L"obrazek.txt");
    ASSERT_TRUE(std::ofstream(std::filesystem::path(soubor)) << "x");
    HWND e = host_.Prvek(L"EDIT", 1073, WS_BORDER, Obdelnik(10, 40, 300, 24));
    EditSoubor edit;
    EXPECT_EQ(edit.Attach(e, tmp.Path().c_str()), 1);  // a folder
    EXPECT_EQ(edit.Attach(e, tmp.File(L"neni.txt").c_str()), 1);
    ASSERT_EQ(edit.Attach(e, soubor.c_str()), S_OK);
    // The dialog opens on the edit's file; OK gives it back.
    EXPECT_TRUE(Prochazet(e, IDOK));
    EXPECT_EQ(CompareStringOrdinal(tonbar::test::Text(e).c_str(), -1, soubor.c_str(), -1, TRUE), CSTR_EQUAL);
    Pumpovat();
    ASSERT_EQ(host_.oznameni.size(), 1u);
    EXPECT_EQ(host_.oznameni[0].w, 1073u);
}

// Check-box list ---------------------------------------------------------------------

TEST_F(PrvkyTest, CheckListAddsChecksAndReadsByItemData)
{
    HWND lv = host_.Prvek(WC_LISTVIEWW, 1080, LVS_REPORT | LVS_NOCOLUMNHEADER, Obdelnik(10, 10, 400, 200));
    CheckListView seznam;
    ASSERT_EQ(seznam.Attach(lv), S_OK);
    EXPECT_TRUE(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 0, 0), 370);
    EXPECT_EQ(SendMessageW(lv, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);

    int i = -1;
    ASSERT_EQ(seznam.AddItem(20004, 0, 20004, &i), S_OK);
    ASSERT_EQ(seznam.AddItem(20005, 1), S_OK);
    ASSERT_EQ(seznam.AddItem(20006, 0, 20006, &i), S_OK);
    EXPECT_EQ(i, 0) << "in front";
    EXPECT_EQ(seznam.Count(), 3);
    wchar_t text[128] = {};
    LVITEMW polozka{};
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
}

// Picture preview --------------------------------------------------------------------

TEST(Nahled, FitKeepsSmallPicturesAndTheAspectRatio)
{
    struct Pripad {
        UINT w, h, maxW, maxH;
        LONG cx, cy;
    } pripady[] = {
        {4000, 1000, 200, 200, 200, 50},  {100, 80, 200, 200, 100, 80},   {1000, 4000, 200, 200, 50, 200},
        {200, 200, 200, 200, 200, 200},   {300, 150, 200, 100, 200, 100}, {333, 100, 100, 100, 100, 30},
        {0, 10, 100, 100, 0, 0},          {4000000000u, 3000000000u, 400, 300, 400, 300},  // no overflow
    };
    for (const Pripad& p : pripady) {
        SIZE s = VelikostNahledu(p.w, p.h, p.maxW, p.maxH);
        EXPECT_EQ(s.cx, p.cx) << p.w << "x" << p.h;
        if (p.w) {
            EXPECT_EQ(s.cy, p.cy) << p.w << "x" << p.h;
        }
    }
}

namespace {

// A 24-bit bottom-up BMP, all red.
void ZapsatBmp(const std::wstring& cesta, int w, int h)
{
    int radek = (w * 3 + 3) & ~3;
    BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof ih + radek * h), 0, 0, sizeof fh + sizeof ih};
    std::string data(static_cast<size_t>(radek) * h, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data[y * radek + x * 3 + 2] = '\xFF';
    std::ofstream f(std::filesystem::path(cesta), std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    ASSERT_TRUE(f.write(data.data(), static_cast<std::streamsize>(data.size())));
}

bool Cervena(COLORREF c)
{
    return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60;
}

} // namespace

TEST_F(PrvkyTest, PreviewDrawsThePictureShrunkAtTheTopLeft)
{
    tonbar::test::GdiPlus gdiplus;
    TestFolder tmp;
    std::wstring siroky = tmp.File(L"siroky.bmp"), maly = tmp.File(L"maly.bmp"), spatny = tmp.File(L"x.png");
    ZapsatBmp(siroky, 4000, 1000);
    ZapsatBmp(maly, 100, 80);
    ASSERT_TRUE(std::ofstream(std::filesystem::path(spatny)) << "this is not a picture");

    HWND s = host_.Prvek(L"STATIC", 1090, SS_LEFT, Obdelnik(10, 10, 200, 200));
    const COLORREF plocha = GetSysColor(COLOR_BTNFACE);
    {
        StaticNahledObrazku nahled;
        ASSERT_EQ(nahled.Attach(s, siroky.c_str()), S_OK);
        EXPECT_EQ(nahled.PictureSize().cx, 4000);
        {
            Obraz obraz(s);  // 200 x 50 at the top-left corner
            EXPECT_TRUE(Cervena(obraz.Barva(0, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(199, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(100, 48)));
            EXPECT_EQ(obraz.Barva(100, 52), plocha);
        }
        ASSERT_EQ(nahled.LoadPicture(maly.c_str()), S_OK);
        {
            Obraz obraz(s);  // not centred, not stretched
            EXPECT_TRUE(Cervena(obraz.Barva(0, 0)));
            EXPECT_TRUE(Cervena(obraz.Barva(98, 78)));
            EXPECT_EQ(obraz.Barva(102, 40), plocha);
            EXPECT_EQ(obraz.Barva(40, 82), plocha);
        }
        // A file GDI+ cannot read leaves the preview empty.
        EXPECT_EQ(nahled.LoadPicture(spatny.c_str()), E_INVALIDARG);
        EXPECT_FALSE(nahled.HasPicture());
        EXPECT_EQ(Obraz(s).Barva(0, 0), plocha);
        ASSERT_EQ(nahled.LoadPicture(maly.c_str()), S_OK);
    }
    // The object released the files: they can be deleted now.
    EXPECT_TRUE(DeleteFileW(maly.c_str()));
    EXPECT_TRUE(DeleteFileW(siroky.c_str()));
}
