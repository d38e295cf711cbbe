// Window placement against Wine's registry and real top-level windows.
#include "mainwindow/UmisteniOkna.h"

#include "app/TestModul.h"
#include "controls/Okno.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace mirvak::winapi;

namespace {

class OknoTestu : public OknoImpl<OknoTestu> {
public:
    static const wchar_t* ClassName() { return L"tonbar_test_umisteni"; }
};

RECT Obdelnik(HWND okno)
{
    RECT r{};
    GetWindowRect(okno, &r);
    return r;
}

::testing::AssertionResult Je(HWND okno, const RECT& b)
{
    RECT a = Obdelnik(okno);
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
        ASSERT_EQ(okno_.Create(nullptr, RECT{0, 0, 800, 600}, L"umisteni", WS_OVERLAPPEDWINDOW), S_OK);
        umisteni_ = {okno_.Handle(), konf_.Klic(L"parametry_oken")};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &w_, 0);
    }
    void TearDown() override { okno_.Destroy(); }

    void Zobrazit(int x, int y, int sirka, int vyska)
    {
        SetWindowPos(okno_, nullptr, x, y, sirka, vyska, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    void Zapsat(DWORD typ, const void* data, DWORD velikost)
    {
        ASSERT_TRUE(konf_.Zapsat(L"parametry_oken", L"tonbar_test_umisteni", typ, data, velikost));
    }
    // The stored bytes; empty when there is no binary value.
    std::vector<BYTE> Precist() { return konf_.Binarni(L"parametry_oken", L"tonbar_test_umisteni"); }
    // Centred on the work area, worked out here by hand.
    RECT Stred(int sirka, int vyska) const
    {
        LONG x = (w_.left + w_.right) / 2 - sirka / 2, y = (w_.top + w_.bottom) / 2 - vyska / 2;
        return RECT{x, y, x + sirka, y + vyska};
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
    Zobrazit(100, 120, 400, 300);
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
    EXPECT_TRUE(Je(druhe, RECT{100, 120, 500, 420}));
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
    EXPECT_TRUE(Je(okno_, RECT{w_.right - 400, w_.bottom - 300, w_.right, w_.bottom}));
}

TEST_F(UmisteniTest, UnusableStoredValueCentresTheWindow)
{
    SetWindowPos(okno_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT puvodni = Obdelnik(okno_);
    // No value at all (first start).
    EXPECT_LT(RestorePlacement(umisteni_), 0);
    EXPECT_TRUE(Je(okno_, puvodni));
    EXPECT_NE(RestoreOrCenter(umisteni_), S_OK);
    EXPECT_TRUE(Je(okno_, Stred(640, 480)));

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
        Zapsat(p.typ, p.data.data(), static_cast<DWORD>(p.data.size()));
        EXPECT_LT(RestorePlacement(umisteni_), 0);
        EXPECT_TRUE(Je(okno_, puvodni)) << "nothing applied";
        EXPECT_NE(RestoreOrCenter(umisteni_), S_OK);
        EXPECT_TRUE(Je(okno_, Stred(640, 480)));
    }
    Zapsat(REG_BINARY, &dobry, sizeof dobry);
    EXPECT_EQ(RestoreOrCenter(umisteni_), S_OK);
    EXPECT_TRUE(Je(okno_, RECT{10, 20, 410, 320}));
}

TEST_F(UmisteniTest, CentringOnTheWorkAreaAVisibleOwnerOrTheParent)
{
    // Larger than the work area: the left and top edges win.
    SetWindowPos(okno_, nullptr, 0, 0, w_.right - w_.left + 100, w_.bottom - w_.top + 60,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(CenterWindow(okno_), S_OK);
    EXPECT_EQ(Obdelnik(okno_).left, w_.left);
    EXPECT_EQ(Obdelnik(okno_).top, w_.top);

    // On the owner's window rectangle while it is visible, else the work area.
    Zobrazit(w_.left + 100, w_.top + 100, 400, 300);
    OknoTestu vlastneny;
    ASSERT_EQ(vlastneny.Create(okno_, RECT{0, 0, 200, 100}, L"dialog", WS_POPUP | WS_CAPTION), S_OK);
    ASSERT_EQ(CenterWindow(vlastneny), S_OK);
    EXPECT_TRUE(Je(vlastneny, RECT{w_.left + 200, w_.top + 200, w_.left + 400, w_.top + 300}));
    ShowWindow(okno_, SW_HIDE);
    ASSERT_EQ(CenterWindow(vlastneny), S_OK);
    EXPECT_TRUE(Je(vlastneny, Stred(200, 100)));

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
