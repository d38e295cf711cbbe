// The real Tonbar.exe records, lists and plays with the virtual microphone of record_test.sh, which judges
// the files left in TONBAR_E2E_OUT; closing under each modal dialog runs in the plain run. Then the recording
// control in process with the real recorder and notification-area icon.
#include "app/Aplikace.h"
#include "app/Konfigurace.h"
#include "harness/Dialogy.h"
#include "harness/TestFolder.h"
#include "harness/TonbarProces.h"
#include "mainwindow/OknoZaznamuTest.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace tonbar::test;

namespace {

constexpr wchar_t kZaznamPrefix[] = L"Probíhá záznam do souboru ";

// The wrapper's output folder, judged by ffprobe afterwards; empty in the run without the microphone.
std::wstring Vystup() { return _wgetenv(L"TONBAR_E2E_OUT") ? _wgetenv(L"TONBAR_E2E_OUT") : L""; }

class Okno : public ::testing::Test {
protected:
    void SetUp() override { SmazatKonfiguraci(); }
    void TearDown() override { SmazatKonfiguraci(); }
    // Recordings go to `slozka` (created), which the list also shows.
    static std::wstring Slozka(const std::wstring& slozka)
    {
        CreateDirectoryW(slozka.c_str(), nullptr);
        EXPECT_TRUE(ZapsatText(nullptr, L"slozka_data", slozka));
        EXPECT_TRUE(ZapsatText(L"seznam_souboru", L"slozka", slozka));
        return slozka;
    }
    static std::wstring TextStavu(HWND okno, int cast = 1)
    {
        return TextCastiStatusu(Potomek(okno, STATUSCLASSNAMEW), cast);
    }
    static std::vector<std::wstring> Polozky(HWND okno)
    {
        return PolozkySeznamu(Potomek(okno, L"ListViewObsahSlozky"));
    }
    static bool Nahrava(HWND okno) { return !NahravanySoubor(okno).empty(); }
    static std::wstring NahravanySoubor(HWND okno)
    {
        std::wstring t = TextStavu(okno);
        return t.rfind(kZaznamPrefix, 0) == 0 ? t.substr(wcslen(kZaznamPrefix)) : std::wstring();
    }
    // Sound reaches the file: the level part reads decibels (Wine delivers the first sound late).
    static bool Zni(HWND okno)
    {
        std::wstring t = TextStavu(okno, 2);
        return t.size() > 3 && t.compare(t.size() - 3, 3, L" dB") == 0;
    }
    static void PoslatPrikaz(HWND okno, WORD id) { PostMessageW(okno, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // One recording of `ms` milliseconds, by the commands or by the hot key Ctrl+Alt+R pressed through the
    // system's input queue: the path it went to.
    static std::wstring Nahrat(HWND okno, DWORD ms, bool klavesou = false)
    {
        auto povel = [&](WORD id) {
            INPUT vstup[6] = {};
            const WORD klavesy[] = {VK_CONTROL, VK_MENU, 'R', 'R', VK_MENU, VK_CONTROL};
            for (int i = 0; i < 6; ++i)
                vstup[i] = {INPUT_KEYBOARD, {.ki = {klavesy[i], 0, i < 3 ? 0u : KEYEVENTF_KEYUP, 0, 0}}};
            klavesou ? void(SendInput(6, vstup, sizeof(INPUT))) : PoslatPrikaz(okno, id);
        };
        povel(40011);
        std::wstring soubor;
        if (!PockatNa([&] { return !(soubor = NahravanySoubor(okno)).empty(); }, 20000) ||
            !PockatNa([&] { return Zni(okno); }, 10000))
            return {};
        Sleep(ms);
        povel(40013);
        return PockatNa([&] { return !Nahrava(okno); }, 20000) ? soubor : std::wstring();
    }
};

#define VYZADUJE_MIKROFON()                                                                   \
    if (Vystup().empty())                                                                     \
    GTEST_SKIP() << "needs the virtual microphone of tests/recording/record_test.sh"

TEST_F(Okno, RecordsIntoTheListedFolderPlaysItAndWritesBothEvents)
{
    VYZADUJE_MIKROFON();
    const std::wstring slozka = Slozka(Vystup() + L"\\nahravani");
    ASSERT_TRUE(ZapsatDword(nullptr, L"zapis_udalosti", 24));
    TonbarProces p;
    ASSERT_TRUE(p.Spustit(L"+eventlog"));
    HWND okno = p.CekatNaHlavniOkno();
    ASSERT_NE(okno, nullptr);
    EXPECT_EQ(TonbarProces::TextOkna(okno), L"Tonbar - " + slozka);
    EXPECT_TRUE(PockatNa([&] { return TextStavu(okno) == L"Tonbar - Připraven - " + slozka; }, 5000))
        << TextStavu(okno);
    PoslatPrikaz(okno, 40011);
    ASSERT_TRUE(PockatNa([&] { return Nahrava(okno); }, 20000)) << TextStavu(okno);
    std::wstring soubor = NahravanySoubor(okno);
    EXPECT_EQ(soubor.rfind(slozka + L"\\", 0), 0u) << soubor;
    std::wstring jmeno = soubor.substr(soubor.find_last_of(L'\\') + 1);
    // The folder watcher lists the new file while it is recorded.
    EXPECT_TRUE(PockatNa([&] { return Polozky(okno) == std::vector<std::wstring>{jmeno}; }));
    // A second start while recording changes nothing.
    PoslatPrikaz(okno, 40011);
    EXPECT_TRUE(PockatNa([&] { return Zni(okno); }, 10000)) << TextStavu(okno, 2);
    Sleep(5000);
    EXPECT_EQ(NahravanySoubor(okno), soubor);
    PoslatPrikaz(okno, 40013);
    ASSERT_TRUE(PockatNa([&] { return TextStavu(okno) == L"Tonbar - Připraven"; }, 20000)) << TextStavu(okno);
    // The end event follows the status text.
    for (const wchar_t* udalost : {L"Byl spuštěn", L"Byl ukončen"}) {
        const std::wstring text = udalost + std::wstring(L" záznam zvuku do souboru \"") + jmeno + L"\".\r\n";
        EXPECT_TRUE(PockatNa([&] { return ObsahujeUdalost(p.ChybovyVystup(), text, EVENTLOG_INFORMATION_TYPE); }))
            << p.ChybovyVystup();
    }
    // The only file is the list's current one: 40030 opens it in the player, which shows its name.
    PoslatPrikaz(okno, 40030);
    HWND prehravac = p.CekatNaOkno(L"prehravac_zvuku", 20000);
    ASSERT_NE(prehravac, nullptr);
    EXPECT_TRUE(PockatNa([&] { return TextStavu(prehravac) == jmeno; }, 10000)) << TextStavu(prehravac);
    // No "cannot open" box.
    EXPECT_FALSE(p.CekatNaZpravu(3000).has_value());
    ASSERT_TRUE(p.Zavrit());
    EXPECT_EQ(p.CekatNaKonec(30000).value_or(999), 0u);
}

TEST_F(Okno, StartsHiddenAndRecordingAndClosingKeepsACompleteFile)
{
    VYZADUJE_MIKROFON();
    const std::wstring slozka = Slozka(Vystup() + L"\\skryte");
    ASSERT_TRUE(ZapsatDword(nullptr, L"po_spusteni", 3));
    TonbarProces p;
    ASSERT_TRUE(p.Spustit());
    // The main window, visible or not.
    auto hlavni = [&](HWND o) { return ProcesOkna(o) == p.Pid() && TridaOkna(o) == L"tonbar"; };
    HWND okno = nullptr;
    ASSERT_TRUE(PockatNa([&] { return (okno = NajitOkno(hlavni)) && Nahrava(okno); }, 30000));
    EXPECT_FALSE(IsWindowVisible(okno));
    Sleep(3000);
    EXPECT_FALSE(IsWindowVisible(okno));
    // Closing stops the recording first; the file is whole (judged by the wrapper).
    PostMessageW(okno, WM_CLOSE, 0, 0);
    EXPECT_EQ(p.CekatNaKonec(30000).value_or(999), 0u);
    const auto soubory = Soubory(slozka);
    ASSERT_EQ(soubory.size(), 1u);
    EXPECT_GT(FileSize(slozka + L"\\" + soubory[0]), 8000u);
}

TEST_F(Okno, KonecWhileEachModalDialogIsOpenClosesOnceTheDialogEnds)
{
    if (!Vystup().empty())
        GTEST_SKIP() << "runs once, in the run without the microphone";
    // Each modal dialog of the main window and its answer: the rename and the delete are confirmed and made
    // whole before the program closes; the rest are cancelled and change nothing.
    const struct {
        const char* nazev;
        WORD prikaz;
        int odpoved;
        const wchar_t* zbyva;  // the one file the folder holds afterwards, or none
    } pripady[] = {
        {"settings", 40002, IDCANCEL, L"zaznam.wma"},
        {"recording profiles", 40022, IDCANCEL, L"zaznam.wma"},
        {"rename", 40028, IDOK, L"prejmenovany.wma"},
        {"FTP places", 40023, IDCANCEL, L"zaznam.wma"},
        {"contacts", 40024, IDCANCEL, L"zaznam.wma"},
        {"SMTP accounts", 40025, IDCANCEL, L"zaznam.wma"},
        {"about", 40006, IDOK, L"zaznam.wma"},
        {"folder browser", 40018, IDCANCEL, L"zaznam.wma"},
        {"delete question", 40037, IDYES, nullptr},
    };
    for (const auto& c : pripady) {
        SCOPED_TRACE(c.nazev);
        SmazatKonfiguraci();
        TestFolder dir;
        Slozka(dir.Path());
        ASSERT_TRUE(CloseHandle(CreateFileW(dir.File(L"zaznam.wma").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            0, nullptr)));
        TonbarProces p;
        ASSERT_TRUE(p.Spustit());
        HWND okno = p.CekatNaHlavniOkno();
        ASSERT_NE(okno, nullptr);
        // The only file is the list's current one.
        ASSERT_TRUE(PockatNa([&] { return Polozky(okno).size() == 1; }, 10000));
        PoslatPrikaz(okno, c.prikaz);
        HWND dialog = p.CekatNaOkno(L"#32770", 20000);
        ASSERT_NE(dialog, nullptr);
        // No is the preselected answer to the delete question.
        EXPECT_TRUE(c.prikaz != 40037 ||
                    (GetWindowLongW(GetDlgItem(dialog, IDNO), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        if (c.prikaz == 40028)
            SendMessageW(Potomek(dialog, L"Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"prejmenovany.wma"));
        PoslatPrikaz(okno, 40001);
        // The program waits for the dialog: nothing is closed under it.
        Sleep(1500);
        EXPECT_TRUE(p.Bezi());
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(IsWindow(okno));
        // As the button or, for IDCANCEL, the Esc key does.
        Kliknout(dialog, c.odpoved);
        // A fatal box would hold the process and fail the wait.
        EXPECT_EQ(p.CekatNaKonec(30000).value_or(999), 0u);
        EXPECT_EQ(Soubory(dir.Path()), c.zbyva ? std::vector<std::wstring>{c.zbyva} : std::vector<std::wstring>{});
        // No profile was added by a dialog cut short.
        HKEY profily = nullptr;
        const std::wstring klic = KlicKonfigurace(L"profily_zaznamu");
        EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, klic.c_str(), 0, KEY_READ, &profily), ERROR_SUCCESS);
        RegCloseKey(profily);  // none was opened
    }
}

bool ZapsatHorkouKlavesu(UINT prikaz, UINT modifikatory, UINT vk)
{
    uint32_t data[4] = {modifikatory, vk, prikaz, 20022};
    const std::wstring klic = KlicKonfigurace(L"horke_klavesy");
    return RegSetKeyValueW(HKEY_CURRENT_USER, klic.c_str(), std::to_wstring(prikaz).c_str(), REG_BINARY, data,
                           sizeof data) == ERROR_SUCCESS;
}

// Four recordings, two by the command and two by the hot key: the number wraps to 1 and is saved at close,
// and the default zapis_udalosti (1) writes neither recording event. A second key, held by this process as by
// another program, is reported as a warning at start and again at close (every entry with a key is
// unregistered and counted).
TEST_F(Okno, NameAndNumberWrapAroundTheHotKeyTogglesAndTheNumberIsSaved)
{
    VYZADUJE_MIKROFON();
    Slozka(Vystup() + L"\\cislovani");
    for (auto [nazev, hodnota] : {std::pair<const wchar_t*, DWORD>{L"vytv_jmena", 0}, {L"max_pocet_souboru", 3},
                                  {L"parametry", 1}, {L"posledni_cislo", 3}})
        ASSERT_TRUE(ZapsatDword(L"soubor", nazev, hodnota));
    ASSERT_TRUE(ZapsatText(L"soubor", L"jmeno", L"Zkouska"));
    ASSERT_TRUE(ZapsatHorkouKlavesu(40010, MOD_CONTROL | MOD_ALT, 'R'));
    ASSERT_TRUE(ZapsatHorkouKlavesu(40011, MOD_CONTROL | MOD_ALT, 'T'));
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'T'));
    TonbarProces p;
    ASSERT_TRUE(p.Spustit(L"+eventlog"));
    HWND okno = p.CekatNaHlavniOkno();
    ASSERT_NE(okno, nullptr);
    // The keys are registered by the start-up message, which then warns.
    const std::wstring varovani = L"1 klávesové zkratky se nepodařilo zaregistrovat.\r\n";
    EXPECT_TRUE(PockatNa([&] { return ObsahujeUdalost(p.ChybovyVystup(), varovani, EVENTLOG_WARNING_TYPE); }))
        << p.ChybovyVystup();
    std::wstring jmena;
    for (int i = 0; i < 4; ++i) {
        std::wstring soubor = Nahrat(okno, 1500, i >= 2);
        ASSERT_FALSE(soubor.empty()) << "recording " << i;
        jmena += soubor.substr(soubor.find_last_of(L'\\') + 1) + L" ";
    }
    EXPECT_EQ(jmena, L"Zkouska_3.wma Zkouska_1.wma Zkouska_2.wma Zkouska_3.wma ");
    ASSERT_TRUE(p.Zavrit());
    EXPECT_EQ(p.CekatNaKonec(30000).value_or(999), 0u);
    DWORD cislo = 0, velikost = sizeof cislo;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, KlicKonfigurace(L"soubor").c_str(), L"posledni_cislo",
                           RRF_RT_REG_DWORD, nullptr, &cislo, &velikost),
              ERROR_SUCCESS);
    EXPECT_EQ(cislo, 4u);
    std::string traces = p.ChybovyVystup();
    EXPECT_EQ(traces.find("Byl sp"), std::string::npos);
    EXPECT_EQ(traces.find("Byl ukon"), std::string::npos);
    EXPECT_TRUE(ObsahujeUdalost(traces, L"1 klávesové zkratky se nepodařilo odregistrovat.\r\n",
                                 EVENTLOG_WARNING_TYPE));
    UnregisterHotKey(nullptr, 1);
}

class Rizeni : public ::testing::Test {
protected:
    void SetUp() override
    {
        InicializovatKonfiguraci(k_);
        if (Vystup().empty())
            GTEST_SKIP() << "needs the virtual microphone of tests/recording/record_test.sh";
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
        // The icon sits on a hidden window of the test's own.
        okno_ = CreateWindowExW(0, L"STATIC", L"Tonbar", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                                nullptr);
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(a_.malaIkona));
        ikona_.Pridat(okno_, 1, false, false);
        ikona_.NastavitTitulek(L"Tonbar");
        ikona_.NastavitTip(L"Tonbar");
        ui_.ikona = &ikona_;
    }
    void TearDown() override
    {
        if (a_.zaznamnik)
            a_.zaznamnik->Stop();
        ikona_.Odebrat();
        DestroyWindow(okno_);
        UvolnitKonfiguraci(k_);
    }
    ComScope com_;
    TestFolder slozka_;
    Konfigurace k_{};
    Aplikace a_;
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
    OknoZaznamuTest ui_;
};

TEST_F(Rizeni, TipBalloonsAndTheNameChosenDuringTheRecordingFollowIt)
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
    // A name chosen during the recording: the toggle stops without it, the stop command applies it. A blink
    // timer that cannot be set fails neither start.
    ui_.casovacJde = false;
    for (bool prepnout : {true, false}) {
        ASSERT_EQ(prepnout ? r.Prepnout() : r.SpustitZaznam(), S_OK);
        EXPECT_TRUE(r.NahravaSe());
        EXPECT_EQ(ui_.spusteniBlikani, prepnout ? 2 : 3);
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
