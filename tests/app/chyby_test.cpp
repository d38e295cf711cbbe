// Error codes, their texts, message boxes and event texts.
#include "app/Chyby.h"
#include "app/TestModul.h"

#include <gtest/gtest.h>

using tonbar::test::TestModul;

TEST(Chyby, LastErrorBecomesHresult)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(KodPosledniChyby(), static_cast<HRESULT>(0x80070005));
    SetLastError(0);
    EXPECT_EQ(KodPosledniChyby(), E_FAIL);
    // Only the low word of a Win32 code survives, as HRESULT_FROM_WIN32 does.
    EXPECT_EQ(KodChyby(0x12345), static_cast<HRESULT>(0x80072345));
}

TEST(Chyby, ErrorTexts)
{
    EXPECT_EQ(TextChyby(0), L"Nespecifikovaná chyba");
    std::wstring text = TextChyby(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L'\r');
    EXPECT_EQ(TextKodu(static_cast<HRESULT>(0x80040201)), L"IDispatch error #1");
    EXPECT_EQ(TextKodu(static_cast<HRESULT>(0xA0071234)), L"Unknown error 0xA0071234");
}

TEST(Chyby, MessageByIdGetsOneFullStop)
{
    TestModul modul;
    ZobrazitZpravuId(20015, MB_ICONWARNING);   // already ends with "."
    ZobrazitChybuId(20004);                    // does not
    ASSERT_EQ(modul.zpravy.size(), 2u);
    EXPECT_EQ(modul.zpravy[0].text, L"Tato klávesová zkratka je již použita.");
    EXPECT_EQ(modul.zpravy[0].flags, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(modul.zpravy[1].text, L"Nepodařilo se vytvořit datovou složku aplikace.");
    EXPECT_EQ(modul.zpravy[1].flags, static_cast<UINT>(MB_ICONERROR));
}

TEST(Chyby, SystemErrorBoxJoinsTheSystemDescription)
{
    TestModul modul;
    ZobrazitChybuSystemu(20006, HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text, L"Došlo k chybě při načítání konfigurace z registru Windows.\n\n"
                                    L"Systémový popis chyby:\n" +
                                        TextKodu(HRESULT_FROM_WIN32(ERROR_MORE_DATA)));
}

TEST(Chyby, OnlyYesAnswersAQuestion)
{
    TestModul modul;
    modul.odpoved = IDCANCEL;
    EXPECT_FALSE(Otazka(L"Smazat?"));
    modul.odpoved = IDNO;
    EXPECT_FALSE(Otazka(L"Smazat?"));
    modul.odpoved = IDYES;
    EXPECT_TRUE(Otazka(L"Smazat?"));
    ASSERT_EQ(modul.zpravy.size(), 3u);
    EXPECT_EQ(modul.zpravy[0].flags | MB_TASKMODAL | MB_SETFOREGROUND, 0x12133u);
}

TEST(Chyby, EventTextsEndWithFullStopAndNewLine)
{
    EXPECT_EQ(TextUdalosti(L"Byl spuštěn záznam"), L"Byl spuštěn záznam.\r\n");
    EXPECT_EQ(TextUdalosti(L"Hotovo."), L"Hotovo.\r\n");
    EXPECT_EQ(TextUdalosti(L""), L".\r\n");
}

TEST(Chyby, FormattingUsesWideStrings)
{
    EXPECT_EQ(NacistText(20057, L"Tonbar"), L"Aplikace \"Tonbar\" byla úspěšně ukončena.");
    EXPECT_EQ(NacistText(20024, 3), L"3 klávesové zkratky se nepodařilo zaregistrovat.");
    bool nalezen = true;
    EXPECT_TRUE(NacistRetezec(29999, &nalezen).empty());
    EXPECT_FALSE(nalezen);
}
