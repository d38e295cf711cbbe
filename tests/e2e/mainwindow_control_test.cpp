// The recording control with the real recorder and microphone, in this
// process: what the notification-area icon says while a recording runs and
// after it, and the name chosen during a recording.
#include "app/Aplikace.h"
#include "app/Konfigurace.h"
#include "harness/TestFolder.h"
#include "mainwindow/OknoZaznamuTest.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using tonbar::test::OknoZaznamuTest;
using tonbar::test::SkryteOkno;

class Rizeni : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("TONBAR_E2E_OUT"))
            GTEST_SKIP() << "needs the virtual microphone of tests/recording/record_test.sh";
        InicializovatKonfiguraci(k_);
        konfigurace_ = true;
        a_.nazevProduktu = L"Tonbar";
        a_.malaIkona = LoadIcon(nullptr, IDI_APPLICATION);
        a_.ikonaZaznamu = LoadIcon(nullptr, IDI_WARNING);
        a_.zarizeni = std::make_unique<AudioCaptureDeviceList>();
        a_.zarizeni->Enumerate();
        ASSERT_GT(a_.zarizeni->Count(), 0);
        NastavitVychozi(k_, L"test", &a_.zarizeni->At(0));
        k_.slozka_data = slozka_.Path();
        k_.zapis_udalosti = 0;
        k_.soubor_parametry = 0;
        a_.zaznamnik = std::make_unique<AudioRecorder>();
        okno_ = std::make_unique<SkryteOkno>(a_.malaIkona);
        ikona_.Pridat(okno_->Handle(), 1, false, false);
        ikona_.NastavitTitulek(L"Tonbar");
        ikona_.NastavitTip(L"Tonbar");
        ui_.ikona = &ikona_;
    }
    void TearDown() override
    {
        if (a_.zaznamnik)
            a_.zaznamnik->Stop();
        ikona_.Odebrat();
        if (konfigurace_)
            UvolnitKonfiguraci(k_);
    }

    tonbar::test::ComScope com_;
    tonbar::test::TestFolder slozka_;
    Konfigurace k_{};
    bool konfigurace_ = false;
    Aplikace a_;
    std::unique_ptr<SkryteOkno> okno_;
    IkonaOznameni ikona_;
    OknoZaznamuTest ui_;
};

TEST_F(Rizeni, TipAndBalloonsFollowTheRecording)
{
    RizeniZaznamu r(a_, k_, ui_);
    unsigned long pred = ikona_.PosledniBublina().poradi;
    ASSERT_EQ(r.SpustitZaznam(), S_OK) << (ui_.chyby.empty() ? L"" : ui_.chyby.back()).size();
    std::wstring jmeno = JmenoBezSlozky(a_.souborZaznamu);
    EXPECT_EQ(a_.souborZaznamu.rfind(slozka_.Path() + L"\\", 0), 0u);
    EXPECT_EQ(ui_.text, L"Probíhá záznam do souboru " + a_.souborZaznamu);
    EXPECT_EQ(ikona_.Tip(), L"Probíhá záznam do souboru\n" + jmeno);
    auto bublina = ikona_.PosledniBublina();
    EXPECT_GT(bublina.poradi, pred);
    EXPECT_EQ(bublina.text, L"Byl spuštěn záznam zvuku do souboru\n" + jmeno);
    EXPECT_EQ(bublina.druh, kBublinaInformace);
    EXPECT_TRUE(ui_.blika);

    // The blink alternates the two icons on the tray and the status bar.
    r.Bliknout();
    HICON prvni = ikona_.Ikona();
    EXPECT_EQ(ui_.ikonaStavu, prvni);
    r.Bliknout();
    EXPECT_NE(ikona_.Ikona(), prvni);
    EXPECT_TRUE(ikona_.Ikona() == a_.malaIkona || ikona_.Ikona() == a_.ikonaZaznamu);
    // Hidden: only the tray icon blinks.
    ui_.viditelne = false;
    HICON stavova = ui_.ikonaStavu;
    r.Bliknout();
    EXPECT_EQ(ui_.ikonaStavu, stavova);

    Sleep(2000);
    EXPECT_EQ(r.PrikazUkoncit(), S_OK);
    EXPECT_FALSE(r.NahravaSe());
    EXPECT_FALSE(ui_.blika);
    EXPECT_EQ(ui_.text, L"Tonbar - Připraven");
    EXPECT_EQ(ui_.ikonaStavu, a_.malaIkona);
    EXPECT_EQ(ikona_.Ikona(), a_.malaIkona);
    EXPECT_EQ(ikona_.Tip(), L"Tonbar");
    EXPECT_EQ(ikona_.PosledniBublina().text, L"Byl ukončen záznam zvuku do souboru\n" + jmeno);
    EXPECT_TRUE(ui_.chyby.empty());
    // A stop with nothing running neither renames nor reports.
    EXPECT_EQ(r.PrikazUkoncit(), S_FALSE);
}

// A name chosen during the recording: the toggle stops without it, the stop
// command applies it. A blink timer that cannot be set fails neither start.
TEST_F(Rizeni, OnlyTheStopCommandAppliesTheNameChosenDuringTheRecording)
{
    ui_.casovacJde = false;
    RizeniZaznamu r(a_, k_, ui_);
    for (bool prepnout : {true, false}) {
        ASSERT_EQ(prepnout ? r.Prepnout() : r.SpustitZaznam(), S_OK);
        EXPECT_TRUE(r.NahravaSe());
        EXPECT_EQ(ui_.spusteniBlikani, prepnout ? 1 : 2);
        EXPECT_TRUE(ui_.chyby.empty());
        const std::wstring soubor = a_.souborZaznamu, nove = slozka_.File(prepnout ? L"jine.wma" : L"nove.wma");
        a_.noveJmenoZaznamu = nove;
        Sleep(1000);
        EXPECT_EQ(prepnout ? r.Prepnout() : r.PrikazUkoncit(), S_OK);
        EXPECT_FALSE(r.NahravaSe());
        EXPECT_TRUE(a_.noveJmenoZaznamu.empty());
        EXPECT_EQ(GetFileAttributesW(soubor.c_str()) != INVALID_FILE_ATTRIBUTES, prepnout) << prepnout;
        EXPECT_EQ(GetFileAttributesW(nove.c_str()) != INVALID_FILE_ATTRIBUTES, !prepnout) << prepnout;
    }
}

} // namespace
