// The real program: single instance, the priority, start and end events, exit codes.
#include "harness/Dialogy.h"
#include "harness/TonbarProces.h"

#include <gtest/gtest.h>

using namespace tonbar::test;

namespace {

constexpr wchar_t kUdalostSpusteni[] = L"Aplikace \"Tonbar\" byla úspěšně spuštěna.\r\n";
constexpr wchar_t kUdalostUkonceni[] = L"Aplikace \"Tonbar\" byla úspěšně ukončena.\r\n";
constexpr wchar_t kChybaPriority[] = L"Došlo k chybě při nastavení priority procesu aplikace.";

bool Udalost(const TonbarProces& p, const wchar_t* text)
{
    return ObsahujeUdalost(p.ChybovyVystup(), text, EVENTLOG_INFORMATION_TYPE);
}

class Instance : public ::testing::Test {
protected:
    void SetUp() override { SmazatKonfiguraci(); }
    void TearDown() override { SmazatKonfiguraci(); }
};

// The priority and the event bits are read at start. Bit 2 writes the start event (after the window's
// start-up message) and, without 4, no end event; a second instance started with bit 4 shows a box, exits
// with 1 and writes its end event, and the first runs on unchanged.
TEST_F(Instance, SecondInstanceExitsWithOneAndTheEventBitsAndPriorityApply)
{
    ASSERT_TRUE(ZapsatDword(nullptr, L"process_priority", BELOW_NORMAL_PRIORITY_CLASS));
    ASSERT_TRUE(ZapsatDword(nullptr, L"zapis_udalosti", 2));
    TonbarProces prvni;
    ASSERT_TRUE(prvni.Spustit(L"+eventlog"));
    HWND okno = prvni.CekatNaHlavniOkno();
    ASSERT_NE(okno, nullptr);
    // The title can be read once the start-up actions are done (seconds on a loaded machine).
    std::wstring titulek;
    ASSERT_TRUE(PockatNa([&] { return !(titulek = TonbarProces::TextOkna(okno)).empty(); }, 30000));
    EXPECT_TRUE(PockatNa([&] { return Udalost(prvni, kUdalostSpusteni); })) << prvni.ChybovyVystup();
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, prvni.Pid());
    ASSERT_NE(h, nullptr);
    DWORD trida = 0;
    PockatNa([&] { return (trida = GetPriorityClass(h)) == BELOW_NORMAL_PRIORITY_CLASS; }, 5000);
    CloseHandle(h);
    EXPECT_EQ(trida, static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    ASSERT_TRUE(ZapsatDword(nullptr, L"zapis_udalosti", 4));
    TonbarProces druha;
    ASSERT_TRUE(druha.Spustit(L"+eventlog"));
    auto zprava = druha.CekatNaZpravu();
    ASSERT_TRUE(zprava.has_value());
    EXPECT_EQ(zprava->text, L"Aplikace je již spuštěna");
    EXPECT_EQ(zprava->titulek, L"Tonbar.exe");
    // The second instance never shows a main window of its own.
    EXPECT_EQ(druha.CekatNaHlavniOkno(0), nullptr);
    ASSERT_TRUE(TonbarProces::StisknoutTlacitko(zprava->okno, IDOK));
    EXPECT_EQ(druha.CekatNaKonec().value_or(999), 1u);
    EXPECT_TRUE(Udalost(druha, kUdalostUkonceni)) << druha.ChybovyVystup();
    EXPECT_TRUE(prvni.Bezi());
    EXPECT_EQ(TonbarProces::TextOkna(okno), titulek);
    ASSERT_TRUE(prvni.Zavrit());
    EXPECT_EQ(prvni.CekatNaKonec().value_or(999), 0u);
    EXPECT_FALSE(Udalost(prvni, kUdalostUkonceni));
}

// A value that is no priority class: the error box, and the program runs on; OK in the settings applies the
// (still invalid) priority once: one box. Bit 1 writes neither event.
TEST_F(Instance, AFailedPriorityIsReportedOnceAtStartAndOnceByTheSettings)
{
    ASSERT_TRUE(ZapsatDword(nullptr, L"process_priority", 12345));
    ASSERT_TRUE(ZapsatDword(nullptr, L"zapis_udalosti", 1));
    TonbarProces p;
    ASSERT_TRUE(p.Spustit(L"+eventlog"));
    // The boxes, each answered and gone before anything else is looked for.
    auto boxy = [&] {
        int n = 0;
        for (std::optional<Zprava> box; n < 4 && (box = p.CekatNaZpravu(n == 0 ? 20000 : 3000)); ++n) {
            EXPECT_EQ(box->text, kChybaPriority);
            EXPECT_TRUE(TonbarProces::StisknoutTlacitko(box->okno, IDOK));
            CekatNaZavreni(box->okno, 5000);
        }
        return n;
    };
    EXPECT_EQ(boxy(), 1);
    ASSERT_NE(p.CekatNaHlavniOkno(), nullptr);
    p.PoslatPrikaz(40002);
    HWND nastaveni = p.CekatNaOkno(L"#32770");
    ASSERT_NE(nastaveni, nullptr);
    ASSERT_TRUE(TonbarProces::StisknoutTlacitko(nastaveni, IDOK));
    EXPECT_EQ(boxy(), 1);
    ASSERT_TRUE(p.Zavrit());
    EXPECT_EQ(p.CekatNaKonec().value_or(999), 0u);
    EXPECT_FALSE(Udalost(p, kUdalostSpusteni)) << p.ChybovyVystup();
    EXPECT_FALSE(Udalost(p, kUdalostUkonceni));
}

} // namespace
