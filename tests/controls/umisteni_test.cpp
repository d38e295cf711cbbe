// Window placement against Wine's registry and real top-level windows.
#include "mainwindow/UmisteniOkna.h"

#include "app/TestModul.h"
#include "controls/Okno.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using mirvak::winapi::CenterWindow;
using mirvak::winapi::FitToWorkArea;
using mirvak::winapi::KlicUmisteni;
using mirvak::winapi::OknoImpl;
using mirvak::winapi::PoziceNaStredu;
using mirvak::winapi::PoziceVPracovniOblasti;
using mirvak::winapi::RestoreOrCenter;
using mirvak::winapi::RestorePlacement;
using mirvak::winapi::SavePlacement;
using mirvak::winapi::UlozeneUmisteni;
using mirvak::winapi::WindowPlacement;

namespace {

class OknoTestu : public OknoImpl<OknoTestu> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_umisteni"; }
};

RECT Pracovni()
{
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

RECT Obdelnik(HWND okno)
{
    RECT r{};
    GetWindowRect(okno, &r);
    return r;
}

::testing::AssertionResult StejnyObdelnik(const RECT& a, const RECT& b)
{
    if (EqualRect(&a, &b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom
                                         << ") != (" << b.left << "," << b.top << "," << b.right << "," << b.bottom
                                         << ")";
}

class UmisteniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int citac = 0;
        koren_ = L"Software\\Mirvak\\TonbarTest\\ctl_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++citac);
        RegDeleteTreeW(HKEY_CURRENT_USER, koren_.c_str());
        ASSERT_EQ(okno_.Create(nullptr, RECT{0, 0, 800, 600}, L"umisteni", WS_OVERLAPPEDWINDOW), S_OK);
        umisteni_ = {okno_.Handle(), KlicUmisteni(koren_)};
        oblast_ = Pracovni();
    }
    void TearDown() override
    {
        okno_.Destroy();
        RegDeleteTreeW(HKEY_CURRENT_USER, koren_.c_str());
    }

    void Zobrazit(int x, int y, int w, int h)
    {
        SetWindowPos(okno_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    void ZapsatHodnotu(DWORD typ, const void* data, DWORD velikost)
    {
        HKEY klic = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, umisteni_.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &klic, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(klic, L"tonbar_test_umisteni", 0, typ, static_cast<const BYTE*>(data), velikost),
                  ERROR_SUCCESS);
        RegCloseKey(klic);
    }
    void Zapsat(LONG l, LONG t, LONG r, LONG b, bool navrchu = false)
    {
        UlozeneUmisteni z{l, t, r, b, static_cast<uint8_t>(navrchu ? 1 : 0), {0, 0, 0}};
        ZapsatHodnotu(REG_BINARY, &z, sizeof z);
    }
    // The stored bytes; empty when there is no value.
    std::vector<BYTE> Precist()
    {
        std::vector<BYTE> data(64);
        DWORD velikost = static_cast<DWORD>(data.size()), typ = 0;
        LSTATUS s = RegGetValueW(HKEY_CURRENT_USER, umisteni_.key.c_str(), L"tonbar_test_umisteni",
                                 RRF_RT_ANY, &typ, data.data(), &velikost);
        if (s != ERROR_SUCCESS)
            return {};
        EXPECT_EQ(typ, static_cast<DWORD>(REG_BINARY));
        data.resize(velikost);
        return data;
    }
    RECT Stred(int w, int h) const
    {
        POINT p = PoziceNaStredu(oblast_, oblast_, w, h);
        return RECT{p.x, p.y, p.x + w, p.y + h};
    }

    tonbar::test::TestModul modul_;
    std::wstring koren_;
    OknoTestu okno_;
    WindowPlacement umisteni_;
    RECT oblast_{};
};

} // namespace

TEST_F(UmisteniTest, KeyIsFormedUnderTheApplicationKey)
{
    EXPECT_EQ(KlicUmisteni(L"Software\\Mirvak\\Tonbar\\4"), L"Software\\Mirvak\\Tonbar\\4\\parametry_oken");
}

TEST_F(UmisteniTest, RoundTripThroughTheRegistry)
{
    Zobrazit(100, 120, 400, 300);
    ASSERT_EQ(SavePlacement(umisteni_), S_OK);
    std::vector<BYTE> data = Precist();
    ASSERT_EQ(data.size(), 20u);
    UlozeneUmisteni z{};
    std::memcpy(&z, data.data(), 20);
    EXPECT_EQ(z.left, 100);
    EXPECT_EQ(z.top, 120);
    EXPECT_EQ(z.right, 500);
    EXPECT_EQ(z.bottom, 420);
    EXPECT_EQ(z.topmost, 0);
    EXPECT_EQ(data[17] | data[18] | data[19], 0);

    // A second window of the class comes back where the first one was.
    Zobrazit(300, 200, 200, 150);
    EXPECT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{100, 120, 500, 420}));
    EXPECT_FALSE(GetWindowLongPtrW(okno_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(UmisteniTest, TopmostWindowIsRestoredTopmost)
{
    Zobrazit(100, 100, 300, 200);
    SetWindowPos(okno_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(SavePlacement(umisteni_), S_OK);
    std::vector<BYTE> data = Precist();
    ASSERT_EQ(data.size(), 20u);
    EXPECT_EQ(data[16], 1);

    OknoTestu druhe;
    ASSERT_EQ(druhe.Create(nullptr, RECT{0, 0, 800, 600}, L"druhe", WS_OVERLAPPEDWINDOW), S_OK);
    ASSERT_FALSE(GetWindowLongPtrW(druhe, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(RestorePlacement({druhe.Handle(), umisteni_.key}), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(druhe, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(druhe), RECT{100, 100, 400, 300}));
}

TEST_F(UmisteniTest, HiddenOrMinimizedWindowKeepsTheStoredPlacement)
{
    // Hidden: nothing to save, nothing written.
    EXPECT_EQ(SavePlacement(umisteni_), 1);
    EXPECT_TRUE(Precist().empty());

    Zobrazit(100, 120, 400, 300);
    ASSERT_EQ(SavePlacement(umisteni_), S_OK);
    ShowWindow(okno_, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(okno_));
    EXPECT_EQ(SavePlacement(umisteni_), 1);
    std::vector<BYTE> data = Precist();
    ASSERT_EQ(data.size(), 20u);
    UlozeneUmisteni z{};
    std::memcpy(&z, data.data(), 20);
    EXPECT_EQ(z.left, 100);
    EXPECT_EQ(z.right, 500);
}

TEST_F(UmisteniTest, PlacementOutsideTheWorkAreaComesBackClamped)
{
    const RECT& w = oblast_;
    // Far beyond the right and bottom edges: the whole window comes back
    // into the bottom-right corner.
    Zapsat(w.right + 3000, w.bottom + 2000, w.right + 3400, w.bottom + 2300);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{w.right - 400, w.bottom - 300, w.right, w.bottom}));

    // Beyond the left and top edges: pulled to them.
    Zapsat(w.left - 3000, w.top - 2000, w.left - 2600, w.top - 1700);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{w.left, w.top, w.left + 400, w.top + 300}));

    // The top-left corner within 10 pixels of the right and bottom edges.
    Zapsat(w.right - 5, w.bottom - 5, w.right + 395, w.bottom + 295);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{w.right - 400, w.bottom - 300, w.right, w.bottom}));

    // Wider than the work area: the left edge lands on the work area's.
    Zapsat(w.left + 50, w.top + 50, w.right + 250, w.top + 350);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    RECT r = Obdelnik(okno_);
    EXPECT_EQ(r.left, w.left);
    EXPECT_EQ(r.top, w.top + 50);

    // Inside: exactly as stored.
    Zapsat(w.left + 10, w.top + 20, w.left + 310, w.top + 220);
    ASSERT_EQ(RestorePlacement(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{w.left + 10, w.top + 20, w.left + 310, w.top + 220}));
}

TEST_F(UmisteniTest, UnusableStoredValueCentresTheWindow)
{
    SetWindowPos(okno_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT puvodni = Obdelnik(okno_);
    const RECT stred = Stred(640, 480);

    // No value at all (first start).
    EXPECT_LT(RestorePlacement(umisteni_), 0);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), puvodni));
    EXPECT_NE(RestoreOrCenter(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), stred));

    struct Pripad {
        const char* nazev;
        DWORD typ;
        std::vector<BYTE> data;
    };
    UlozeneUmisteni dobry{10, 20, 410, 320, 0, {0, 0, 0}};
    auto bajty = [](const UlozeneUmisteni& z, size_t n) {
        std::vector<BYTE> v(n, 0);
        std::memcpy(v.data(), &z, std::min(n, sizeof z));
        return v;
    };
    std::vector<Pripad> pripady = {
        {"16 bytes", REG_BINARY, bajty(dobry, 16)},
        {"19 bytes", REG_BINARY, bajty(dobry, 19)},
        {"24 bytes", REG_BINARY, bajty(dobry, 24)},
        {"empty", REG_BINARY, {}},
        {"not binary", REG_DWORD, bajty(dobry, 4)},
        {"20 bytes of another type", REG_SZ, bajty(dobry, 20)},
        {"empty rectangle", REG_BINARY, bajty(UlozeneUmisteni{10, 20, 10, 320, 0, {0, 0, 0}}, 20)},
        {"inverted rectangle", REG_BINARY, bajty(UlozeneUmisteni{410, 320, 10, 20, 0, {0, 0, 0}}, 20)},
        {"all zero", REG_BINARY, std::vector<BYTE>(20, 0)},
    };
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(p.nazev);
        SetWindowPos(okno_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
        ZapsatHodnotu(p.typ, p.data.data(), static_cast<DWORD>(p.data.size()));
        EXPECT_LT(RestorePlacement(umisteni_), 0);
        EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), puvodni));  // nothing applied
        EXPECT_NE(RestoreOrCenter(umisteni_), S_OK);
        EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), stred));
    }

    // The good value is applied by the same path.
    ZapsatHodnotu(REG_BINARY, &dobry, sizeof dobry);
    EXPECT_EQ(RestoreOrCenter(umisteni_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), RECT{10, 20, 410, 320}));
}

TEST_F(UmisteniTest, FitMeasuresFromTheWorkAreasOwnEdges)
{
    // A second monitor to the right of the first, its work area not at 0.
    const RECT w{1280, 100, 2560, 1000};
    POINT p{};
    EXPECT_FALSE(PoziceVPracovniOblasti(RECT{1300, 200, 1700, 500}, w, p));
    EXPECT_TRUE(PoziceVPracovniOblasti(RECT{100, 50, 500, 350}, w, p));
    EXPECT_EQ(p.x, 1280);
    EXPECT_EQ(p.y, 100);
    // A tiny window whose corner is within 10 pixels of the right and bottom
    // edges stops 10 pixels inside them, counted from those edges (not at
    // the area's width from 0, which would be x = 1270 here).
    EXPECT_TRUE(PoziceVPracovniOblasti(RECT{2555, 995, 2558, 998}, w, p));
    EXPECT_EQ(p.x, 2550);
    EXPECT_EQ(p.y, 990);
    EXPECT_TRUE(PoziceVPracovniOblasti(RECT{3000, 2000, 3005, 2005}, w, p));
    EXPECT_EQ(p.x, 2555);
    EXPECT_EQ(p.y, 995);
    // A bigger one is pulled in whole.
    EXPECT_TRUE(PoziceVPracovniOblasti(RECT{3000, 2000, 3400, 2300}, w, p));
    EXPECT_EQ(p.x, 2160);
    EXPECT_EQ(p.y, 700);
    // Taller than the area: the top edge wins.
    EXPECT_TRUE(PoziceVPracovniOblasti(RECT{1300, 200, 1700, 1500}, w, p));
    EXPECT_EQ(p.x, 1300);
    EXPECT_EQ(p.y, 100);

    // On the real monitor a window inside is left alone.
    Zobrazit(oblast_.left + 30, oblast_.top + 40, 200, 100);
    EXPECT_EQ(FitToWorkArea(okno_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_),
                               RECT{oblast_.left + 30, oblast_.top + 40, oblast_.left + 230, oblast_.top + 140}));
}

TEST_F(UmisteniTest, CentringOnTheWorkAreaAnOwnerOrTheParent)
{
    // No owner: the work area.
    SetWindowPos(okno_, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(CenterWindow(okno_), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(okno_), Stred(300, 200)));

    // Larger than the work area: the left and top edges win.
    SetWindowPos(okno_, nullptr, 0, 0, oblast_.right - oblast_.left + 100, oblast_.bottom - oblast_.top + 60,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(CenterWindow(okno_), S_OK);
    RECT r = Obdelnik(okno_);
    EXPECT_EQ(r.left, oblast_.left);
    EXPECT_EQ(r.top, oblast_.top);

    // A visible owner: centred on the owner's window rectangle.
    Zobrazit(oblast_.left + 100, oblast_.top + 100, 400, 300);
    OknoTestu vlastneny;
    ASSERT_EQ(vlastneny.Create(okno_, RECT{0, 0, 200, 100}, L"dialog", WS_POPUP | WS_CAPTION), S_OK);
    ASSERT_EQ(GetWindow(vlastneny, GW_OWNER), okno_.Handle());
    ASSERT_EQ(CenterWindow(vlastneny), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(vlastneny), RECT{oblast_.left + 200, oblast_.top + 200,
                                                         oblast_.left + 400, oblast_.top + 300}));
    // A hidden owner does not count: the work area again.
    ShowWindow(okno_, SW_HIDE);
    ASSERT_EQ(CenterWindow(vlastneny), S_OK);
    EXPECT_TRUE(StejnyObdelnik(Obdelnik(vlastneny), Stred(200, 100)));

    // A child: the parent's client area, in client coordinates.
    ShowWindow(okno_, SW_SHOWNOACTIVATE);
    RECT klient{};
    GetClientRect(okno_, &klient);
    HWND dite = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, okno_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(CenterWindow(dite), S_OK);
    RECT rd = Obdelnik(dite);
    MapWindowPoints(nullptr, okno_, reinterpret_cast<POINT*>(&rd), 2);
    EXPECT_EQ(rd.left, klient.right / 2 - 50);
    EXPECT_EQ(rd.top, klient.bottom / 2 - 25);
}

namespace {

// Ends the process the moment a fatal error is reported, instead of the box.
class FatalniModul : public tonbar::test::TestModul {
public:
    HRESULT ObsluhaFatalniChyby(const wchar_t* text) override
    {
        bool spravny = std::wstring(text) == L"Nebyl nastaven klíč registru pro uložení souřadnic okna";
        ExitProcess(spravny ? 3 : 4);
    }
};

} // namespace

TEST_F(UmisteniTest, EmptyKeyIsAFatalError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WindowPlacement bezKlice{okno_.Handle(), L""};
    EXPECT_EXIT(
        {
            FatalniModul modul;
            SavePlacement(bezKlice);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EXIT(
        {
            FatalniModul modul;
            RestorePlacement(bezKlice);
        },
        ::testing::ExitedWithCode(3), "");
}
