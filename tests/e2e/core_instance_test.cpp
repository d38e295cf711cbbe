// The real program: single instance, start and end events, exit codes.
#include "harness/Dialogy.h"
#include "harness/TonbarProces.h"

#include <gtest/gtest.h>

using tonbar::test::ObsahujeUdalost;
using tonbar::test::PockatNa;
using tonbar::test::TonbarProces;
using tonbar::test::Zprava;

namespace {

constexpr wchar_t kUdalostSpusteni[] = L"Aplikace \"Tonbar\" byla úspěšně spuštěna.\r\n";
constexpr wchar_t kUdalostUkonceni[] = L"Aplikace \"Tonbar\" byla úspěšně ukončena.\r\n";

class Instance : public ::testing::Test {
protected:
    void SetUp() override { tonbar::test::SmazatKonfiguraci(); }
    void TearDown() override { tonbar::test::SmazatKonfiguraci(); }
};

TEST_F(Instance, SecondInstanceShowsBoxExitsWithOneAndWritesEndEvent)
{
    ASSERT_TRUE(tonbar::test::ZapsatDword(nullptr, L"zapis_udalosti", 4));
    TonbarProces prvni;
    ASSERT_TRUE(prvni.Spustit());
    HWND okno = prvni.CekatNaHlavniOkno();
    ASSERT_NE(okno, nullptr);
    // The window answers once its start-up actions are done (seconds on a
    // loaded machine); until then the title cannot be read from here.
    std::wstring titulek;
    ASSERT_TRUE(PockatNa([&] { return !(titulek = TonbarProces::TextOkna(okno)).empty(); }, 30000));

    TonbarProces druha;
    ASSERT_TRUE(druha.Spustit(L"+eventlog"));
    auto zprava = druha.CekatNaZpravu();
    ASSERT_TRUE(zprava.has_value());
    EXPECT_EQ(zprava->text, L"Aplikace je již spuštěna");
    EXPECT_EQ(zprava->titulek, L"Tonbar.exe");
    // The second instance never shows a main window of its own.
    EXPECT_EQ(druha.CekatNaHlavniOkno(0), nullptr);
    ASSERT_TRUE(TonbarProces::StisknoutTlacitko(zprava->okno, IDOK));
    auto kod = druha.CekatNaKonec();
    ASSERT_TRUE(kod.has_value());
    EXPECT_EQ(*kod, 1u);
    EXPECT_TRUE(ObsahujeUdalost(druha.ChybovyVystup(), kUdalostUkonceni, EVENTLOG_INFORMATION_TYPE))
        << druha.ChybovyVystup();

    // The first instance runs on unchanged.
    EXPECT_TRUE(prvni.Bezi());
    EXPECT_TRUE(IsWindow(okno));
    EXPECT_EQ(TonbarProces::TextOkna(okno), titulek);
    ASSERT_TRUE(prvni.Zavrit());
    EXPECT_EQ(prvni.CekatNaKonec().value_or(999), 0u);
}

// The priority and the event bits are read at start. Event bit 2 writes the
// start event (after the window's start-up message) and, without 4, no end
// event; bit 1 neither.
TEST_F(Instance, PriorityAndStartEventAreAppliedAtStartAndAFailureIsReported)
{
    ASSERT_TRUE(tonbar::test::ZapsatDword(nullptr, L"process_priority", BELOW_NORMAL_PRIORITY_CLASS));
    ASSERT_TRUE(tonbar::test::ZapsatDword(nullptr, L"zapis_udalosti", 2));
    {
        TonbarProces p;
        ASSERT_TRUE(p.Spustit(L"+eventlog"));
        ASSERT_NE(p.CekatNaHlavniOkno(), nullptr);
        EXPECT_TRUE(PockatNa([&] {
            return ObsahujeUdalost(p.ChybovyVystup(), kUdalostSpusteni, EVENTLOG_INFORMATION_TYPE);
        })) << p.ChybovyVystup();
        HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, p.Pid());
        ASSERT_NE(h, nullptr);
        DWORD trida = 0;
        PockatNa([&] { return (trida = GetPriorityClass(h)) == BELOW_NORMAL_PRIORITY_CLASS; }, 5000);
        CloseHandle(h);
        EXPECT_EQ(trida, static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
        ASSERT_TRUE(p.Zavrit());
        EXPECT_EQ(p.CekatNaKonec().value_or(999), 0u);
        EXPECT_FALSE(ObsahujeUdalost(p.ChybovyVystup(), kUdalostUkonceni, EVENTLOG_INFORMATION_TYPE));
    }
    // A value that is no priority class: the error box, and the program runs on.
    ASSERT_TRUE(tonbar::test::ZapsatDword(nullptr, L"process_priority", 12345));
    ASSERT_TRUE(tonbar::test::ZapsatDword(nullptr, L"zapis_udalosti", 1));
    TonbarProces p;
    ASSERT_TRUE(p.Spustit(L"+eventlog"));
    auto zprava = p.CekatNaZpravu();
    ASSERT_TRUE(zprava.has_value());
    EXPECT_EQ(zprava->text, L"Došlo k chybě při nastavení priority procesu aplikace.");
    ASSERT_TRUE(TonbarProces::StisknoutTlacitko(zprava->okno, IDOK));
    // Gone before the settings are opened, so the dialog found next is theirs.
    tonbar::test::CekatNaZavreni(zprava->okno, 5000);
    ASSERT_NE(p.CekatNaHlavniOkno(), nullptr);
    // OK in the settings applies the (still invalid) priority once: one box.
    p.PoslatPrikaz(40002);
    HWND nastaveni = p.CekatNaOkno(L"#32770");
    ASSERT_NE(nastaveni, nullptr);
    ASSERT_TRUE(TonbarProces::StisknoutTlacitko(nastaveni, IDOK));
    int boxu = 0;
    for (std::optional<Zprava> box; (box = p.CekatNaZpravu(boxu == 0 ? 10000 : 3000)) && boxu < 4;) {
        EXPECT_EQ(box->text, L"Došlo k chybě při nastavení priority procesu aplikace.");
        ++boxu;
        ASSERT_TRUE(TonbarProces::StisknoutTlacitko(box->okno, IDOK));
        tonbar::test::CekatNaZavreni(box->okno, 5000);
    }
    EXPECT_EQ(boxu, 1);
    ASSERT_TRUE(p.Zavrit());
    EXPECT_EQ(p.CekatNaKonec().value_or(999), 0u);
    const std::string traces = p.ChybovyVystup();
    EXPECT_FALSE(ObsahujeUdalost(traces, kUdalostSpusteni, EVENTLOG_INFORMATION_TYPE)) << traces;
    EXPECT_FALSE(ObsahujeUdalost(traces, kUdalostUkonceni, EVENTLOG_INFORMATION_TYPE));
}

} // namespace
