// The launchers of the application object. The external contacts program is
// started only when it really starts: absent (or a folder of that name) falls
// back to the dialog, a file that is no program is a failure, a real one starts.
#include "app/Aplikace.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

TEST(Dizivuz, StartedOnlyWhenItReallyStarts)
{
    wchar_t slozka[MAX_PATH];
    GetModuleFileNameW(nullptr, slozka, MAX_PATH);
    PathRemoveFileSpecW(slozka);
    const std::wstring cesta = std::wstring(slozka) + L"\\Dizivuz.exe";
    Aplikace aplikace;
    DeleteFileW(cesta.c_str());
    EXPECT_EQ(aplikace.SpustitDizivuz(), E_INVALIDARG);
    ASSERT_TRUE(CreateDirectoryW(cesta.c_str(), nullptr));
    EXPECT_EQ(aplikace.SpustitDizivuz(), E_INVALIDARG);
    RemoveDirectoryW(cesta.c_str());

    HANDLE f = CreateFileW(cesta.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD zapsano = 0;
    WriteFile(f, "not a program", 13, &zapsano, nullptr);
    CloseHandle(f);
    EXPECT_LT(aplikace.SpustitDizivuz(), 0);

    // Any small console program serves as the contacts program.
    ASSERT_TRUE(CopyFileW((std::wstring(slozka) + L"\\harness\\tonbar-ctl.exe").c_str(), cesta.c_str(), FALSE));
    EXPECT_EQ(aplikace.SpustitDizivuz(), S_OK);
    Sleep(1500);  // let it start and exit before the file is removed
    DeleteFileW(cesta.c_str());
}

// The rename dialog selects the name before the last dot.
TEST(VstupTextu, RenameSelectsTheNameBeforeTheLastDot)
{
    EXPECT_EQ(KonecVyberuJmena(L"Záznam 12.wma"), 9);
    EXPECT_EQ(KonecVyberuJmena(L"a.b.wma"), 3);
    EXPECT_EQ(KonecVyberuJmena(L"bez tecky"), 9);
    EXPECT_EQ(KonecVyberuJmena(L".wma"), 0);
}
