#include "app/Aplikace.h"

#include <gtest/gtest.h>

TEST(VstupTextu, RenameSelectsTheNameBeforeTheLastDot)
{
    EXPECT_EQ(KonecVyberuJmena(L"Záznam 12.wma"), 9);
    EXPECT_EQ(KonecVyberuJmena(L"a.b.wma"), 3);
    EXPECT_EQ(KonecVyberuJmena(L"bez tecky"), 9);
    EXPECT_EQ(KonecVyberuJmena(L".wma"), 0);
}
