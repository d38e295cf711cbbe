// The server folder browser against the real FTP server of servers.sh ftp, opened by the FTP place
// dialog's "..." button: first in passive mode, then in active mode.
#include "harness/Dialogy.h"
#include "harness/Servery.h"

#include "resources/resource.h"
#include "stores/DlgFtpMisto.h"

#include <commctrl.h>

#include <map>

using namespace tonbar::test;

namespace {

// The children of `rodic` (the roots for null) by name; a name listed twice appears twice.
std::multimap<std::wstring, HTREEITEM> Deti(HWND strom, HTREEITEM rodic)
{
    std::multimap<std::wstring, HTREEITEM> deti;
    HTREEITEM p = rodic ? TreeView_GetChild(strom, rodic) : TreeView_GetRoot(strom);
    for (; p; p = TreeView_GetNextSibling(strom, p)) {
        wchar_t text[MAX_PATH] = {};
        TVITEMW it{};
        it.mask = TVIF_TEXT | TVIF_HANDLE;
        it.hItem = p;
        it.pszText = text;
        it.cchTextMax = MAX_PATH;
        TreeView_GetItem(strom, &it);
        deti.emplace(text, p);
    }
    return deti;
}

// The names of `rodic`'s children, sorted, once `rozbalit` has selected or expanded it.
std::wstring Nazvy(HWND strom, HTREEITEM rodic, bool rozbalit = false)
{
    if (rozbalit)
        TreeView_Expand(strom, rodic, TVE_EXPAND);
    else
        TreeView_SelectItem(strom, rodic);
    std::wstring nazvy;
    for (auto& [nazev, uzel] : Deti(strom, rodic))
        nazvy += nazev + L" ";
    return nazvy;
}

HTREEITEM Najit(HWND strom, HTREEITEM rodic, const std::wstring& nazev)
{
    auto deti = Deti(strom, rodic);
    auto it = deti.find(nazev);
    return it == deti.end() ? nullptr : it->second;
}

// The folder browser when one opens within `ms`.
HWND Prohlizec(DWORD ms) { return CekatNaDialog(L"Tonbar", IDC_FTP_STROM, ms); }

} // namespace

// The dialog shows the record and toggles the password's mask. Wrong credentials open nothing, nor
// does a click on the text part of the folder edit; its "..." part browses with what is typed. The
// tree shows two levels, lists each folder once and gives the backslash path; a cancelled browser
// keeps the text.
TEST(FtpServerBrowse, FolderButtonBrowsesTheServerWithWhatIsTyped)
{
    FtpServer server;
    ASSERT_TRUE(server.Bezi()) << "no FTP server: run through tests/harness/servers.sh ftp (ctest -R ftp_server)";
    // A tree of the test's own under the login folder, which holds what other tests left there too.
    const std::wstring koren = L"prochazeni";
    for (const wchar_t* s : {L"", L"\\alfa", L"\\alfa\\a1", L"\\alfa\\a2", L"\\alfa\\a2\\hluboko", L"\\beta",
                             L"\\beta\\b1", L"\\.skryta", L"\\prazdna"})
        CreateDirectoryW(server.Cesta(koren + s).c_str(), nullptr);
    WriteBytes(server.Cesta(koren + L"\\soubor.txt"), RandomBytes(10, 1));
    WriteBytes(server.Cesta(koren + L"\\alfa\\soubor2.txt"), RandomBytes(10, 2));

    FtpPlace misto{L"tajne", L"Archiv", true, L"ftp.archiv.cz", L"a\\b", L"archivar"};
    std::wstring v;  // what the driver saw, a line each
    LRESULT skryto = 0;  // the mask character first shown
    auto maska = [&](HWND dlg) {
        LRESULT c = SendDlgItemMessageW(dlg, IDC_FTP_HESLO, EM_GETPASSWORDCHAR, 0, 0);
        skryto = skryto ? skryto : c;
        v += !c ? L"a" : c == skryto ? L"*" : L"?";
    };
    INT_PTR r = Ridit([&] { return DlgFtpMisto(&misto).DoModal(nullptr); }, [&] {
        HWND dlg = CekatNaDialog(L"Tonbar - FTP místo - Archiv");
        if (!dlg)
            return;
        for (int id : {IDC_FTP_SERVER, IDC_FTP_UZIVATEL, IDC_FTP_HESLO, IDC_FTP_SLOZKA})
            v += Text(dlg, id) + L"|";
        v += IsDlgButtonChecked(dlg, IDC_FTP_PASIVNI) == BST_CHECKED ? L"pasivni\n" : L"aktivni\n";
        maska(dlg);  // hidden, shown, hidden again
        for (WPARAM stav : {BST_CHECKED, BST_UNCHECKED}) {
            SendDlgItemMessageW(dlg, IDC_FTP_ZOBRAZIT_HESLO, BM_SETCHECK, stav, 0);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_ZOBRAZIT_HESLO, BN_CLICKED), 0);
            maska(dlg);
        }
        // What is typed counts, not what is stored.
        Napsat(dlg, IDC_FTP_SERVER, L"127.0.0.1");
        Napsat(dlg, IDC_FTP_UZIVATEL, server.uzivatel);
        Napsat(dlg, IDC_FTP_HESLO, L"spatne");
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        v += Prohlizec(3000) ? L"\nse spatnym heslem" : L"\n";
        Napsat(dlg, IDC_FTP_HESLO, server.heslo);
        HWND edit = GetDlgItem(dlg, IDC_FTP_SLOZKA);
        RECT rc{};
        GetClientRect(edit, &rc);
        for (int x : {5, static_cast<int>(rc.right) - 5}) {
            PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, rc.bottom / 2));
            PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(x, rc.bottom / 2));
            if (x == 5 && Prohlizec(2000))
                v += L"po kliknuti na text";
        }
        if (HWND prohlizec = Prohlizec(10000)) {
            HWND strom = GetDlgItem(prohlizec, IDC_FTP_STROM);
            v += L"\n" + std::to_wstring(Deti(strom, nullptr).count(koren)) + L"\n";
            HTREEITEM vetev = Najit(strom, nullptr, koren);
            // Selecting lists a folder's children, once; expanding lists too.
            v += Nazvy(strom, vetev) + L"\n";
            HTREEITEM alfa = Najit(strom, vetev, L"alfa");
            Nazvy(strom, alfa);
            Nazvy(strom, vetev);
            v += Nazvy(strom, alfa) + L"\n" + Nazvy(strom, vetev, true) + L"\n";
            v += Nazvy(strom, Najit(strom, vetev, L"beta"), true) + L"\n";
            v += Nazvy(strom, Najit(strom, vetev, L"prazdna"), true) + L"\n";
            TreeView_SelectItem(strom, Najit(strom, alfa, L"a2"));
            v += Text(prohlizec, IDC_FTP_VYBER) + L"\n";
            Kliknout(prohlizec, IDOK);
            CekatNaZavreni(prohlizec);
        }
        v += Text(dlg, IDC_FTP_SLOZKA) + L"\n";
        CheckDlgButton(dlg, IDC_FTP_PASIVNI, BST_UNCHECKED);
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        if (HWND w = Prohlizec(10000)) {
            HWND strom = GetDlgItem(w, IDC_FTP_STROM);
            TreeView_SelectItem(strom, Najit(strom, nullptr, koren));
            Kliknout(w, IDCANCEL);
            CekatNaZavreni(w);
        }
        v += Text(dlg, IDC_FTP_SLOZKA);
        Kliknout(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(v, L"ftp.archiv.cz|archivar|tajne|a\\b|pasivni\n*a*\n"
                 L"\n1\nalfa beta prazdna \na1 a2 \nalfa beta prazdna \nb1 \n\n"
                 L"prochazeni\\alfa\\a2\nprochazeni\\alfa\\a2\nprochazeni\\alfa\\a2");
    EXPECT_EQ(misto.slozka, L"prochazeni\\alfa\\a2");
    EXPECT_EQ(misto.server, L"127.0.0.1");
}
