// Store paths resolved against Wine's registry and real folders, and backup/restore
// through the shell's real file dialogs driven from a second thread.
#include "harness/Servery.h"

#include "app/TestModul.h"
#include "harness/TestFolder.h"
#include "resources/resource.h"
#include "harness/Dialogy.h"

#include <gtest/gtest.h>

#include <dlgs.h>
#include <shlobj.h>

#include <functional>

using namespace tonbar::test;

namespace {

// Writes a store's folder value; the fixture removes the keys.
void Presmerovat(const wchar_t* klic, const wchar_t* hodnota, const std::wstring& slozka, DWORD typ = REG_SZ)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, klic, hodnota, typ, slozka.c_str(),
                    static_cast<DWORD>((slozka.size() + 1) * sizeof(wchar_t)));
}

class DatovaSlozka : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        for (Uloziste u : {Uloziste::FtpMista, Uloziste::SmtpUcty, Uloziste::Kontakty})
            RegDeleteTreeW(HKEY_CURRENT_USER, Popis(u).klic);
    }
    ComScope com_;
    TestFolder slozka_;
    TestModul modul_;
};

TEST_F(DatovaSlozka, TheStoreLivesWhereItsRegistryValueSaysElseInTheUserFolder)
{
    PWSTR p = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &p), S_OK);
    const std::wstring mirvak = std::wstring(p) + L"\\Mirvak";
    CoTaskMemFree(p);
    std::wstring soubor = mirvak + L"\\ftp_mista.rxml";
    DeleteFileW(soubor.c_str());
    RemoveDirectoryW(mirvak.c_str());  // only when empty: other stores may live there

    std::wstring cesta;
    EXPECT_EQ(ResolveStoreFile(Uloziste::FtpMista, cesta), S_FALSE);
    EXPECT_EQ(cesta, soubor);
    EXPECT_TRUE(Existuje(mirvak)) << "the user data folder is created";

    std::wstring uzivatelska;
    ASSERT_EQ(GetUserDataFolder(uzivatelska), S_OK);
    EXPECT_EQ(uzivatelska, mirvak);

    WriteBytes(soubor, std::string("<\0", 2));
    EXPECT_EQ(ResolveStoreFile(Uloziste::FtpMista, cesta), S_OK);
    DeleteFileW(soubor.c_str());

    // A folder of the store file's name is not the store.
    ASSERT_TRUE(CreateDirectoryW(soubor.c_str(), nullptr));
    EXPECT_EQ(ResolveStoreFile(Uloziste::FtpMista, cesta), S_FALSE);
    RemoveDirectoryW(soubor.c_str());

    EXPECT_GE(ResolveStoreFile(Uloziste::Kontakty, cesta), 0);
    EXPECT_EQ(cesta, mirvak + L"\\kontakty.rxml");
    ResolveStoreFile(Uloziste::SmtpUcty, cesta);
    EXPECT_EQ(cesta, mirvak + L"\\smtp_ucty.rxml");

    // The registry value names the folder.
    Presmerovat(L"Software\\Mirvak\\ftp_mista", L"SlozkaData", slozka_.Path());
    EXPECT_EQ(ResolveStoreFile(Uloziste::FtpMista, cesta), S_FALSE);
    EXPECT_EQ(cesta, slozka_.File(L"ftp_mista.rxml"));
    WriteBytes(cesta, "");
    EXPECT_EQ(ResolveStoreFile(Uloziste::FtpMista, cesta), S_OK);

    // Each store reads its own value name only.
    Presmerovat(L"Software\\Mirvak\\kontakty", L"SlozkaData", slozka_.Path());
    ResolveStoreFile(Uloziste::Kontakty, cesta);
    EXPECT_EQ(cesta, mirvak + L"\\kontakty.rxml");
    ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Mirvak\\ftp_mista", L"SlozkaData"), ERROR_SUCCESS);
    Presmerovat(L"Software\\Mirvak\\ftp_mista", L"slozka_data", slozka_.Path() + L"\\jinde");
    // A value of another type is not a folder name.
    Presmerovat(L"Software\\Mirvak\\ftp_mista", L"SlozkaData", slozka_.Path() + L"\\jinde", REG_EXPAND_SZ);
    ResolveStoreFile(Uloziste::FtpMista, cesta);
    EXPECT_EQ(cesta, soubor);

    Presmerovat(L"Software\\Mirvak\\kontakty", L"slozka_data", slozka_.Path() + L"\\");
    ResolveStoreFile(Uloziste::Kontakty, cesta);
    EXPECT_EQ(cesta, slozka_.Path() + L"\\\\kontakty.rxml") << "the value is used unchanged";
}

// Runs `akce` while a thread answers the shell's file dialog it opens: `cesta` typed as the file name
// and OK, or cancelled when `cesta` is empty.
HRESULT SDialogem(const std::wstring& cesta, const std::function<HRESULT()>& akce)
{
    bool nalezen = false;
    HRESULT hr = static_cast<HRESULT>(Ridit([&] { return static_cast<INT_PTR>(akce()); }, [&] {
        HWND dialog = CekatNaDialog(L"", edt1);
        if (!(nalezen = dialog != nullptr))
            return;
        Sleep(300);
        Napsat(dialog, edt1, cesta);
        Kliknout(dialog, cesta.empty() ? IDCANCEL : IDOK);
        CekatNaZavreni(dialog);
    }));
    EXPECT_TRUE(nalezen) << "no file dialog";
    return hr;
}

TEST_F(DatovaSlozka, LoadSaveBackupAndRestoreFollowTheResolvedPath)
{
    struct Zaznam {
        std::wstring nazev;
    };
    RxmlStoreFormat<Zaznam> format{L"smtp_ucty", L"smtp_ucet", {{L"nazev", &Zaznam::nazev}}, &Zaznam::nazev};
    Presmerovat(L"Software\\Mirvak\\smtp_ucty", L"SlozkaData", slozka_.Path());
    std::vector<Zaznam> seznam{{L"x"}};
    EXPECT_EQ(LoadStore(Uloziste::SmtpUcty, format, seznam), S_FALSE) << "no file yet";
    EXPECT_TRUE(seznam.empty());
    ASSERT_EQ(SaveStore(Uloziste::SmtpUcty, format, std::vector<Zaznam>{{L"b"}, {L"A"}}), S_OK);
    ASSERT_EQ(LoadStore(Uloziste::SmtpUcty, format, seznam), S_OK);
    ASSERT_EQ(seznam.size(), 2u);
    EXPECT_EQ(seznam[0].nazev, L"A");

    // Locked by another program: loading fails with E_FAIL, saving with the
    // sharing violation, and the file keeps its content.
    std::wstring soubor = slozka_.File(L"smtp_ucty.rxml");
    const std::string pred = ReadBytes(soubor);
    HANDLE zamek = CreateFileW(soubor.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(zamek, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadStore(Uloziste::SmtpUcty, format, seznam), E_FAIL);
    EXPECT_LT(SaveStore(Uloziste::SmtpUcty, format, std::vector<Zaznam>{{L"c"}}), 0);
    CloseHandle(zamek);
    EXPECT_EQ(ReadBytes(soubor), pred);

    // A folder that does not exist: the save fails and reports it.
    Presmerovat(L"Software\\Mirvak\\smtp_ucty", L"SlozkaData", slozka_.Path() + L"\\neni");
    EXPECT_LT(SaveStore(Uloziste::SmtpUcty, format, std::vector<Zaznam>{{L"c"}}), 0);

    // Backup with no store file yet: the message, no dialog.
    modul_.zpravy.clear();
    Presmerovat(L"Software\\Mirvak\\ftp_mista", L"SlozkaData", slozka_.Path());
    EXPECT_EQ(BackupStoreFile(nullptr, Uloziste::FtpMista), S_FALSE);
    ASSERT_EQ(modul_.zpravy.size(), 1u);
    EXPECT_NE(modul_.zpravy[0].text.find(L"Datový soubor nebyl nalezen"), std::wstring::npos);
    EXPECT_EQ(NajitDialog(), nullptr);
    modul_.zpravy.clear();

    std::wstring store = slozka_.File(L"ftp_mista.rxml");
    const std::wstring text = L"<ftp_misto>\r\n <nazev>Zaloha</nazev>\r\n</ftp_misto>\r\n";
    const std::string obsah(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    WriteBytes(store, obsah);
    std::wstring zaloha = slozka_.File(L"zaloha.rxml");

    // Cancel changes nothing and shows nothing.
    EXPECT_EQ(SDialogem(L"", [] { return BackupStoreFile(nullptr, Uloziste::FtpMista); }), S_FALSE);
    EXPECT_FALSE(Existuje(zaloha));
    EXPECT_EQ(SDialogem(zaloha, [] { return BackupStoreFile(nullptr, Uloziste::FtpMista); }), S_OK);
    EXPECT_EQ(ReadBytes(zaloha), obsah);
    EXPECT_TRUE(modul_.zpravy.empty());

    // Restoring onto a store that is gone creates it and reloads.
    DeleteFileW(store.c_str());
    int nacteno = 0;
    auto obnovit = [&] { return RestoreStoreFile(nullptr, Uloziste::FtpMista, [&] { ++nacteno; }); };
    EXPECT_EQ(SDialogem(zaloha, obnovit), S_OK);
    EXPECT_EQ(nacteno, 1);
    EXPECT_EQ(ReadBytes(store), obsah);
    EXPECT_EQ(SDialogem(L"", obnovit), S_FALSE);
    EXPECT_EQ(nacteno, 1);
    EXPECT_TRUE(modul_.zpravy.empty());
}

} // namespace
