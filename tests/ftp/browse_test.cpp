// The server folder browser against the real FTP server of servers.sh ftp
// (passive), and the FTP place dialog's "..." button that opens it (active).
#include "harness/Dialogy.h"
#include "harness/Servery.h"

#include "ftp/DlgVyberSlozkyFtp.h"
#include "ftp/FtpPripojeni.h"
#include "resources/resource.h"
#include "stores/DlgFtpMisto.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

using namespace tonbar::test;

namespace {

// The names of `rodic`'s children (the roots for null); `nalez` gets the one
// named `hledany`.
std::vector<std::wstring> Deti(HWND strom, HTREEITEM rodic, const std::wstring& hledany = L"",
                               HTREEITEM* nalez = nullptr)
{
    std::vector<std::wstring> nazvy;
    HTREEITEM p = rodic ? TreeView_GetChild(strom, rodic) : TreeView_GetRoot(strom);
    for (; p; p = TreeView_GetNextSibling(strom, p)) {
        wchar_t text[MAX_PATH] = {};
        TVITEMW it{};
        it.mask = TVIF_TEXT | TVIF_HANDLE;
        it.hItem = p;
        it.pszText = text;
        it.cchTextMax = MAX_PATH;
        TreeView_GetItem(strom, &it);
        nazvy.push_back(text);
        if (nalez && hledany == text)
            *nalez = p;
    }
    return nazvy;
}

HTREEITEM Najit(HWND strom, HTREEITEM rodic, const std::wstring& nazev)
{
    HTREEITEM p = nullptr;
    Deti(strom, rodic, nazev, &p);
    return p;
}

// The folder browser when one opens within `ms`.
HWND Prohlizec(DWORD ms) { return CekatNaDialog(L"Tonbar", IDC_FTP_STROM, ms); }

std::vector<std::wstring> Serazene(std::vector<std::wstring> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

class FtpServerBrowse : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Bezi()) << "no FTP server: run through tests/harness/servers.sh ftp (ctest -R ftp_server)";
        // A tree of the test's own under the login folder: the browser
        // lists the login folder, so the top level holds everything other
        // tests left there too; this test looks only at its own branch.
        koren_ = L"prochazeni";
        for (const wchar_t* s : {L"", L"\\alfa", L"\\alfa\\a1", L"\\alfa\\a2", L"\\alfa\\a2\\hluboko", L"\\beta",
                                 L"\\beta\\b1", L"\\.skryta", L"\\prazdna"})
            CreateDirectoryW(server.Cesta(koren_ + s).c_str(), nullptr);
        WriteBytes(server.Cesta(koren_ + L"\\soubor.txt"), RandomBytes(10, 1));
        WriteBytes(server.Cesta(koren_ + L"\\alfa\\soubor2.txt"), RandomBytes(10, 2));
    }

    FtpServer server;
    std::wstring koren_;
};

} // namespace

TEST_F(FtpServerBrowse, TreeShowsTwoLevelsListsEachFolderOnceAndGivesTheBackslashPath)
{
    mirvak::ftp::FtpPripojeni p;
    ASSERT_EQ(mirvak::ftp::FtpConnect(p, L"127.0.0.1", server.uzivatel, server.heslo, true), S_OK);
    mirvak::ftp::DlgVyberSlozkyFtp dialog(p.Spojeni());
    std::vector<std::wstring> koreny, prvni, prvniZnovu, druhaUroven, beta, prazdna = {L"?"};
    std::wstring vyber;
    INT_PTR r = Ridit([&] { return dialog.DoModal(nullptr); }, [&] {
        HWND dlg = CekatNaDialog(L"Tonbar", IDC_FTP_STROM);
        if (!dlg)
            return;
        HWND strom = GetDlgItem(dlg, IDC_FTP_STROM);
        koreny = Deti(strom, nullptr);
        HTREEITEM vetev = Najit(strom, nullptr, koren_);
        if (vetev) {
            // Selecting lists the folder's children, once.
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(vetev));
            prvni = Deti(strom, vetev);
            HTREEITEM alfa = Najit(strom, vetev, L"alfa");
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(alfa));
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(vetev));
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(alfa));
            prvniZnovu = Deti(strom, vetev);
            druhaUroven = Deti(strom, alfa);
            // Expanding lists too.
            HTREEITEM b = Najit(strom, vetev, L"beta");
            SendMessageW(strom, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(b));
            beta = Deti(strom, b);
            HTREEITEM nic = Najit(strom, vetev, L"prazdna");
            SendMessageW(strom, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nic));
            prazdna = Deti(strom, nic);
            HTREEITEM a2 = Najit(strom, alfa, L"a2");
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a2));
            vyber = Text(dlg, IDC_FTP_VYBER);
        }
        Kliknout(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_NE(std::find(koreny.begin(), koreny.end(), koren_), koreny.end());
    EXPECT_EQ(std::count(koreny.begin(), koreny.end(), koren_), 1);
    EXPECT_EQ(Serazene(prvni), (std::vector<std::wstring>{L"alfa", L"beta", L"prazdna"}));
    EXPECT_EQ(prvniZnovu.size(), 3u);
    EXPECT_EQ(Serazene(druhaUroven), (std::vector<std::wstring>{L"a1", L"a2"}));
    EXPECT_EQ(beta, std::vector<std::wstring>{L"b1"});
    EXPECT_TRUE(prazdna.empty());
    std::wstring ocekavana = koren_ + L"\\alfa\\a2";
    EXPECT_EQ(vyber, ocekavana);
    EXPECT_EQ(dialog.VybranaSlozka(), ocekavana);
}

TEST_F(FtpServerBrowse, FolderEditButtonBrowsesWithWhatIsTypedAndCancelKeepsTheText)
{
    FtpPlace misto;
    misto.nazev = L"Prochazeni";
    misto.slozka = L"puvodni";
    DlgFtpMisto dialog(&misto);
    std::wstring poVyberu, poZruseni;
    bool prohlizecOtevren = false, prohlizecSeSpatnymHeslem = true;
    INT_PTR r = Ridit([&] { return dialog.DoModal(nullptr); }, [&] {
        HWND dlg = CekatNaDialog(L"Tonbar - FTP místo - Prochazeni");
        if (!dlg)
            return;
        // The stored record has no server: what is typed counts.
        SetDlgItemTextW(dlg, IDC_FTP_SERVER, L"127.0.0.1");
        SetDlgItemTextW(dlg, IDC_FTP_UZIVATEL, server.uzivatel.c_str());
        SetDlgItemTextW(dlg, IDC_FTP_HESLO, L"spatne");
        // Wrong credentials: nothing opens.
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        prohlizecSeSpatnymHeslem = Prohlizec(3000) != nullptr;
        SetDlgItemTextW(dlg, IDC_FTP_HESLO, server.heslo.c_str());
        // A click on the text part of the folder edit does not browse ...
        HWND edit = GetDlgItem(dlg, IDC_FTP_SLOZKA);
        RECT rc{};
        GetClientRect(edit, &rc);
        PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, rc.bottom / 2));
        PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(5, rc.bottom / 2));
        EXPECT_EQ(Prohlizec(2000), nullptr);
        // ... a click on its "..." part does.
        PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.right - 5, rc.bottom / 2));
        PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(rc.right - 5, rc.bottom / 2));
        HWND prohlizec = Prohlizec(10000);
        prohlizecOtevren = prohlizec != nullptr;
        if (prohlizec) {
            HWND strom = GetDlgItem(prohlizec, IDC_FTP_STROM);
            HTREEITEM vetev = Najit(strom, nullptr, koren_);
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(vetev));
            HTREEITEM beta = Najit(strom, vetev, L"beta");
            SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beta));
            Kliknout(prohlizec, IDOK);
            CekatNaZavreni(prohlizec);
        }
        poVyberu = Text(dlg, IDC_FTP_SLOZKA);
        // Cancelling the browser leaves the folder as it is.
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        if (HWND w = Prohlizec(10000)) {
            Kliknout(w, IDCANCEL);
            CekatNaZavreni(w);
        }
        poZruseni = Text(dlg, IDC_FTP_SLOZKA);
        Kliknout(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_FALSE(prohlizecSeSpatnymHeslem);
    EXPECT_TRUE(prohlizecOtevren);
    EXPECT_EQ(poVyberu, koren_ + L"\\beta");
    EXPECT_EQ(poZruseni, koren_ + L"\\beta");
    EXPECT_EQ(misto.slozka, koren_ + L"\\beta");
    EXPECT_EQ(misto.server, L"127.0.0.1");
}
