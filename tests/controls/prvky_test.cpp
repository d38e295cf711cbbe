// The window base (superclassing is exercised by the list of recordings, dialogs by every dialog
// test), the common controls on real system controls, and window placement in Wine's registry.
#include "controls/CheckListView.h"
#include "controls/Edit.h"
#include "controls/StaticNahledObrazku.h"
#include "controls/StaticText.h"
#include "controls/Okno.h"
#include "controls/TestOkna.h"

#include "app/TestModul.h"
#include "mainwindow/UmisteniOkna.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <gdiplus.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <cstring>
#include <thread>
#include <vector>

using namespace mirvak::winapi;
using tonbar::test::Hostitel;
using tonbar::test::Obraz;
using tonbar::test::Pumpovat;
using tonbar::test::TestFolder;
using tonbar::test::TridaOkna;

namespace {

constexpr UINT WM_TEST = WM_APP + 1;
constexpr UINT WM_PROPUSTIT = WM_APP + 2;
constexpr UINT WM_ZNICIT_SE = WM_APP + 3;

class Mapa : public OknoImpl<Mapa> {
public:
    int prikazy = 0, rozsah = 0, konce = 0;
    WORD posledniPrikaz = 0;
    bool poZniceniBezel = false;

    MV_BEGIN_MSG_MAP(Mapa)
    MV_MESSAGE_HANDLER(WM_TEST, OnTest)
    MV_MESSAGE_HANDLER(WM_PROPUSTIT, OnPropustit)
    MV_MESSAGE_HANDLER(WM_ZNICIT_SE, OnZnicitSe)
    MV_COMMAND_ID_HANDLER(100, OnPrikaz)
    MV_COMMAND_RANGE_HANDLER(200, 299, OnRozsah)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

    void OnFinalMessage(HWND) override { ++konce, poZniceniBezel = handlerBezi_; }

private:
    LRESULT OnTest(UINT, WPARAM w, LPARAM l, BOOL&) { return static_cast<LRESULT>(w + l); }
    // Declines: the default procedure answers instead.
    LRESULT OnPropustit(UINT, WPARAM, LPARAM, BOOL& zpracovano) { return zpracovano = FALSE, 777; }
    LRESULT OnZnicitSe(UINT, WPARAM, LPARAM, BOOL&)
    {
        handlerBezi_ = true;
        DestroyWindow(m_hWnd);
        // The object must still be whole here, and the hook not yet run.
        LRESULT r = konce;
        handlerBezi_ = false;
        return r + 10;
    }
    LRESULT OnPrikaz(WORD, WORD id, HWND, BOOL&) { return ++prikazy, posledniPrikaz = id, 0; }
    LRESULT OnRozsah(WORD, WORD id, HWND, BOOL&) { return ++rozsah, posledniPrikaz = id, 0; }
    bool handlerBezi_ = false;
};

// A fixed class name, with a class change.
class OknoTestu : public OknoImpl<OknoTestu> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_umisteni"; }
    static void ModifyClass(WNDCLASSEXW& t) { t.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }
};

// A control that handles its own reflected notifications.
class Tlacitko : public OknoImplZaklad {
public:
    int kliknuti = 0, oznameni = 0, zpravy = 0;

    MV_BEGIN_MSG_MAP(Tlacitko)
    MV_MESSAGE_HANDLER(WM_TEST, OnTest)
    MV_REFLECTED_COMMAND_CODE_HANDLER(BN_CLICKED, OnKlik)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(NM_CUSTOMDRAW, OnOznameni)
    MV_END_MSG_MAP()

private:
    LRESULT OnTest(UINT, WPARAM, LPARAM, BOOL&) { return ++zpravy; }
    LRESULT OnKlik(WORD, WORD, HWND, BOOL&) { return ++kliknuti, 0; }
    LRESULT OnOznameni(int, NMHDR*, BOOL&) { return ++oznameni, CDRF_SKIPDEFAULT; }
};

constexpr RECT kMaly{0, 0, 100, 100};

} // namespace

TEST(Okno, MessagesReachTheirHandlersAndTheRestTheDefault)
{
    Mapa okno;
    ASSERT_EQ(okno.Create(nullptr, RECT{10, 10, 310, 210}, L"titulek", WS_OVERLAPPEDWINDOW), S_OK);
    EXPECT_EQ(okno.Send(WM_TEST, 40, 2), 42);
    wchar_t text[32] = {};
    EXPECT_EQ(okno.Send(WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)), 7) << "not in the map: the default";
    EXPECT_EQ(okno.Send(WM_PROPUSTIT), 0) << "a handler that declines gives the default's answer";
    for (WORD id : {100, 250, 300})  // 300: in no entry
        okno.Send(WM_COMMAND, id, 0);
    okno.Post(WM_COMMAND, 100, 0);
    Pumpovat();
    EXPECT_EQ(okno.prikazy, 2);
    EXPECT_EQ(okno.rozsah, 1);
    EXPECT_EQ(okno.posledniPrikaz, 100);

    // One generated class per window type; fixed names take the class changes.
    Mapa b;
    OknoTestu c;
    ASSERT_EQ(b.Create(nullptr, kMaly), S_OK);
    ASSERT_EQ(c.Create(nullptr, kMaly), S_OK);
    EXPECT_EQ(TridaOkna(okno), TridaOkna(b));
    EXPECT_NE(TridaOkna(okno), std::wstring(Hostitel::RegisteredClassName()));
    EXPECT_EQ(TridaOkna(c), L"tonbar_test_umisteni");
    EXPECT_EQ(GetClassLongPtrW(c, GCLP_HBRBACKGROUND), static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
    okno.Destroy();
    EXPECT_FALSE(okno.IsWindow());
    EXPECT_EQ(okno.konce, 1);
    EXPECT_EQ(okno.Handle(), nullptr);

    // The final message comes once, after the handler that destroyed.
    ASSERT_EQ(okno.Create(nullptr, kMaly), S_OK);
    HWND h = okno.Handle();
    EXPECT_EQ(SendMessageW(h, WM_ZNICIT_SE, 0, 0), 11) << "the hook ran while the handler was on the stack";
    EXPECT_EQ(okno.konce, 2);
    EXPECT_FALSE(okno.poZniceniBezel);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(okno.Handle(), nullptr);
}

TEST(Okno, ParentReflectsNotificationsToTheChildAndSubclassingIsUndone)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    HWND hwndTlacitka = host.Prvek(L"BUTTON", 11, BS_PUSHBUTTON, RECT{10, 10, 90, 34}, L"OK");
    Tlacitko tlacitko;
    ASSERT_EQ(tlacitko.SubclassWindow(hwndTlacitka), S_OK);
    SendMessageW(hwndTlacitka, BM_CLICK, 0, 0);
    EXPECT_EQ(tlacitko.kliknuti, 1);
    NMHDR hlavicka{hwndTlacitka, 11, static_cast<UINT>(NM_CUSTOMDRAW)};
    EXPECT_EQ(host.Send(WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&hlavicka)), CDRF_SKIPDEFAULT);
    EXPECT_EQ(tlacitko.oznameni, 1);

    // A reflected message the child does not handle gets the default answer
    // of the original message: the edit's colours stay usable.
    HWND edit = host.Prvek(L"EDIT", 12, 0, RECT{10, 40, 90, 64});
    Tlacitko jinyPrvek;
    ASSERT_EQ(jinyPrvek.SubclassWindow(edit), S_OK);
    HDC dc = GetDC(edit);
    EXPECT_NE(host.Send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)), 0);
    ReleaseDC(edit, dc);

    // Subclassing is undone on request, by the object's end and by the control's end.
    HWND prvni = host.Prvek(L"BUTTON", 14, BS_PUSHBUTTON, RECT{100, 10, 180, 34}, L"A");
    HWND druhe = host.Prvek(L"BUTTON", 13, BS_PUSHBUTTON, RECT{100, 40, 180, 64}, L"B");
    {
        Tlacitko t, u;
        ASSERT_EQ(t.SubclassWindow(prvni), S_OK);
        ASSERT_EQ(u.SubclassWindow(druhe), S_OK);
        EXPECT_EQ(SendMessageW(prvni, WM_TEST, 0, 0), 1);
        t.UnsubclassWindow();
        EXPECT_EQ(t.Handle(), nullptr);
        EXPECT_EQ(SendMessageW(prvni, WM_TEST, 0, 0), 0);
        EXPECT_EQ(SendMessageW(druhe, WM_TEST, 0, 0), 1);
    }
    // The object is gone; the control works on without it.
    SendMessageW(druhe, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(druhe, WM_TEST, 0, 0), 0);

    Tlacitko t;
    ASSERT_EQ(t.SubclassWindow(prvni), S_OK);
    DestroyWindow(prvni);
    EXPECT_EQ(t.Handle(), nullptr);
}


namespace {

std::wstring TextTooltipu(HWND tooltip, HWND okno, UINT_PTR id)
{
    wchar_t text[128] = {};
    TTTOOLINFOW nastroj{TTTOOLINFOW_V2_SIZE, 0, okno, id};
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
    HWND s = host_.Prvek(L"STATIC", 1030, SS_LEFT, RECT{0, 0, 300, 30}, L"Nadpis");
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
    HWND s2 = host_.Prvek(L"STATIC", 1031, SS_CENTER, RECT{0, 40, 200, 64}, L"Nadpis");
    StaticNadpis nadpis;
    ASSERT_EQ(nadpis.Attach(s2), S_OK);
    RECT r{};
    ASSERT_TRUE(Obraz(s2).Rozsah(RGB(128, 0, 0), r));
    EXPECT_LT(r.left, 4);

    StaticText text;
    HWND s3 = host_.Prvek(L"STATIC", 1050, SS_LEFT, RECT{0, 70, 100, 90}, L"x");
    ASSERT_EQ(text.Attach(s3, RGB(1, 2, 3), -30), S_OK);
    ASSERT_TRUE(GetObjectW(text.Font(), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -30);
    DestroyWindow(s3);
    EXPECT_EQ(text.Font(), nullptr);
    EXPECT_EQ(text.Handle(), nullptr);

    // A value is dark green in a copy of the dialog's font.
    HWND s4 = host_.Prvek(L"STATIC", 1040, SS_RIGHT, RECT{0, 100, 300, 120}, L"Hodnota");
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
    HWND e = host_.Prvek(L"EDIT", 1060, WS_BORDER, RECT{10, 10, 130, 34});
    EditCislo cislo;
    ASSERT_EQ(cislo.Attach(e, 25), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(e, GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(tonbar::test::Text(e), L"25");
    auto opustit = [](HWND e, const wchar_t* text) {
        SetWindowTextW(e, text);
        SendMessageW(e, WM_KILLFOCUS, 0, 0);
        return tonbar::test::Text(e);
    };
    for (const wchar_t* spatne : {L"0", L"10000001", L"", L"4294967296"})
        EXPECT_EQ(opustit(e, spatne), L"25");
    EXPECT_EQ(opustit(e, L"10000000"), L"10000000");
    EXPECT_EQ(cislo.Value(), 10000000u);
    EXPECT_EQ(opustit(e, L"1"), L"1");
    EXPECT_EQ(opustit(e, L"0"), L"1") << "back to the last accepted";
    EXPECT_TRUE(modul_.zpravy.empty());

    // Only a maximum: 0 is accepted, 51 is not, and the hint says so.
    EXPECT_EQ(TextRozsahu(1, 10000000), L"Zadejte hodnotu v rozsahu 1 - 10000000");
    HWND e2 = host_.Prvek(L"EDIT", 1062, WS_BORDER, RECT{10, 70, 130, 94});
    EditCislo doPadesati;
    ASSERT_EQ(doPadesati.Attach(e2, 7, -1, 50), S_OK);
    EXPECT_EQ(TextTooltipu(doPadesati.Tooltip(), host_, reinterpret_cast<UINT_PTR>(e2)),
              L"Zadejte číselnou hodnotu do 50");
    EXPECT_EQ(opustit(e2, L"0"), L"0");
    EXPECT_EQ(doPadesati.Value(), 0u);
    EXPECT_EQ(opustit(e2, L"51"), L"0");
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
    HWND e = host_.Prvek(L"EDIT", 1070, WS_BORDER | ES_AUTOHSCROLL, RECT{10, 10, 210, 34});
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
    HWND e = host_.Prvek(L"EDIT", 1074, WS_BORDER, RECT{10, 10, 210, 34});
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
        HWND e = host_.Prvek(L"EDIT", 1072, WS_BORDER, RECT{10, 10, 310, 34});
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
    HWND e = host_.Prvek(L"EDIT", 1073, WS_BORDER, RECT{10, 40, 310, 64});
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

// Check states by item data are judged through the settings pages, whose test fails when either
// the state written or the state read is wrong.
TEST_F(PrvkyTest, CheckListAddsItemsWithCheckBoxesAndTheirText)
{
    HWND lv = host_.Prvek(WC_LISTVIEWW, 1080, LVS_REPORT | LVS_NOCOLUMNHEADER, RECT{10, 10, 410, 210});
    CheckListView seznam;
    ASSERT_EQ(seznam.Attach(lv), S_OK);
    EXPECT_TRUE(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 0, 0), 370);
    EXPECT_EQ(SendMessageW(lv, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);

    int i = -1;
    ASSERT_EQ(seznam.AddItem(20004, 0), S_OK);
    ASSERT_EQ(seznam.AddItem(20005, 1, 20005, &i), S_OK);
    EXPECT_EQ(i, 1);
    ASSERT_EQ(seznam.AddItem(20006, 0, 20006, &i), S_OK);
    EXPECT_EQ(i, 0) << "in front";
    EXPECT_EQ(seznam.Count(), 3);
    wchar_t text[128] = {};
    ListView_GetItemText(lv, 1, 0, text, 128);
    EXPECT_STREQ(text, L"Nepodařilo se vytvořit datovou složku aplikace");
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

// An all-red picture, saved as BMP by GDI+ (started).
void ZapsatBmp(const std::wstring& cesta, int w, int h)
{
    const CLSID bmp{0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Gdiplus::Bitmap obraz(w, h, PixelFormat24bppRGB);
    Gdiplus::Graphics(&obraz).Clear(Gdiplus::Color(255, 0, 0));
    ASSERT_EQ(obraz.Save(cesta.c_str(), &bmp, nullptr), Gdiplus::Ok);
}

bool Cervena(COLORREF c)
{
    return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60;
}

} // namespace

TEST_F(PrvkyTest, PreviewDrawsThePictureShrunkAtTheTopLeft)
{
    Gdiplus::GdiplusStartupInput gdiplus;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &gdiplus, nullptr), Gdiplus::Ok);
    TestFolder tmp;
    std::wstring siroky = tmp.File(L"siroky.bmp"), maly = tmp.File(L"maly.bmp"), spatny = tmp.File(L"x.png");
    ZapsatBmp(siroky, 4000, 1000);
    ZapsatBmp(maly, 100, 80);
    ASSERT_TRUE(std::ofstream(std::filesystem::path(spatny)) << "this is not a picture");

    HWND s = host_.Prvek(L"STATIC", 1090, SS_LEFT, RECT{10, 10, 210, 210});
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
    Gdiplus::GdiplusShutdown(token);
}

namespace {

// A window rectangle, as gtest prints it.
using Ctverice = std::array<LONG, 4>;
Ctverice Obdelnik(HWND okno)
{
    RECT r{};
    GetWindowRect(okno, &r);
    return {r.left, r.top, r.right, r.bottom};
}

class UmisteniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(okno_.Create(nullptr, RECT{0, 0, 800, 600}, L"umisteni", WS_OVERLAPPEDWINDOW), S_OK);
        umisteni_ = {okno_.Handle(), konf_.Klic(L"parametry_oken")};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &w_, 0);
    }
    void TearDown() override { okno_.Destroy(); }

    void Zapsat(DWORD typ, const void* data, DWORD velikost)
    {
        ASSERT_TRUE(konf_.Zapsat(L"parametry_oken", L"tonbar_test_umisteni", typ, data, velikost));
    }
    // The stored bytes; empty when there is no binary value.
    std::vector<BYTE> Precist() { return konf_.Binarni(L"parametry_oken", L"tonbar_test_umisteni"); }
    // Centred on the work area, worked out here by hand.
    Ctverice Stred(int sirka, int vyska) const
    {
        LONG x = (w_.left + w_.right) / 2 - sirka / 2, y = (w_.top + w_.bottom) / 2 - vyska / 2;
        return {x, y, x + sirka, y + vyska};
    }

    tonbar::test::TestModul modul_;
    tonbar::test::TestKonfigurace konf_;
    OknoTestu okno_;
    WindowPlacement umisteni_;
    RECT w_{};
};

} // namespace

// A hidden or minimized window keeps what is stored; the 20 stored bytes,
// and a second window of the class restored from them (topmost too).
TEST_F(UmisteniTest, RoundTripThroughTheRegistryAndHiddenOrMinimizedKeepTheStoredPlacement)
{
    EXPECT_EQ(SavePlacement(umisteni_), 1);
    EXPECT_TRUE(Precist().empty()) << "a hidden window writes nothing";
    SetWindowPos(okno_, nullptr, 100, 120, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ASSERT_EQ(SavePlacement(umisteni_), S_OK);
    std::vector<BYTE> data = Precist();
    ASSERT_EQ(data.size(), 20u);
    const int32_t ocekavane[4] = {100, 120, 500, 420};
    EXPECT_EQ(std::memcmp(data.data(), ocekavane, 16), 0);
    EXPECT_EQ(data[16] | data[17] | data[18] | data[19], 0) << "not topmost, zero padding";

    SetWindowPos(okno_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(SavePlacement(umisteni_), S_OK);
    EXPECT_EQ(Precist().at(16), 1);
    OknoTestu druhe;
    ASSERT_EQ(druhe.Create(nullptr, RECT{0, 0, 200, 150}, L"druhe", WS_OVERLAPPEDWINDOW), S_OK);
    ASSERT_FALSE(GetWindowLongPtrW(druhe, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(RestorePlacement({druhe.Handle(), umisteni_.key}), S_OK);
    EXPECT_EQ(Obdelnik(druhe), (Ctverice{100, 120, 500, 420}));
    EXPECT_TRUE(GetWindowLongPtrW(druhe, GWL_EXSTYLE) & WS_EX_TOPMOST);

    ShowWindow(okno_, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(okno_));
    EXPECT_EQ(SavePlacement(umisteni_), 1);
    data = Precist();
    ASSERT_EQ(data.size(), 20u);
    EXPECT_EQ(reinterpret_cast<const int32_t*>(data.data())[2], 500);
}

// Where a window outside a work area is put back: a second monitor's work
// area that does not start at 0, so every edge is measured from its own.
TEST_F(UmisteniTest, FitMeasuresFromTheWorkAreasOwnEdges)
{
    const RECT w{1280, 100, 2560, 1000};
    struct Pripad {
        RECT okno;
        bool posun;
        LONG x, y;
    } pripady[] = {
        {{1300, 200, 1700, 500}, false, 1300, 200},   // inside
        {{100, 50, 500, 350}, true, 1280, 100},       // left of and above it
        {{2555, 995, 2558, 998}, true, 2550, 990},    // tiny, 10 pixels inside the far edges
        {{3000, 2000, 3005, 2005}, true, 2555, 995},
        {{3000, 2000, 3400, 2300}, true, 2160, 700},  // pulled in whole
        {{1300, 200, 1700, 1500}, true, 1300, 100},   // taller: the top edge wins
        {{1330, 150, 2730, 450}, true, 1280, 150},    // wider: the left edge wins
    };
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(p.okno.left);
        POINT kam{};
        EXPECT_EQ(PoziceVPracovniOblasti(p.okno, w, kam), p.posun);
        EXPECT_EQ(kam.x, p.x);
        EXPECT_EQ(kam.y, p.y);
    }
    // Restoring applies it on the real monitor.
    UlozeneUmisteni daleko{w_.right + 3000, w_.bottom + 2000, w_.right + 3400, w_.bottom + 2300, 0, {0, 0, 0}};
    Zapsat(REG_BINARY, &daleko, sizeof daleko);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_EQ(Obdelnik(okno_), (Ctverice{w_.right - 400, w_.bottom - 300, w_.right, w_.bottom}));
}

TEST_F(UmisteniTest, UnusableStoredValueCentresTheWindow)
{
    SetWindowPos(okno_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    const Ctverice puvodni = Obdelnik(okno_);

    UlozeneUmisteni dobry{10, 20, 410, 320, 0, {0, 0, 0}};
    auto bajty = [](const UlozeneUmisteni& z, size_t n) {
        std::vector<BYTE> v(n, 0);
        std::memcpy(v.data(), &z, std::min(n, sizeof z));
        return v;
    };
    struct Pripad {
        const char* nazev;
        DWORD typ;
        std::vector<BYTE> data;
    } pripady[] = {
        {"no value (the first start)", REG_NONE, {}},
        {"19 bytes", REG_BINARY, bajty(dobry, 19)},
        {"24 bytes", REG_BINARY, bajty(dobry, 24)},
        {"empty", REG_BINARY, {}},
        {"20 bytes of another type", REG_SZ, bajty(dobry, 20)},
        {"empty rectangle", REG_BINARY, bajty(UlozeneUmisteni{10, 20, 10, 320, 0, {0, 0, 0}}, 20)},
        {"inverted rectangle", REG_BINARY, bajty(UlozeneUmisteni{410, 320, 10, 20, 0, {0, 0, 0}}, 20)},
    };
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(p.nazev);
        SetWindowPos(okno_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
        if (p.typ != REG_NONE)
            Zapsat(p.typ, p.data.data(), static_cast<DWORD>(p.data.size()));
        EXPECT_LT(RestorePlacement(umisteni_), 0);
        EXPECT_EQ(Obdelnik(okno_), puvodni) << "nothing applied";
        EXPECT_NE(RestoreOrCenter(umisteni_), S_OK);
        EXPECT_EQ(Obdelnik(okno_), Stred(640, 480));
    }
    Zapsat(REG_BINARY, &dobry, sizeof dobry);
    EXPECT_EQ(RestoreOrCenter(umisteni_), S_OK);
    EXPECT_EQ(Obdelnik(okno_), (Ctverice{10, 20, 410, 320}));
}

// Callers centre only windows without a visible owner: on the work area, the left and top edges
// winning for a window larger than it.
TEST_F(UmisteniTest, CentringOnTheWorkArea)
{
    SetWindowPos(okno_, nullptr, 0, 0, w_.right - w_.left + 100, w_.bottom - w_.top + 60,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(CenterWindow(okno_), S_OK);
    EXPECT_EQ(Obdelnik(okno_)[0], w_.left);
    EXPECT_EQ(Obdelnik(okno_)[1], w_.top);

    OknoTestu vlastneny;
    ASSERT_EQ(vlastneny.Create(okno_, RECT{0, 0, 200, 100}, L"dialog", WS_POPUP | WS_CAPTION), S_OK);
    ASSERT_FALSE(IsWindowVisible(okno_));
    ASSERT_EQ(CenterWindow(vlastneny), S_OK);
    EXPECT_EQ(Obdelnik(vlastneny), Stred(200, 100));
}
