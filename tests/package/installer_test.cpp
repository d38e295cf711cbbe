// The setup program under Wine (package_test.sh builds it), for all users and for the current user: install,
// start, refusal while Tonbar runs, upgrade in place, uninstall keeping what is the user's.
#include "app/Handles.h"
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/Snimek.h"
#include "harness/TestFolder.h"
#include "harness/TonbarProces.h"
#include "resources/version.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

using namespace tonbar::test;

namespace {

constexpr wchar_t kUninstKlic[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tonbar";
constexpr wchar_t kNastaveni[] = L"Software\\Mirvak\\Tonbar\\4";
constexpr wchar_t kVerze[] = L"" TONBAR_VERSION_TEXT;

std::wstring CestaSetupu() { return CestaWine(TONBAR_BINARY_DIR "/Tonbar-" TONBAR_VERSION_TEXT "-setup.exe"); }

std::wstring ZnamaSlozka(REFKNOWNFOLDERID id)
{
    PWSTR p = nullptr;
    std::wstring s = SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &p)) ? p : L"";
    CoTaskMemFree(p);
    return s;
}

// The values under a key of the 64-bit view: a string as its text, a DWORD as "<decimal> (dword)", another
// type as "<type>:" and its bytes; none when the key is missing.
std::map<std::wstring, std::wstring> Hodnoty(HKEY koren, const wchar_t* klic)
{
    std::map<std::wstring, std::wstring> vysledek;
    HKEY k = nullptr;
    if (RegOpenKeyExW(koren, klic, 0, KEY_READ | KEY_WOW64_64KEY, &k) != ERROR_SUCCESS)
        return vysledek;
    wchar_t jmeno[256];
    std::vector<BYTE> data(65536);
    for (DWORD i = 0, delka = 256, typ = 0, velikost = 65536;
         RegEnumValueW(k, i, jmeno, &delka, nullptr, &typ, data.data(), &velikost) == ERROR_SUCCESS;
         ++i, delka = 256, velikost = 65536) {
        const auto* text = reinterpret_cast<const wchar_t*>(data.data());
        std::wstring& v = vysledek[jmeno];
        if (typ == REG_SZ)
            v.assign(text, wcsnlen(text, velikost / 2));
        else if (typ == REG_DWORD)
            v = std::to_wstring(*reinterpret_cast<const DWORD*>(text)) + L" (dword)";
        else
            v = std::to_wstring(typ) + L":" + std::wstring(data.begin(), data.begin() + velikost);
    }
    RegCloseKey(k);
    return vysledek;
}

// The target of a shell link, empty when it cannot be read.
std::wstring CilZastupce(const std::wstring& lnk)
{
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    Microsoft::WRL::ComPtr<IPersistFile> soubor;
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&soubor)) || FAILED(soubor->Load(lnk.c_str(), STGM_READ)) ||
        FAILED(link->GetPath(buf, MAX_PATH, nullptr, 0)))
        return {};
    return buf;
}

// Runs a program to its end; its exit code, or 999 when it did not end in time.
DWORD Dobehnout(const std::wstring& program, const std::wstring& argumenty, DWORD ms = 60000)
{
    TonbarProces p;
    if (!p.Spustit(L"-all", program, argumenty))
        return 998;
    return p.CekatNaKonec(ms).value_or(999);
}

// Whether a Tonbar runs: its instance mutex exists, which is what the setup asks.
bool BeziTonbar()
{
    return static_cast<bool>(mirvak::winapi::Handle(OpenMutexW(SYNCHRONIZE, FALSE, L"tonbar_apl")));
}

// What may make a setup refuse or fail, for a failure's message: the Tonbar processes running, the free space.
std::string Okolnosti()
{
    std::string s = "Tonbar.exe running:";
    mirvak::winapi::FileHandle snimek(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W p{sizeof p};
    for (BOOL ok = snimek && Process32FirstW(snimek.Get(), &p); ok; ok = Process32NextW(snimek.Get(), &p))
        if (_wcsicmp(p.szExeFile, L"Tonbar.exe") == 0)
            s += " pid " + std::to_string(p.th32ProcessID);
    ULARGE_INTEGER volne{};
    GetDiskFreeSpaceExW(L"C:\\", &volne, nullptr, nullptr);
    return s + "; free on C: " + std::to_string(volne.QuadPart >> 20) + " MB";
}

// Ends a setup or uninstaller a failed check left open: it would hold the run's standard error and stall it.
void UkoncitPruvodce()
{
    for (const wchar_t* titulek : {L"Instalace Tonbar", L"Odinstalace Tonbar"}) {
        while (HWND okno = NajitDialog(titulek, 0, true)) {
            mirvak::winapi::Handle proces(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, 0, ProcesOkna(okno)));
            if (!proces)
                break;
            TerminateProcess(proces.Get(), 99);
            WaitForSingleObject(proces.Get(), 5000);
        }
    }
}

// The texts of all visible controls of a wizard, its inner page included.
std::wstring TextyOkna(HWND okno)
{
    std::wstring texty;
    EnumChildWindows(
        okno,
        [](HWND dite, LPARAM l) -> BOOL {
            if (IsWindowVisible(dite))
                *reinterpret_cast<std::wstring*>(l) += TonbarProces::TextOkna(dite) + L"\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texty));
    return texty;
}

// Waits until the wizard shows a control with `text` (pages change inside one window).
bool CekatNaText(HWND okno, const std::wstring& text, DWORD ms = 20000)
{
    return PockatNa([&] { return TextyOkna(okno).find(text) != std::wstring::npos; }, ms);
}

// A file of the user's that must survive: made here, or another test's already there and only compared.
struct SouborUzivatele {
    std::wstring cesta;
    std::string obsah;
    bool vytvoren = false;
    SouborUzivatele(const std::wstring& c, const std::string& novy) : cesta(c)
    {
        vytvoren = !Existuje(cesta);
        if (vytvoren)
            WriteBytes(cesta, novy);
        obsah = ReadBytes(cesta);
    }
    ~SouborUzivatele()
    {
        if (vytvoren)
            DeleteFileW(cesta.c_str());
    }
    bool Nezmenen() const { return Existuje(cesta) && ReadBytes(cesta) == obsah; }
};

struct Rezim {
    const char* nazev;
    const wchar_t* argumenty;
    HKEY koren;        // where the Uninstall key belongs
    HKEY jinyKoren;    // where it must not be
    bool plocha;       // /Desktop given: a desktop shortcut expected
    bool souborVeSlozce;      // the user keeps a recording in the program folder
    bool odinstalovatStrankami;  // uninstall through the pages instead of /S
    bool pruvodce;  // the wizard started while Tonbar runs: it asks, then shows its first page
};

void PrintTo(const Rezim& r, std::ostream* os) { *os << r.nazev; }

class Instalace : public ::testing::TestWithParam<Rezim> {
protected:
    ComScope com;
    std::wstring slozka, programy, plocha;

    void SetUp() override
    {
        const Rezim& r = GetParam();
        const bool vsem = r.koren == HKEY_LOCAL_MACHINE;
        slozka = vsem ? ZnamaSlozka(FOLDERID_ProgramFiles) + L"\\Mirvak\\Tonbar"
                      : ZnamaSlozka(FOLDERID_LocalAppData) + L"\\Programs\\Mirvak\\Tonbar";
        programy = ZnamaSlozka(vsem ? FOLDERID_CommonPrograms : FOLDERID_Programs);
        plocha = ZnamaSlozka(vsem ? FOLDERID_PublicDesktop : FOLDERID_Desktop);
        Uklidit();
        SmazatKonfiguraci();
        // A Tonbar of an earlier test may still be ending; the setup would refuse to run beside it.
        ASSERT_TRUE(PockatNa([] { return !BeziTonbar(); }, 30000)) << Okolnosti();
    }

    void TearDown() override
    {
        UkoncitPruvodce();
        Uklidit();
        SmazatKonfiguraci();
    }

    // Whatever a failed run may have left of an installation.
    void Uklidit()
    {
        for (const wchar_t* f : {L"\\Tonbar.exe", L"\\Uninstall.exe", L"\\moje-nahravka.wma"})
            DeleteFileW((slozka + f).c_str());
        RemoveDirectoryW(slozka.c_str());
        RemoveDirectoryW(slozka.substr(0, slozka.rfind(L'\\')).c_str());
        DeleteFileW((programy + L"\\Tonbar.lnk").c_str());
        DeleteFileW((plocha + L"\\Tonbar.lnk").c_str());
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstKlic, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExW(HKEY_CURRENT_USER, kUninstKlic, KEY_WOW64_64KEY, 0);
    }
};

TEST_P(Instalace, InstallStartRefuseWhileRunningUpgradeUninstall)
{
    const Rezim& r = GetParam();
    const std::wstring exe = slozka + L"\\Tonbar.exe";
    const std::string dodany = ReadBytes(CestaWine(TONBAR_BINARY_DIR "/package/Tonbar.exe"));
    ASSERT_GT(dodany.size(), 100000u);

    // Silent installation.
    ASSERT_EQ(Dobehnout(CestaSetupu(), r.argumenty), 0u) << Okolnosti();
    ASSERT_TRUE(ReadBytes(exe) == dodany) << "no or another Tonbar.exe in " << std::string(slozka.begin(), slozka.end());
    EXPECT_TRUE(Existuje(slozka + L"\\Uninstall.exe"));

    // The entry of "Apps & features", in the mode's own hive only.
    const std::wstring tiche = L"\"" + slozka + L"\\Uninstall.exe\" /S";
    const std::pair<const wchar_t*, std::wstring> polozky[] = {
        {L"DisplayName", L"Tonbar"},        {L"DisplayVersion", kVerze},
        {L"Publisher", L"Mirvak"},          {L"DisplayIcon", exe + L",0"},
        {L"InstallLocation", slozka},       {L"UninstallString", tiche.substr(0, tiche.size() - 3)},
        {L"QuietUninstallString", tiche}};
    auto zapis = Hodnoty(r.koren, kUninstKlic);
    for (auto& [nazev, hodnota] : polozky)
        EXPECT_EQ(zapis[nazev], hodnota) << Narrow(nazev);
    EXPECT_NE(zapis[L"EstimatedSize"].find(L" (dword)"), std::wstring::npos);
    DWORD kb = wcstoul(zapis[L"EstimatedSize"].c_str(), nullptr, 10);
    EXPECT_GE(kb, dodany.size() / 1024);
    EXPECT_LE(kb, dodany.size() / 1024 + 200);
    EXPECT_TRUE(Hodnoty(r.jinyKoren, kUninstKlic).empty());

    // The shortcuts, and the program started from the Start-menu one.
    const std::wstring cil = CilZastupce(programy + L"\\Tonbar.lnk");
    EXPECT_EQ(_wcsicmp(cil.c_str(), exe.c_str()), 0) << std::string(cil.begin(), cil.end());
    EXPECT_EQ(_wcsicmp(CilZastupce(plocha + L"\\Tonbar.lnk").c_str(), r.plocha ? exe.c_str() : L""), 0);

    // Marked, so that a replaced file shows (the setup keeps the file times).
    WriteBytes(exe, dodany + "tonbar-package-test");
    const std::string oznaceny = ReadBytes(exe);
    ASSERT_TRUE(oznaceny == dodany + "tonbar-package-test") << "the installed file was not rewritten; " << Okolnosti();
    {
        TonbarProces tonbar;
        ASSERT_TRUE(tonbar.Spustit(L"-all", cil.empty() ? exe : cil));
        HWND okno = tonbar.CekatNaHlavniOkno(30000);
        ASSERT_NE(okno, nullptr);
        EXPECT_EQ(TonbarProces::TextOkna(okno).rfind(L"Tonbar - ", 0), 0u);

        // Installing over the running program fails and leaves its file alone.
        EXPECT_NE(Dobehnout(CestaSetupu(), r.argumenty), 0u);
        EXPECT_TRUE(ReadBytes(exe) == oznaceny) << "the running program's file was replaced";
        // So does uninstalling (run in place, so that its exit code is its own).
        EXPECT_NE(Dobehnout(slozka + L"\\Uninstall.exe", L"/S _?=" + slozka), 0u);
        EXPECT_TRUE(ReadBytes(exe) == oznaceny);
        EXPECT_EQ(Hodnoty(r.koren, kUninstKlic)[L"InstallLocation"], slozka);
        EXPECT_TRUE(tonbar.Bezi());

        if (r.pruvodce) {
            // The wizard asks while Tonbar runs, again on Retry; once it is closed, the first page.
            TonbarProces setup;
            ASSERT_TRUE(setup.Spustit(L"-all", CestaSetupu()));
            for (int i = 0; i < 2; ++i) {
                auto otazka = setup.CekatNaZpravu();
                ASSERT_TRUE(otazka.has_value()) << i;
                EXPECT_EQ(otazka->text,
                          L"Program Tonbar je spuštěný. Ukončete ho a zvolte Opakovat, nebo zvolte Storno.");
                EXPECT_EQ(otazka->titulek, L"Instalace Tonbar");
                if (i == 1) {
                    ASSERT_TRUE(tonbar.Zavrit());
                    EXPECT_EQ(tonbar.CekatNaKonec(30000).value_or(999), 0u);
                }
                TonbarProces::StisknoutTlacitko(otazka->okno, IDRETRY);
                ASSERT_TRUE(PockatNa([&] { return !IsWindow(otazka->okno); }, 10000));
            }
            HWND pruvodce = CekatNaDialog(L"Instalace Tonbar", 0, 20000, true);
            ASSERT_NE(pruvodce, nullptr);
            ASSERT_TRUE(CekatNaText(pruvodce, L"Vítejte v průvodci instalace programu Tonbar"))
                << Narrow(TextyOkna(pruvodce));
            EXPECT_NE(TextyOkna(pruvodce).find(L"&Další >"), std::wstring::npos);
            EXPECT_TRUE(SnimekDoSlozky(pruvodce, L"package_installer_first_page.png"));
            TonbarProces::StisknoutTlacitko(pruvodce, IDCANCEL);
            EXPECT_NE(setup.CekatNaKonec(20000).value_or(0), 0u);
            EXPECT_TRUE(ReadBytes(exe) == oznaceny);
        } else {
            ASSERT_TRUE(tonbar.Zavrit());
            EXPECT_EQ(tonbar.CekatNaKonec(30000).value_or(999), 0u);
        }
    }

    // The user's: settings saved on closing, a recording, a store's file, maybe a file in the program folder.
    const auto nastaveni = Hodnoty(HKEY_CURRENT_USER, kNastaveni);
    ASSERT_FALSE(nastaveni.empty());
    const std::wstring nahravky = ZnamaSlozka(FOLDERID_Documents) + L"\\Tonbar";
    CreateDirectoryW(nahravky.c_str(), nullptr);
    SouborUzivatele nahravka(nahravky + L"\\package-test.wma", "recording made before");
    const std::wstring data = ZnamaSlozka(FOLDERID_LocalAppData) + L"\\Mirvak";
    CreateDirectoryW(data.c_str(), nullptr);
    SouborUzivatele kontakty(data + L"\\kontakty.rxml", "contacts store");
    std::unique_ptr<SouborUzivatele> veSlozce;
    if (r.souborVeSlozce)
        veSlozce = std::make_unique<SouborUzivatele>(slozka + L"\\moje-nahravka.wma", "kept beside the program");

    // Upgrade in place: the program is replaced, nothing of the user's changes.
    ASSERT_EQ(Dobehnout(CestaSetupu(), r.argumenty), 0u) << Okolnosti();
    EXPECT_TRUE(ReadBytes(exe) == dodany) << "the upgrade did not replace Tonbar.exe";
    EXPECT_EQ(Hodnoty(r.koren, kUninstKlic)[L"InstallLocation"], slozka);
    EXPECT_TRUE(Hodnoty(r.jinyKoren, kUninstKlic).empty());
    EXPECT_EQ(Hodnoty(HKEY_CURRENT_USER, kNastaveni), nastaveni);

    // Uninstallation, as "Apps & features" starts it.
    if (r.odinstalovatStrankami) {
        // It copies itself away and runs from there, in a process of its own.
        EXPECT_EQ(Dobehnout(slozka + L"\\Uninstall.exe", L""), 0u);
        HWND okno = CekatNaDialog(L"Odinstalace Tonbar", 0, 20000, true);
        ASSERT_NE(okno, nullptr);
        TonbarProces::StisknoutTlacitko(okno, IDOK);  // Odinstalovat
        ASSERT_TRUE(CekatNaText(okno, L"Dokončení odinstalace programu Tonbar"));
        EXPECT_NE(TextyOkna(okno).find(L"a nastavení programu zůstaly zachovány"), std::wstring::npos);
        SnimekDoSlozky(okno, L"package_uninstaller_last_page.png");
        TonbarProces::StisknoutTlacitko(okno, IDOK);  // Dokončit
    } else {
        EXPECT_EQ(Dobehnout(slozka + L"\\Uninstall.exe", L"/S"), 0u) << std::string(tiche.begin(), tiche.end());
    }
    EXPECT_TRUE(PockatNa([&] { return Hodnoty(r.koren, kUninstKlic).empty(); }, 30000));
    EXPECT_FALSE(Existuje(exe));
    EXPECT_FALSE(Existuje(slozka + L"\\Uninstall.exe"));
    EXPECT_FALSE(Existuje(programy + L"\\Tonbar.lnk"));
    EXPECT_FALSE(Existuje(plocha + L"\\Tonbar.lnk"));
    if (veSlozce) {
        EXPECT_TRUE(veSlozce->Nezmenen());
    } else {
        EXPECT_FALSE(Existuje(slozka));
        EXPECT_FALSE(Existuje(slozka.substr(0, slozka.rfind(L'\\')))) << "the empty Mirvak folder stayed";
    }
    EXPECT_TRUE(nahravka.Nezmenen());
    EXPECT_TRUE(kontakty.Nezmenen());
    EXPECT_EQ(Hodnoty(HKEY_CURRENT_USER, kNastaveni), nastaveni);
}

INSTANTIATE_TEST_SUITE_P(
    Rezimy, Instalace,
    ::testing::Values(
        Rezim{"AllUsers", L"/S /Desktop", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, true, false, false, true},
        Rezim{"CurrentUser", L"/S /CurrentUser", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, false, true, true, false}),
    [](const auto& info) { return std::string(info.param.nazev); });

} // namespace
