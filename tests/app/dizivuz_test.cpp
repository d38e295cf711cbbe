// The external contacts program is started only when it really starts.
#include "app/Aplikace.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

std::wstring SlozkaTestu()
{
    wchar_t cesta[MAX_PATH];
    GetModuleFileNameW(nullptr, cesta, MAX_PATH);
    PathRemoveFileSpecW(cesta);
    return cesta;
}

class Dizivuz : public ::testing::Test {
protected:
    void TearDown() override
    {
        DeleteFileW(cesta_.c_str());
        RemoveDirectoryW(cesta_.c_str());
    }
    std::wstring cesta_ = SlozkaTestu() + L"\\Dizivuz.exe";
    Aplikace aplikace_;
};

TEST_F(Dizivuz, AbsentOrAFolderFallsBackToTheDialog)
{
    TearDown();
    EXPECT_EQ(aplikace_.SpustitDizivuz(), E_INVALIDARG);
    ASSERT_TRUE(CreateDirectoryW(cesta_.c_str(), nullptr));
    EXPECT_EQ(aplikace_.SpustitDizivuz(), E_INVALIDARG);
}

TEST_F(Dizivuz, AFileThatCannotStartIsAFailure)
{
    HANDLE f = CreateFileW(cesta_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD zapsano = 0;
    WriteFile(f, "not a program", 13, &zapsano, nullptr);
    CloseHandle(f);
    EXPECT_LT(aplikace_.SpustitDizivuz(), 0);
}

TEST_F(Dizivuz, ARealProgramStarts)
{
    // Any small console program serves as the external contacts program.
    std::wstring program = SlozkaTestu() + L"\\harness\\tonbar-ctl.exe";
    ASSERT_TRUE(CopyFileW(program.c_str(), cesta_.c_str(), FALSE)) << GetLastError();
    EXPECT_EQ(aplikace_.SpustitDizivuz(), S_OK);
    Sleep(1500);  // let it start and exit before the file is removed
}

} // namespace
