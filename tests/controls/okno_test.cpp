// The window base: message maps, class registration, reflection,
// subclassing, the end of a window's life and dialogs, on real windows.
#include "controls/Okno.h"
#include "controls/TestOkna.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using mirvak::winapi::OknoImpl;
using mirvak::winapi::OknoImplZaklad;
using tonbar::test::Hostitel;
using tonbar::test::Pumpovat;

namespace {

constexpr UINT WM_TEST = WM_APP + 1;
constexpr UINT WM_PROPUSTIT = WM_APP + 2;
constexpr UINT WM_ZNICIT_SE = WM_APP + 3;

class Mapa : public OknoImpl<Mapa> {
public:
    int prikazy = 0, rozsah = 0, kodyTlacitek = 0, konce = 0;
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

    void OnFinalMessage(HWND) override
    {
        ++konce;
        poZniceniBezel = handlerBezi_;
    }

private:
    LRESULT OnTest(UINT, WPARAM w, LPARAM l, BOOL&) { return static_cast<LRESULT>(w + l); }
    // Declines: the default procedure answers instead.
    LRESULT OnPropustit(UINT, WPARAM, LPARAM, BOOL& zpracovano)
    {
        zpracovano = FALSE;
        return 777;
    }
    LRESULT OnZnicitSe(UINT, WPARAM, LPARAM, BOOL&)
    {
        handlerBezi_ = true;
        DestroyWindow(m_hWnd);
        // The object must still be whole here, and the hook not yet run.
        LRESULT r = konce;
        handlerBezi_ = false;
        return r + 10;
    }
    LRESULT OnPrikaz(WORD, WORD id, HWND, BOOL&)
    {
        ++prikazy;
        posledniPrikaz = id;
        return 0;
    }
    LRESULT OnRozsah(WORD, WORD id, HWND, BOOL&)
    {
        ++rozsah;
        posledniPrikaz = id;
        return 0;
    }
    bool handlerBezi_ = false;
};

class Pevna : public OknoImpl<Pevna> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_pevna"; }
    static void ModifyClass(WNDCLASSEXW& t) { t.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }
};

// A superclass of the system edit.
class NadtridaEditu : public OknoImpl<NadtridaEditu> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_edit"; }
    static const wchar_t* BaseClassName() { return L"EDIT"; }
    int znaky = 0;

    MV_BEGIN_MSG_MAP(NadtridaEditu)
    MV_MESSAGE_HANDLER(WM_CHAR, OnChar)
    MV_END_MSG_MAP()

private:
    LRESULT OnChar(UINT, WPARAM, LPARAM, BOOL& zpracovano)
    {
        ++znaky;
        zpracovano = FALSE;  // the edit still inserts it
        return 0;
    }
};

// A control that handles its own reflected notifications.
class Tlacitko : public OknoImplZaklad {
public:
    int kliknuti = 0, oznameni = 0, zpravy = 0;
    UINT posledniKod = 0;

    MV_BEGIN_MSG_MAP(Tlacitko)
    MV_MESSAGE_HANDLER(WM_TEST, OnTest)
    MV_REFLECTED_COMMAND_CODE_HANDLER(BN_CLICKED, OnKlik)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(NM_CUSTOMDRAW, OnOznameni)
    MV_END_MSG_MAP()

private:
    LRESULT OnTest(UINT, WPARAM, LPARAM, BOOL&) { return ++zpravy; }
    LRESULT OnKlik(WORD, WORD, HWND, BOOL&)
    {
        ++kliknuti;
        return 0;
    }
    LRESULT OnOznameni(int, NMHDR* h, BOOL&)
    {
        ++oznameni;
        posledniKod = h->code;
        return CDRF_SKIPDEFAULT;
    }
};

std::wstring Trida(HWND okno)
{
    wchar_t jmeno[256] = {};
    GetClassNameW(okno, jmeno, 256);
    return jmeno;
}

RECT Obdelnik(int x, int y, int w, int h)
{
    return RECT{x, y, x + w, y + h};
}

} // namespace

TEST(Okno, MessagesReachTheirHandlersAndTheRestTheDefault)
{
    Mapa okno;
    ASSERT_EQ(okno.Create(nullptr, Obdelnik(10, 10, 300, 200), L"titulek", WS_OVERLAPPEDWINDOW), S_OK);
    ASSERT_TRUE(okno.IsWindow());
    EXPECT_EQ(okno.Send(WM_TEST, 40, 2), 42);
    // Not in the map: DefWindowProcW answers (the title).
    wchar_t text[32] = {};
    EXPECT_EQ(okno.Send(WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)), 7);
    EXPECT_STREQ(text, L"titulek");
    // A handler that declines gives the default's answer, not its own.
    EXPECT_EQ(okno.Send(WM_PROPUSTIT), 0);

    okno.Send(WM_COMMAND, MAKEWPARAM(100, 0), 0);
    okno.Send(WM_COMMAND, MAKEWPARAM(250, 0), 0);
    okno.Send(WM_COMMAND, MAKEWPARAM(300, 0), 0);  // in no entry
    EXPECT_EQ(okno.prikazy, 1);
    EXPECT_EQ(okno.rozsah, 1);
    EXPECT_EQ(okno.posledniPrikaz, 250);
    // A posted message goes the same way.
    okno.Post(WM_COMMAND, MAKEWPARAM(100, 0), 0);
    Pumpovat();
    EXPECT_EQ(okno.prikazy, 2);
    okno.Destroy();
    EXPECT_FALSE(okno.IsWindow());
}

TEST(Okno, ClassesAreRegisteredUnderGeneratedOrFixedNames)
{
    Mapa a, b;
    Pevna c;
    ASSERT_EQ(a.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    ASSERT_EQ(b.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    ASSERT_EQ(c.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    std::wstring jmeno = Trida(a);
    ASSERT_EQ(jmeno.rfind(L"ATL:", 0), 0u) << std::string(jmeno.begin(), jmeno.end());
    EXPECT_GT(jmeno.size(), 4u);
    EXPECT_EQ(jmeno.find_first_not_of(L"0123456789ABCDEFabcdef", 4), std::wstring::npos);
    EXPECT_EQ(jmeno, Trida(b));  // one class per window type
    EXPECT_EQ(jmeno, Mapa::RegisteredClassName());
    EXPECT_NE(std::wstring(Trida(a)), std::wstring(Hostitel::RegisteredClassName()));
    EXPECT_EQ(Trida(c), L"tonbar_test_pevna");
    EXPECT_EQ(GetClassLongPtrW(c, GCLP_HBRBACKGROUND), static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
    // A second window on the same object is refused.
    EXPECT_EQ(a.Create(nullptr, Obdelnik(0, 0, 10, 10)), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
}

TEST(Okno, SuperclassKeepsTheSystemControlBehind)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    NadtridaEditu edit;
    ASSERT_EQ(edit.Create(host, Obdelnik(5, 5, 200, 24), L"ab", WS_CHILD | WS_VISIBLE, 0, 7), S_OK);
    EXPECT_EQ(Trida(edit), L"tonbar_test_edit");
    edit.Send(WM_CHAR, L'c', 1);
    EXPECT_EQ(edit.znaky, 1);
    edit.Send(EM_SETSEL, 0, -1);
    edit.Send(WM_CHAR, L'x', 1);
    wchar_t text[16] = {};
    GetWindowTextW(edit, text, 16);
    EXPECT_STREQ(text, L"x");  // the edit's own procedure inserted it
    EXPECT_EQ(GetDlgItem(host, 7), edit.Handle());
}

TEST(Okno, ParentReflectsNotificationsToTheChild)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    HWND hwndTlacitka = host.Prvek(L"BUTTON", 11, BS_PUSHBUTTON, Obdelnik(10, 10, 80, 24), L"OK");
    ASSERT_TRUE(hwndTlacitka);
    Tlacitko tlacitko;
    ASSERT_EQ(tlacitko.SubclassWindow(hwndTlacitka), S_OK);

    // The button tells its parent; the parent sends it back as OCM_COMMAND.
    SendMessageW(hwndTlacitka, BM_CLICK, 0, 0);
    EXPECT_EQ(tlacitko.kliknuti, 1);

    NMHDR hlavicka{hwndTlacitka, 11, static_cast<UINT>(NM_CUSTOMDRAW)};
    EXPECT_EQ(host.Send(WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&hlavicka)), CDRF_SKIPDEFAULT);
    EXPECT_EQ(tlacitko.oznameni, 1);
    EXPECT_EQ(tlacitko.posledniKod, static_cast<UINT>(NM_CUSTOMDRAW));

    // A reflected message the child does not handle gets the default answer
    // of the original message: the edit's colours stay usable.
    HWND edit = host.Prvek(L"EDIT", 12, 0, Obdelnik(10, 40, 80, 24));
    Tlacitko jinyPrvek;
    ASSERT_EQ(jinyPrvek.SubclassWindow(edit), S_OK);
    HDC dc = GetDC(edit);
    EXPECT_NE(host.Send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)), 0);
    ReleaseDC(edit, dc);

    // A menu command names no child and is not reflected.
    Mapa menu;
    ASSERT_EQ(menu.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    menu.Send(WM_COMMAND, MAKEWPARAM(100, 0), 0);
    EXPECT_EQ(menu.prikazy, 1);
}

TEST(Okno, SubclassingIsUndoneOnRequestAndByTheObjectsEnd)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    HWND hwndTlacitka = host.Prvek(L"BUTTON", 11, BS_PUSHBUTTON, Obdelnik(10, 10, 80, 24), L"OK");
    {
        Tlacitko t;
        EXPECT_EQ(t.SubclassWindow(nullptr), E_INVALIDARG);
        EXPECT_EQ(t.SubclassWindow(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFF0))), E_INVALIDARG);
        ASSERT_EQ(t.SubclassWindow(hwndTlacitka), S_OK);
        EXPECT_TRUE(t.IsSubclassed());
        EXPECT_EQ(SendMessageW(hwndTlacitka, WM_TEST, 0, 0), 1);
        t.UnsubclassWindow();
        EXPECT_FALSE(t.IsSubclassed());
        EXPECT_EQ(t.Handle(), nullptr);
        EXPECT_EQ(SendMessageW(hwndTlacitka, WM_TEST, 0, 0), 0);
        EXPECT_EQ(t.zpravy, 1);

        // Re-attaching an attached object lets go of the first window.
        HWND druhe = host.Prvek(L"BUTTON", 13, BS_PUSHBUTTON, Obdelnik(10, 40, 80, 24), L"B");
        ASSERT_EQ(t.SubclassWindow(hwndTlacitka), S_OK);
        ASSERT_EQ(t.SubclassWindow(druhe), S_OK);
        EXPECT_EQ(SendMessageW(hwndTlacitka, WM_TEST, 0, 0), 0);
        EXPECT_EQ(SendMessageW(druhe, WM_TEST, 0, 0), 2);
    }
    // The object is gone; the control works on without it.
    SendMessageW(GetDlgItem(host, 13), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(GetDlgItem(host, 13), WM_TEST, 0, 0), 0);
    EXPECT_TRUE(IsWindow(GetDlgItem(host, 13)));
}

TEST(Okno, SubclassedControlIsReleasedWhenItIsDestroyed)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    HWND hwndTlacitka = host.Prvek(L"BUTTON", 11, BS_PUSHBUTTON, Obdelnik(10, 10, 80, 24), L"OK");
    Tlacitko t;
    ASSERT_EQ(t.SubclassWindow(hwndTlacitka), S_OK);
    DestroyWindow(hwndTlacitka);
    EXPECT_EQ(t.Handle(), nullptr);
    EXPECT_FALSE(t.IsSubclassed());
}

TEST(Okno, FinalMessageComesOnceAndAfterTheHandlerThatDestroyed)
{
    Mapa a;
    ASSERT_EQ(a.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    DestroyWindow(a);
    EXPECT_EQ(a.konce, 1);
    EXPECT_EQ(a.Handle(), nullptr);

    Mapa b;
    ASSERT_EQ(b.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    HWND h = b.Handle();
    // The handler saw no hook run while it was on the stack.
    EXPECT_EQ(SendMessageW(h, WM_ZNICIT_SE, 0, 0), 10);
    EXPECT_EQ(b.konce, 1);
    EXPECT_FALSE(b.poZniceniBezel);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(b.Handle(), nullptr);
}

TEST(Okno, WindowsOfOneClassOnTwoThreads)
{
    // The player makes its window on a thread of its own.
    Mapa zde;
    ASSERT_EQ(zde.Create(nullptr, Obdelnik(0, 0, 100, 100)), S_OK);
    LRESULT tam = 0;
    HRESULT hr = E_FAIL;
    std::thread vlakno([&] {
        Mapa okno;
        hr = okno.Create(nullptr, Obdelnik(0, 0, 100, 100));
        if (SUCCEEDED(hr)) {
            tam = okno.Send(WM_TEST, 1, 2);
            okno.Destroy();
        }
    });
    vlakno.join();
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(tam, 3);
    EXPECT_EQ(zde.Send(WM_TEST, 3, 4), 7);
}

namespace {

// A dialog template in memory: one button, id 1.
struct SablonaDialogu {
    alignas(4) unsigned char data[512] = {};
    const DLGTEMPLATE* Sablona() const { return reinterpret_cast<const DLGTEMPLATE*>(data); }

    SablonaDialogu()
    {
        auto* d = reinterpret_cast<DLGTEMPLATE*>(data);
        d->style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
        d->cdit = 1;
        d->cx = 100;
        d->cy = 60;
        auto* w = reinterpret_cast<WORD*>(d + 1);
        *w++ = 0;  // no menu
        *w++ = 0;  // dialog class
        *w++ = 0;  // no title
        w = reinterpret_cast<WORD*>((reinterpret_cast<UINT_PTR>(w) + 3) & ~UINT_PTR(3));
        auto* p = reinterpret_cast<DLGITEMTEMPLATE*>(w);
        p->style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
        p->x = 10;
        p->y = 10;
        p->cx = 50;
        p->cy = 14;
        p->id = 1;
        w = reinterpret_cast<WORD*>(p + 1);
        *w++ = 0xFFFF;
        *w++ = 0x0080;  // button
        *w++ = 0;       // no text
        *w++ = 0;       // no creation data
    }
};

class Dialog : public mirvak::winapi::DialogImpl<Dialog> {
public:
    bool inicializovan = false;
    int kliknuti = 0;

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
        EXPECT_EQ(SendMessageW(m_hWnd, WM_TEST, 0, 0), 4242);
        PostMessageW(Item(1), BM_CLICK, 0, 0);
        return TRUE;
    }
    LRESULT OnTest(UINT, WPARAM, LPARAM, BOOL&) { return 4242; }
    LRESULT OnOk(WORD, WORD, HWND, BOOL&)
    {
        ++kliknuti;
        EndDialog(IDOK);
        return 0;
    }
};

} // namespace

TEST(Okno, ModalDialogRunsItsMapAndEndsWithItsResult)
{
    SablonaDialogu sablona;
    Dialog dlg;
    EXPECT_EQ(dlg.DoModalIndirect(nullptr, sablona.Sablona()), IDOK);
    EXPECT_TRUE(dlg.inicializovan);
    EXPECT_EQ(dlg.kliknuti, 1);
    EXPECT_EQ(dlg.Handle(), nullptr);
}
