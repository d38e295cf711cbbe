#include "ftp/DlgVyberSlozkyFtp.h"

#include "app/Chyby.h"
#include "ftp/DialogyFtp.h"
#include "ftp/FtpPripojeni.h"
#include "resources/resource.h"

namespace mirvak::ftp {

namespace {

// Item data: 0 until the item's subfolders were listed, then 1.
constexpr LPARAM kNevypsano = 0;
constexpr LPARAM kVypsano = 1;

struct FindTraits {
    static HINTERNET Empty() { return nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};

LPARAM DataPolozky(HWND strom, HTREEITEM polozka)
{
    TVITEMW it{};
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = polozka;
    TreeView_GetItem(strom, &it);
    return it.lParam;
}

std::wstring TextPolozky(HWND strom, HTREEITEM polozka)
{
    wchar_t text[MAX_PATH + 1] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = polozka;
    it.pszText = text;
    it.cchTextMax = MAX_PATH;
    TreeView_GetItem(strom, &it);
    return text;
}

} // namespace

HRESULT VypsatSlozky(HINTERNET spojeni, const std::wstring& slozka, std::vector<std::wstring>& nazvy)
{
    nazvy.clear();
    if (ObsahujeKonecRadku(slozka))
        return E_INVALIDARG;
    std::wstring vzor = slozka.empty() ? L"*.*" : CestaNaServeru(slozka) + L"/*.*";
    WIN32_FIND_DATAW data{};
    winapi::UniqueHandle<HINTERNET, FindTraits> hledani(
        FtpFindFirstFileW(spojeni, vzor.c_str(), &data, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!hledani) {
        // An empty folder is no failure: Windows says ERROR_NO_MORE_FILES,
        // Wine's WinINet returns no handle and no error at all.
        DWORD chyba = GetLastError();
        return chyba == ERROR_NO_MORE_FILES || chyba == ERROR_SUCCESS ? S_OK : KodChyby(chyba);
    }
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != L'.')
            nazvy.push_back(data.cFileName);
    } while (InternetFindNextFileW(hledani.Get(), &data));
    DWORD chyba = GetLastError();
    return chyba == ERROR_NO_MORE_FILES ? S_OK : KodChyby(chyba);
}

INT_PTR DlgVyberSlozkyFtp::DoModal(HWND vlastnik)
{
    return DialogZaklad::DoModal(vlastnik, IDD_VYBER_SLOZKY_FTP);
}

LRESULT DlgVyberSlozkyFtp::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    NastavitIkonyDialogu(m_hWnd);
    SetWindowTextW(m_hWnd, FormatovatText(L"%s", NazevProduktuFtp()).c_str());
    vyber_.Attach(Item(IDC_FTP_VYBER));
    SetDlgItemTextW(m_hWnd, IDC_FTP_VYBER, L"");
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_FTP_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    if (g_aplikace && g_aplikace->maleObrazky) {
        TreeView_SetImageList(Strom(), g_aplikace->maleObrazky, TVSIL_NORMAL);
        TreeView_SetImageList(Strom(), g_aplikace->maleObrazky, TVSIL_STATE);
    }
    RozbalitPolozku(nullptr);
    winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

std::wstring DlgVyberSlozkyFtp::CestaPolozky(HTREEITEM polozka) const
{
    std::wstring cesta = TextPolozky(Strom(), polozka);
    for (HTREEITEM p = TreeView_GetParent(Strom(), polozka); p; p = TreeView_GetParent(Strom(), p))
        cesta = TextPolozky(Strom(), p) + L"\\" + cesta;
    return cesta;
}

void DlgVyberSlozkyFtp::RozbalitPolozku(HTREEITEM polozka)
{
    HWND strom = Strom();
    std::wstring cesta;
    if (polozka) {
        if (DataPolozky(strom, polozka) == kVypsano)
            return;
        TVITEMW it{};
        it.mask = TVIF_PARAM | TVIF_HANDLE;
        it.hItem = polozka;
        it.lParam = kVypsano;
        TreeView_SetItem(strom, &it);
        cesta = CestaPolozky(polozka);
    }
    // One level only, read whole before anything is added: a nested listing
    // on the same connection is refused by some WinINet versions and allowed
    // by others, and either way the tree must come out the same.
    std::vector<std::wstring> nazvy;
    VypsatSlozky(spojeni_, cesta, nazvy);
    for (const std::wstring& nazev : nazvy) {
        TVINSERTSTRUCTW vlozit{};
        vlozit.hParent = polozka ? polozka : TVI_ROOT;
        vlozit.hInsertAfter = TVI_LAST;
        vlozit.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
        vlozit.item.pszText = const_cast<wchar_t*>(nazev.c_str());
        vlozit.item.iImage = 15;
        vlozit.item.iSelectedImage = 6;
        vlozit.item.lParam = kNevypsano;
        vlozit.item.cChildren = 1;  // not known until listed; the button invites opening it
        TreeView_InsertItem(strom, &vlozit);
    }
    if (polozka && nazvy.empty()) {
        TVITEMW it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = polozka;
        it.cChildren = 0;
        TreeView_SetItem(strom, &it);
    }
}

LRESULT DlgVyberSlozkyFtp::OnVyber(int, NMHDR* hlavicka, BOOL&)
{
    auto* zmena = reinterpret_cast<NMTREEVIEWW*>(hlavicka);
    HTREEITEM polozka = zmena->itemNew.hItem;
    if (!polozka)
        return 0;
    vybrana_ = CestaPolozky(polozka);
    SetDlgItemTextW(m_hWnd, IDC_FTP_VYBER, vybrana_.c_str());
    RozbalitPolozku(polozka);
    return 0;
}

LRESULT DlgVyberSlozkyFtp::OnRozbaleni(int, NMHDR* hlavicka, BOOL&)
{
    auto* zmena = reinterpret_cast<NMTREEVIEWW*>(hlavicka);
    if (zmena->action & TVE_EXPAND)
        RozbalitPolozku(zmena->itemNew.hItem);
    return FALSE;  // let it expand
}

LRESULT DlgVyberSlozkyFtp::OnKonec(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(id);
    return 0;
}

} // namespace mirvak::ftp
