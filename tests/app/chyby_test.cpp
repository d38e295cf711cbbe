// Error codes, their texts, message boxes and event texts.
#include "app/Chyby.h"
#include "app/TestModul.h"

#include <gtest/gtest.h>

using tonbar::test::TestModul;

TEST(Chyby, CodesAndTheirTexts)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(KodPosledniChyby(), static_cast<HRESULT>(0x80070005));
    SetLastError(0);
    EXPECT_EQ(KodPosledniChyby(), E_FAIL) << "no error is still a failure";
    EXPECT_EQ(KodChyby(0x12345), static_cast<HRESULT>(0x80072345)) << "only the low word survives";
    EXPECT_EQ(TextChyby(0), L"Nespecifikovaná chyba");
    std::wstring text = TextChyby(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(text.back() != L'\n' && text.back() != L'\r');
    bool nalezen = true;
    EXPECT_TRUE(NacistRetezec(29999, &nalezen).empty());
    EXPECT_FALSE(nalezen);
}

// Boxes and events get exactly one full stop; a system error box joins the
// system's description; only Yes answers a question.
TEST(Chyby, BoxesAndEventsInTheProgramsForm)
{
    TestModul modul;
    ZobrazitZpravuId(20015, MB_ICONWARNING);  // already ends with "."
    ZobrazitChybuId(20004);                   // does not
    ZobrazitChybuSystemu(20006, static_cast<HRESULT>(0xA0071234));  // no system text
    ASSERT_EQ(modul.zpravy.size(), 3u);
    EXPECT_EQ(modul.zpravy[0].text, L"Tato klávesová zkratka je již použita.");
    EXPECT_EQ(modul.zpravy[0].flags, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(modul.zpravy[1].text, L"Nepodařilo se vytvořit datovou složku aplikace.");
    EXPECT_EQ(modul.zpravy[1].flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(modul.zpravy[2].text, L"Došlo k chybě při načítání konfigurace z registru Windows.\n\n"
                                    L"Systémový popis chyby:\nUnknown error 0xA0071234");

    for (int odpoved : {IDCANCEL, IDNO, IDYES}) {
        modul.odpoved = odpoved;
        EXPECT_EQ(Otazka(L"Smazat?"), odpoved == IDYES);
    }
    EXPECT_EQ(modul.zpravy.back().flags | MB_TASKMODAL | MB_SETFOREGROUND, 0x12133u) << "No preselected";

    EXPECT_EQ(TextUdalosti(L"Byl spuštěn záznam"), L"Byl spuštěn záznam.\r\n");
    EXPECT_EQ(TextUdalosti(L"Hotovo."), L"Hotovo.\r\n");
    EXPECT_EQ(NacistText(20024, 3), L"3 klávesové zkratky se nepodařilo zaregistrovat.");
}
