// The recording-profile store against Wine's registry, its command ranges
// and the file a start by profile records into.
#include "ProfilyTest.h"

#include "app/Chyby.h"
#include "media/dshow/WmProfiles.h"
#include "recording/SeznamProfiluKodovani.h"
#include "resources/resource.h"

#include <cstring>
#include <set>

using namespace profiles_test;
using tonbar::test::TestModul;

namespace {

class StoreTest : public ::testing::Test {
protected:
    KlicTestu klic_;
    TestModul modul_;
    RecordingProfileStore store_{klic_.Cesta()};

    RecordingProfileStore Znovu() const
    {
        RecordingProfileStore s(klic_.Cesta());
        EXPECT_EQ(s.Load(), S_OK);
        return s;
    }
    std::wstring Text(const std::wstring& podklic, const wchar_t* nazev, DWORD* velikost = nullptr) const
    {
        DWORD typ = 0;
        std::vector<BYTE> data;
        if (!klic_.Hodnota(podklic, nazev, typ, data) || typ != REG_SZ)
            return L"<chybí>";
        if (velikost)
            *velikost = static_cast<DWORD>(data.size());
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2 - 1);
    }
};

TEST_F(StoreTest, SavesTheRegistryLayoutAndLoadsItBack)
{
    store_.Append(Profil(L"Porada", kProfilyKodovani[0], L"C:\\Zaznamy\\Porady", L"Mikrofon", L"\\\\?\\usb#1"));
    store_.Append(Profil(L"Živě ČR", kProfilyKodovani[6], L"D:\\Rádio", L"Monitor of Mikrofon"));
    store_.Append(Profil(L"Bez zařízení", kProfilyKodovani[3], L"C:\\x"));
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());

    const std::wstring k = klic_.Profil(L"Živě ČR");
    DWORD velikost = 0;
    EXPECT_EQ(Text(k, L"nazev", &velikost), L"Živě ČR");
    EXPECT_EQ(velikost, (7u + 1) * 2);  // terminating zero included
    EXPECT_EQ(Text(k, L"slozka"), L"D:\\Rádio");
    EXPECT_EQ(Text(k, L"friendly_name"), L"Monitor of Mikrofon");
    EXPECT_EQ(Text(k, L"device_path", &velikost), L"");
    EXPECT_EQ(velikost, 2u);
    DWORD typ = 0;
    std::vector<BYTE> guid;
    ASSERT_TRUE(klic_.Hodnota(k, L"profil", typ, guid));
    EXPECT_EQ(typ, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(guid.size(), 16u);
    EXPECT_EQ(std::memcmp(guid.data(), &kProfilyKodovani[6], 16), 0);

    RecordingProfileStore nacteny = Znovu();
    ASSERT_EQ(nacteny.Count(), 3);
    for (int i = 0; i < store_.Count(); ++i) {
        const RecordingProfile& puvodni = store_.At(i);
        int j = nacteny.Find(puvodni.name);
        ASSERT_GE(j, 0) << i;
        const RecordingProfile& p = nacteny.At(j);
        EXPECT_EQ(p.name, puvodni.name);
        EXPECT_TRUE(StejneGuid(p.profileId, puvodni.profileId));
        EXPECT_EQ(p.folder, puvodni.folder);
        EXPECT_EQ(p.device.friendlyName, puvodni.device.friendlyName);
        EXPECT_EQ(p.device.devicePath, puvodni.device.devicePath);
        EXPECT_TRUE(p.device.description.empty());
    }
}

TEST_F(StoreTest, SaveReplacesWhatWasStoredAndRenameAndRemoveFollow)
{
    store_.Append(Profil(L"A", kProfilyKodovani[0], L"C:\\a"));
    store_.Append(Profil(L"B", kProfilyKodovani[1], L"C:\\b"));
    store_.Append(Profil(L"C", kProfilyKodovani[2], L"C:\\c"));
    ASSERT_EQ(store_.Save(), S_OK);

    // Rename as the dialog does it: the old key goes first.
    ASSERT_EQ(store_.DeleteKey(L"B"), S_OK);
    EXPECT_FALSE(klic_.Existuje(klic_.Profil(L"B")));
    store_.At(1).name = L"Béčko";
    ASSERT_EQ(store_.Save(), S_OK);
    // Remove.
    ASSERT_EQ(store_.DeleteKey(L"a"), S_OK);  // key names ignore case
    ASSERT_EQ(store_.Erase(0), S_OK);
    ASSERT_EQ(store_.Save(), S_OK);

    RecordingProfileStore s = Znovu();
    std::set<std::wstring> jmena;
    for (int i = 0; i < s.Count(); ++i)
        jmena.insert(s.At(i).name);
    EXPECT_EQ(jmena, (std::set<std::wstring>{L"Béčko", L"C"}));
    EXPECT_EQ(s.At(s.Find(L"béčko")).folder, L"C:\\b");

    // An empty store saves as an empty key, and loads as no profiles.
    ASSERT_EQ(store_.Erase(1), S_OK);
    ASSERT_EQ(store_.Erase(0), S_OK);
    EXPECT_EQ(store_.Erase(0), E_INVALIDARG);
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(klic_.Existuje(klic_.Cesta() + L"\\profily_zaznamu"));
    EXPECT_EQ(Znovu().Count(), 0);
}

TEST_F(StoreTest, FindIgnoresLetterCaseAlsoForCzechLetters)
{
    store_.Append(Profil(L"Živě ČR", kProfilyKodovani[0], L"C:\\a"));
    store_.Append(Profil(L"porada", kProfilyKodovani[0], L"C:\\b"));
    EXPECT_EQ(store_.Find(L"ŽIVĚ čr"), 0);
    EXPECT_EQ(store_.Find(L"PORADA"), 1);
    EXPECT_EQ(store_.Find(L"porad"), -1);
    EXPECT_EQ(store_.Find(L""), -1);
    EXPECT_THROW(store_.At(2), long);
    EXPECT_THROW(store_.At(-1), long);
}

TEST(ProfileName, RefusesWhatCannotBeAKeyName)
{
    EXPECT_EQ(CheckProfileName(L"Nový profil"), S_OK);
    EXPECT_EQ(CheckProfileName(std::wstring(255, L'x')), S_OK);
    EXPECT_EQ(CheckProfileName(L""), E_INVALIDARG);
    EXPECT_EQ(CheckProfileName(L"   "), E_INVALIDARG);
    EXPECT_EQ(CheckProfileName(L"a\\b"), E_INVALIDARG);
    EXPECT_EQ(CheckProfileName(L"\\"), E_INVALIDARG);
    EXPECT_EQ(CheckProfileName(std::wstring(256, L'x')), E_INVALIDARG);
}

TEST_F(StoreTest, ABadNameOrADuplicateStopsTheSaveBeforeAnythingIsLost)
{
    store_.Append(Profil(L"Stávající", kProfilyKodovani[2], L"C:\\s"));
    ASSERT_EQ(store_.Save(), S_OK);

    const std::wstring spatne[] = {L"", L"vnořený\\klíč", std::wstring(256, L'd')};
    for (const std::wstring& jmeno : spatne) {
        modul_.zpravy.clear();
        store_.Append(Profil(jmeno, kProfilyKodovani[0], L"C:\\n"));
        EXPECT_EQ(store_.Save(), E_INVALIDARG) << jmeno.size();
        // The failure is shown with string 20042 and the sequence stays.
        ASSERT_EQ(modul_.zpravy.size(), 1u);
        EXPECT_NE(modul_.zpravy[0].text.find(NacistRetezec(IDS_CHYBA_ZAPIS_PROFILU)), std::wstring::npos);
        EXPECT_EQ(store_.Count(), 2);
        ASSERT_EQ(store_.Erase(1), S_OK);
    }
    store_.Append(Profil(L"STÁVAJÍCÍ", kProfilyKodovani[0], L"C:\\n"));
    EXPECT_EQ(store_.SaveQuiet(), E_INVALIDARG);

    RecordingProfileStore s = Znovu();
    ASSERT_EQ(s.Count(), 1);
    EXPECT_EQ(s.At(0).name, L"Stávající");
    EXPECT_FALSE(klic_.Existuje(klic_.Cesta() + L"\\profily_zaznamu\\vnořený"));
}

TEST_F(StoreTest, LoadCopesWithAMissingKeyAndMalformedValues)
{
    store_.Append(Profil(L"stary", kProfilyKodovani[0], L"C:\\x"));
    EXPECT_EQ(store_.Load(), S_OK);  // nothing stored: the sequence is emptied
    EXPECT_EQ(store_.Count(), 0);

    const std::wstring k = klic_.Profil(L"Ručně");
    const BYTE kratky[5] = {1, 2, 3, 4, 5};
    klic_.Zapsat(k, L"profil", REG_BINARY, kratky, sizeof kratky);
    DWORD cislo = 7;
    klic_.Zapsat(k, L"slozka", REG_DWORD, &cislo, sizeof cislo);
    // Text without its terminating zero.
    klic_.Zapsat(k, L"friendly_name", REG_SZ, L"Mikrofon", 8 * 2);
    klic_.Zapsat(klic_.Profil(L"Prázdný"), L"nazev", REG_SZ, L"x", 4);

    ASSERT_EQ(store_.Load(), S_OK);
    ASSERT_EQ(store_.Count(), 2);
    const RecordingProfile& p = store_.At(store_.Find(L"ručně"));
    EXPECT_TRUE(StejneGuid(p.profileId, kVychoziProfil));
    EXPECT_EQ(p.folder, L"");
    EXPECT_EQ(p.device.friendlyName, L"Mikrofon");
    EXPECT_EQ(p.device.devicePath, L"");
    const RecordingProfile& q = store_.At(store_.Find(L"Prázdný"));
    EXPECT_EQ(q.folder, L"");
    EXPECT_TRUE(StejneGuid(q.profileId, kVychoziProfil));
}

TEST_F(StoreTest, DeleteKeyNeverReachesBeyondOneProfile)
{
    // No store key yet: the open failure comes back.
    EXPECT_EQ(store_.DeleteKey(L"A"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    store_.Append(Profil(L"A", kProfilyKodovani[0], L"C:\\a"));
    store_.Append(Profil(L"B", kProfilyKodovani[0], L"C:\\b"));
    ASSERT_EQ(store_.Save(), S_OK);
    // An empty name would remove every profile, a "\" a nested key.
    EXPECT_EQ(store_.DeleteKey(L""), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"A\\.."), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"neni"), S_OK);
    EXPECT_EQ(Znovu().Count(), 2);
}

TEST_F(StoreTest, ACommandOfARangeNamesAProfileIndex)
{
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazyZaznamPodleProfilu, kPrikazyZaznamPodleProfilu), -1);
    for (int i = 0; i < 3; ++i)
        store_.Append(Profil(L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"));
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52602, kPrikazyPrepnoutProfil), 2);
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52603, kPrikazyPrepnoutProfil), -1);
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52599, kPrikazyPrepnoutProfil), -1);
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52400, kPrikazyPrepnoutProfil), -1);
    for (int i = 3; i < 205; ++i)
        store_.Append(Profil(L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"));
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52799, kPrikazyPrepnoutProfil), 199);
    // A range never reaches into the next one.
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazySlozkaProfilu, kPrikazyZaznamPodleProfilu), -1);
}

TEST(ProfileRecording, NamesTheFileByDateAndTimeInTheProfilesFolder)
{
    SYSTEMTIME cas{};
    cas.wYear = 2026;
    cas.wMonth = 3;
    cas.wDay = 5;
    cas.wHour = 7;
    cas.wMinute = 8;
    cas.wSecond = 9;
    std::wstring cesta;
    ASSERT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L"C:\\Záznamy"), cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"C:\\Záznamy\\5.3.2026 07-08-09.wma");
    cas.wDay = 28;
    cas.wMonth = 12;
    cas.wHour = 23;
    ASSERT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L"\\\\server\\sdílená"), cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"\\\\server\\sdílená\\28.12.2026 23-08-09.wma");

    // No folder: refused, the path untouched.
    cesta = L"nezměněno";
    EXPECT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L""), cas, cesta), E_INVALIDARG);
    EXPECT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L"  "), cas, cesta), E_INVALIDARG);
    EXPECT_EQ(cesta, L"nezměněno");
}

} // namespace
