// The window base: message maps, class registration, reflection,
// subclassing, the end of a window's life and dialogs, on real windows
// (superclassing is exercised by the list of recordings' tests).
#include "controls/Okno.h"
#include "controls/TestOkna.h"

#include <gtest/gtest.h>

#include <string>

using mirvak::winapi::OknoImpl;
using mirvak::winapi::OknoImplZaklad;
using tonbar::test::Hostitel;

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

class Pevna : public OknoImpl<Pevna> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_pevna"; }
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

std::wstring Trida(HWND okno)
{
    wchar_t jmeno[256] = {};
    GetClassNameW(okno, jmeno, 256);
    return jmeno;
}

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
    okno.Send(WM_COMMAND, MAKEWPARAM(100, 0), 0);
    okno.Send(WM_COMMAND, MAKEWPARAM(250, 0), 0);
    okno.Send(WM_COMMAND, MAKEWPARAM(300, 0), 0);  // in no entry
    okno.Post(WM_COMMAND, MAKEWPARAM(100, 0), 0);
    tonbar::test::Pumpovat();
    EXPECT_EQ(okno.prikazy, 2);
    EXPECT_EQ(okno.rozsah, 1);
    EXPECT_EQ(okno.posledniPrikaz, 100);

    // One generated class per window type; fixed names take the class changes.
    Mapa b;
    Pevna c;
    ASSERT_EQ(b.Create(nullptr, kMaly), S_OK);
    ASSERT_EQ(c.Create(nullptr, kMaly), S_OK);
    EXPECT_EQ(Trida(okno), Trida(b));
    EXPECT_NE(Trida(okno), std::wstring(Hostitel::RegisteredClassName()));
    EXPECT_EQ(Trida(c), L"tonbar_test_pevna");
    EXPECT_EQ(GetClassLongPtrW(c, GCLP_HBRBACKGROUND), static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
    EXPECT_EQ(b.Create(nullptr, kMaly), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) << "a second window";
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
        Tlacitko t;
        ASSERT_EQ(t.SubclassWindow(prvni), S_OK);
        EXPECT_EQ(SendMessageW(prvni, WM_TEST, 0, 0), 1);
        t.UnsubclassWindow();
        EXPECT_FALSE(t.IsSubclassed());
        EXPECT_EQ(t.Handle(), nullptr);
        EXPECT_EQ(SendMessageW(prvni, WM_TEST, 0, 0), 0);
        // Re-attaching an attached object lets go of the first window.
        ASSERT_EQ(t.SubclassWindow(prvni), S_OK);
        ASSERT_EQ(t.SubclassWindow(druhe), S_OK);
        EXPECT_EQ(SendMessageW(prvni, WM_TEST, 0, 0), 0);
        EXPECT_EQ(SendMessageW(druhe, WM_TEST, 0, 0), 2);
    }
    // The object is gone; the control works on without it.
    SendMessageW(druhe, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(druhe, WM_TEST, 0, 0), 0);

    Tlacitko t;
    ASSERT_EQ(t.SubclassWindow(prvni), S_OK);
    DestroyWindow(prvni);
    EXPECT_EQ(t.Handle(), nullptr);
    EXPECT_FALSE(t.IsSubclassed());
}

namespace {

// A dialog template in memory: one button, id 1.
struct SablonaDialogu {
    alignas(4) unsigned char data[512] = {};
    SablonaDialogu()
    {
        auto* d = reinterpret_cast<DLGTEMPLATE*>(data);
        *d = {WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 1, 0, 0, 100, 60};
        auto* w = reinterpret_cast<WORD*>(d + 1) + 3;  // no menu, dialog class, title
        auto* p = reinterpret_cast<DLGITEMTEMPLATE*>((reinterpret_cast<UINT_PTR>(w) + 3) & ~UINT_PTR(3));
        *p = {WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 10, 10, 50, 14, 1};
        w = reinterpret_cast<WORD*>(p + 1);
        w[0] = 0xFFFF;
        w[1] = 0x0080;  // a button, no text, no creation data
    }
};

class Dialog : public mirvak::winapi::DialogImpl<Dialog> {
public:
    bool inicializovan = false;
    LRESULT vysledekZpravy = 0;

    MV_BEGIN_MSG_MAP(Dialog)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInit)
    MV_MESSAGE_HANDLER(WM_TEST, OnTest)
    MV_COMMAND_ID_HANDLER(1, OnOk)
    MV_END_MSG_MAP()

private:
    LRESULT OnInit(UINT, WPARAM, LPARAM, BOOL&)
    {
        inicializovan = m_hWnd != nullptr;
        // The result of an ordinary message travels in DWLP_MSGRESULT.
        vysledekZpravy = SendMessageW(m_hWnd, WM_TEST, 0, 0);
        PostMessageW(Item(1), BM_CLICK, 0, 0);
        return TRUE;
    }
    LRESULT OnTest(UINT, WPARAM, LPARAM, BOOL&) { return 4242; }
    LRESULT OnOk(WORD, WORD, HWND, BOOL&) { return EndDialog(IDOK), 0; }
};

} // namespace

TEST(Okno, ModalDialogRunsItsMapAndEndsWithItsResult)
{
    SablonaDialogu sablona;
    Dialog dlg;
    EXPECT_EQ(dlg.DoModalIndirect(nullptr, reinterpret_cast<const DLGTEMPLATE*>(sablona.data)), IDOK);
    EXPECT_TRUE(dlg.inicializovan);
    EXPECT_EQ(dlg.vysledekZpravy, 4242);
    EXPECT_EQ(dlg.Handle(), nullptr);
}
