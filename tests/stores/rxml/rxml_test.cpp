// The RXML format at byte level, the reader and writer, and the shared store
// load/save procedure, against real files in a folder of each test's own.
#include "stores/rxml/RxmlStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> CistBajty(const std::wstring& path)
{
    std::ifstream f(fs::path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void ZapsatBajty(const std::wstring& path, const std::vector<uint8_t>& b)
{
    std::ofstream(fs::path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// UTF-16LE bytes of a literal, built independently of the code under test.
std::vector<uint8_t> Utf16Le(const std::u16string& s)
{
    std::vector<uint8_t> b;
    for (char16_t c : s)
        b.insert(b.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    return b;
}

// The records of two real stores: FTP places (header, a boolean) and
// contacts (no header, multi-line text).
struct Misto {
    std::wstring heslo, nazev, server, slozka, uzivatel;
    bool pasivni = false;
};

const RxmlStoreFormat<Misto> kMista{
    L"ftp_mista",
    L"ftp_misto",
    {{L"heslo", &Misto::heslo},
     {L"nazev", &Misto::nazev},
     {L"pasivni_rezim", nullptr, &Misto::pasivni},
     {L"server", &Misto::server},
     {L"slozka", &Misto::slozka},
     {L"uzivatel", &Misto::uzivatel}},
    &Misto::nazev};

struct Osoba {
    std::wstring adresa, email, nazev;
};

const RxmlStoreFormat<Osoba> kOsoby{
    nullptr, L"kontakt", {{L"adresa", &Osoba::adresa}, {L"email", &Osoba::email}, {L"nazev", &Osoba::nazev}},
    &Osoba::nazev};

class Rxml : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(slozka_); }
    void TearDown() override { fs::remove_all(slozka_); }
    std::wstring Soubor(const std::wstring& nazev) const { return (slozka_ / nazev).wstring(); }
    size_t PocetSouboru() const { return std::distance(fs::directory_iterator(slozka_), fs::directory_iterator()); }

    const fs::path slozka_ = fs::temp_directory_path() /
        ("tonbar-rxml-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::wstring soubor_ = Soubor(L"ftp_mista.rxml");
};

TEST_F(Rxml, EmptyListsWriteTheHeaderOrNothingAndAnUnfinishedSaveKeepsThePreviousFile)
{
    ASSERT_EQ(SaveRxmlStore(soubor_, kMista, {}), rxml::kOk);
    // UTF-16 little-endian, no byte-order mark.
    EXPECT_EQ(CistBajty(soubor_), Utf16Le(u"<rxml_data>\r\n <nazev>ftp_mista</nazev>\r\n</rxml_data>\r\n"));

    std::wstring kontakty = Soubor(L"kontakty.rxml");
    ASSERT_EQ(SaveRxmlStore(kontakty, kOsoby, {}), rxml::kOk);
    EXPECT_TRUE(rxml::SouborExistuje(kontakty));
    EXPECT_TRUE(CistBajty(kontakty).empty());

    std::vector<Osoba> nactene{{L"x", L"y", L"z"}};
    EXPECT_EQ(LoadRxmlStore(kontakty, kOsoby, nactene), rxml::kOk);
    EXPECT_TRUE(nactene.empty());
    EXPECT_EQ(PocetSouboru(), 2u) << "no temporary file is left behind";

    // An unfinished save keeps the previous file.
    Misto a{L"", L"A", L"s", L"/", L"u", true};
    ASSERT_EQ(SaveRxmlStore(soubor_, kMista, {a}), rxml::kOk);
    std::vector<uint8_t> pred = CistBajty(soubor_);
    {
        RxmlWriter w;
        ASSERT_EQ(w.Create(soubor_), rxml::kOk);
        ASSERT_EQ(w.BeginElement(L"ftp_misto"), rxml::kOk);
        ASSERT_EQ(w.WriteText(L"nazev", L"polovina"), rxml::kOk);
        EXPECT_EQ(CistBajty(soubor_), pred) << "the store is untouched while writing";
    }  // destroyed without Close, as after a failing step
    EXPECT_EQ(CistBajty(soubor_), pred);
    EXPECT_EQ(PocetSouboru(), 2u) << "the temporary file is removed";

    // The target cannot be replaced (a folder of that name): the error comes back, nothing is left over.
    std::wstring slozka = Soubor(L"jako_slozka.rxml");
    fs::create_directory(fs::path(slozka));
    EXPECT_LT(SaveRxmlStore(slozka, kMista, {a}), 0);
    EXPECT_EQ(PocetSouboru(), 3u);
}

// The places loaded, in their order: "nazev,heslo,server,slozka,uzivatel,pasivni;" each.
std::wstring Shrnuti(const std::vector<Misto>& mista)
{
    std::wstring s;
    for (const Misto& m : mista)
        s += m.nazev + L"," + m.heslo + L"," + m.server + L"," + m.slozka + L"," + m.uzivatel + L"," +
             (m.pasivni ? L"1;" : L"0;");
    return s;
}

TEST_F(Rxml, LoadReadsTheItemsWhateverTheirFormAndSortsThem)
{
    const std::u16string zaklad =
        u"<rxml_data>\r\n <nazev>ftp_mista</nazev>\r\n</rxml_data>\r\n"
        u"<ftp_misto>\r\n <heslo>h</heslo>\r\n <nazev>N</nazev>\r\n <pasivni_rezim>1</pasivni_rezim>\r\n"
        u" <server>s</server>\r\n <slozka>/d</slozka>\r\n <uzivatel>u</uzivatel>\r\n</ftp_misto>\r\n";
    // Half a character at the end is ignored; UTF-8 text carries no UTF-16 tags.
    std::vector<uint8_t> lichy = Utf16Le(u"<ftp_misto><nazev>A</nazev></ftp_misto>");
    lichy.push_back('<');
    const std::string utf8 = "<ftp_misto>\r\n <nazev>A</nazev>\r\n</ftp_misto>\r\n";
    const struct {
        const char* co;
        std::vector<uint8_t> bajty;
        std::wstring mista;
    } pripady[] = {
        {"the stored form", Utf16Le(zaklad), L"N,h,s,/d,u,1;"},
        {"a byte-order mark", Utf16Le(u"\uFEFF" + zaklad), L"N,h,s,/d,u,1;"},
        {"other field order, unknown fields and blocks",
         Utf16Le(u"<neznamy_blok>\r\n <nazev>Falesny</nazev>\r\n</neznamy_blok>\r\n"
                 u"<ftp_misto>\r\n <uzivatel>u</uzivatel>\r\n <port>2121</port>\r\n <slozka>/d</slozka>\r\n"
                 u" <server>s</server>\r\n <pasivni_rezim>1</pasivni_rezim>\r\n <nazev>N</nazev>\r\n"
                 u" <heslo>h</heslo>\r\n</ftp_misto>\r\n"),
         L"N,h,s,/d,u,1;"},
        // A missing element does not inherit the item before.
        {"booleans are true only for 1",
         Utf16Le(u"<ftp_misto><nazev>a</nazev><pasivni_rezim>true</pasivni_rezim></ftp_misto>"
                 u"<ftp_misto><nazev>b</nazev><pasivni_rezim>01</pasivni_rezim></ftp_misto>"
                 u"<ftp_misto><nazev>c</nazev><pasivni_rezim>1</pasivni_rezim></ftp_misto>"
                 u"<ftp_misto><nazev>d</nazev><pasivni_rezim> 1</pasivni_rezim></ftp_misto>"
                 u"<ftp_misto><nazev>e</nazev></ftp_misto>"),
         L"a,,,,,0;b,,,,,0;c,,,,,1;d,,,,,0;e,,,,,0;"},
        {"a missing field starts empty",
         Utf16Le(u"<ftp_misto>\r\n <heslo>tajne</heslo>\r\n <nazev>a</nazev>\r\n <slozka>/x</slozka>\r\n"
                 u"</ftp_misto>\r\n<ftp_misto>\r\n <nazev>b</nazev>\r\n</ftp_misto>\r\n"),
         L"a,tajne,,/x,,0;b,,,,,0;"},
        {"sorted ignoring case",
         Utf16Le(u"<ftp_misto><nazev>beta</nazev></ftp_misto><ftp_misto><nazev>Alfa</nazev></ftp_misto>"
                 u"<ftp_misto><nazev>alfa2</nazev></ftp_misto>"),
         L"Alfa,,,,,0;alfa2,,,,,0;beta,,,,,0;"},
        {"a final block without its close tag is dropped",
         Utf16Le(u"<ftp_misto><nazev>A</nazev></ftp_misto><ftp_misto><nazev>B</nazev>"), L"A,,,,,0;"},
        {"tags spelled otherwise",
         Utf16Le(u"<FTP_misto><nazev>A</nazev></FTP_misto><ftp_misto x=\"1\"></ftp_misto>"), L""},
        {"half a character", lichy, L"A,,,,,0;"},
        {"UTF-8", {utf8.begin(), utf8.end()}, L""},
    };
    for (const auto& p : pripady) {
        ZapsatBajty(soubor_, p.bajty);
        std::vector<Misto> mista{{}};
        EXPECT_EQ(LoadRxmlStore(soubor_, kMista, mista), rxml::kOk) << p.co;
        EXPECT_EQ(Shrnuti(mista), p.mista) << p.co;
    }
}

TEST_F(Rxml, ReaderSearchesAndRefusesMissingUnreadableAndOversizedFiles)
{
    RxmlReader reader;
    reader.LoadText(L"<a><v>1</v></a><a></a><a><v>x</v><v>y</v></a><a><v>cut</v>here</v></a><a><v>");
    // Each item, what reading its <v> returns and the text then: the first
    // occurrence; an empty item is an error that leaves the text alone.
    const struct {
        const wchar_t *item, *pole;
        RxmlResult hr;
    } polozky[] = {{L"<v>1</v>", L"1", rxml::kOk}, {L"", L"1", rxml::kEHandle},
                   {L"<v>x</v><v>y</v>", L"x", rxml::kOk}, {L"<v>cut</v>here</v>", L"cut", rxml::kOk}};
    std::wstring pole;
    for (const auto& p : polozky) {
        ASSERT_EQ(reader.FindNextItem(L"a"), rxml::kOk) << p.pole;
        EXPECT_EQ(reader.Item(), p.item);
        EXPECT_EQ(reader.ReadField(L"v", pole), p.hr) << p.pole;
        EXPECT_EQ(pole, p.pole);
    }
    EXPECT_EQ(reader.ReadField(L"w", pole), rxml::kNenalezeno);
    EXPECT_EQ(pole, L"cut") << "a missing field leaves the text as it was";

    int32_t pred = reader.Position();
    EXPECT_EQ(reader.FindNextItem(L"a"), rxml::kNenalezeno) << "an open tag without a close tag";
    EXPECT_GT(reader.Position(), pred);
    EXPECT_EQ(reader.Text().substr(static_cast<size_t>(reader.Position()), 3), L"<a>");
    EXPECT_EQ(reader.Item(), L"<v>cut</v>here</v>") << "the item stays as it was";
    EXPECT_EQ(reader.FindNextItem(L"a"), rxml::kNenalezeno);

    // Missing, unreadable and oversized files.
    std::vector<Misto> mista{{}};
    EXPECT_EQ(LoadRxmlStore(Soubor(L"neni.rxml"), kMista, mista), rxml::kEInvalidArg);
    EXPECT_TRUE(mista.empty());
    EXPECT_EQ(reader.Load(Soubor(L"neni.rxml")), rxml::kEFail);
    EXPECT_EQ(reader.Position(), -1);

    // A folder is not a store file.
    std::wstring slozka = Soubor(L"slozka.rxml");
    fs::create_directory(fs::path(slozka));
    EXPECT_EQ(LoadRxmlStore(slozka, kMista, mista), rxml::kEInvalidArg);

    // Above the limit: refused without reading it in.
    ZapsatBajty(soubor_, Utf16Le(u"<ftp_misto><nazev>A</nazev></ftp_misto>"));
    fs::resize_file(fs::path(soubor_), rxml::kMaxVelikostSouboru + 2);
    mista.assign(1, Misto{});
    EXPECT_EQ(LoadRxmlStore(soubor_, kMista, mista), rxml::kEFileTooLarge);
    EXPECT_TRUE(mista.empty());
    fs::resize_file(fs::path(soubor_), rxml::kMaxVelikostSouboru);
    EXPECT_EQ(LoadRxmlStore(soubor_, kMista, mista), rxml::kOk) << "exactly at the limit is read";
    EXPECT_EQ(mista.size(), 1u);
}

} // namespace
