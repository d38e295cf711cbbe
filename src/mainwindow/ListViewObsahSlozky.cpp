#include "mainwindow/ListViewObsahSlozky.h"

// Before anything that brings in the DirectShow headers, which hide these.
#include <shlwapi.h>

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "player/OknoPrehravac.h"
#include "recording/AudioRecorder.h"
#include "resources/resource.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <uxtheme.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwchar>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace mirvak::winapi {

namespace {

constexpr size_t kMaxVzor = 32767;

bool JeSlozka(const std::wstring& cesta)
{
    DWORD a = GetFileAttributesW(cesta.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TextVelikosti(uint64_t velikost)
{
    wchar_t text[50] = {};
    StrFormatKBSizeW(static_cast<LONGLONG>(velikost), text, 50);
    return text;
}

std::wstring TextCasu(const FILETIME& cas)
{
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&cas, &st))
        return {};
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d %d:%.2d:%.2d", st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond);
    return text;
}

using Polozka = ListViewObsahSlozky::Polozka;

int Porovnat(const Polozka* x, const Polozka* y, int sloupec)
{
    switch (sloupec) {
    case 0:
        return StrCmpIW(x->jmeno.c_str(), y->jmeno.c_str());
    case 1:
        return x->velikost < y->velikost ? -1 : (x->velikost > y->velikost ? 1 : 0);
    case 2:
        return CompareFileTime(&x->vytvoren, &y->vytvoren);
    default:
        return 0;
    }
}

int CALLBACK ZpetneVolaniSlozky(HWND dlg, UINT zprava, LPARAM l, LPARAM data)
{
    if (zprava == BFFM_INITIALIZED) {
        SendMessageW(dlg, BFFM_SETSELECTIONW, TRUE, data);
    } else if (zprava == BFFM_SELCHANGED) {
        wchar_t cesta[MAX_PATH] = {};
        if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(l), cesta))
            SendMessageW(dlg, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(cesta));
    }
    return 0;
}

HRESULT DialogUlozit(const std::wstring& jmeno, std::wstring& cil)
{
    ComPtr<IFileSaveDialog> dialog;
    HRESULT hr = CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog));
    if (FAILED(hr)) {
        ZobrazitChybu(TextKodu(hr).c_str());
        return hr;
    }
    dialog->SetFileName(jmeno.c_str());
    hr = dialog->Show(nullptr);
    if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return S_FALSE;
    if (FAILED(hr))
        return hr;
    ComPtr<IShellItem> vybrany;
    hr = dialog->GetResult(&vybrany);
    if (FAILED(hr))
        return hr;
    wchar_t* cesta = nullptr;
    hr = vybrany->GetDisplayName(SIGDN_FILESYSPATH, &cesta);
    if (FAILED(hr))
        return hr;
    cil = cesta;
    CoTaskMemFree(cesta);
    return S_OK;
}

} // namespace

bool OdfiltrovatSoubor(uint32_t parametry, const wchar_t* jmeno)
{
    return (parametry & kSeznamJenWma) && StrCmpIW(PathFindExtensionW(jmeno), L".wma") != 0;
}

ListViewObsahSlozky::~ListViewObsahSlozky()
{
    StopWatch();
    owner_ = nullptr;
    // While this object is whole: the window's last messages still reach it.
    if (IsWindow())
        Destroy();
}

HRESULT ListViewObsahSlozky::Create(HWND parent, int controlId)
{
    RECT r{};
    GetClientRect(parent, &r);
    HRESULT hr = OknoImpl::Create(parent, r, nullptr, WS_CHILD | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, 0,
                                  static_cast<UINT_PTR>(controlId));
    if (FAILED(hr))
        return hr;
    owner_ = parent;
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SetWindowTheme(m_hWnd, L"explorer", nullptr);
    const struct {
        UINT text;
        int format;
        int sirka;
    } sloupce[] = {{IDS_SLOUPEC_SOUBOR, LVCFMT_LEFT, kSirkaJmena},
                   {IDS_SLOUPEC_VELIKOST, LVCFMT_RIGHT, kSirkaVelikosti},
                   {IDS_SLOUPEC_CAS, LVCFMT_LEFT, kSirkaCasu}};
    for (int i = 0; i < 3; ++i) {
        std::wstring text = NacistRetezec(sloupce[i].text);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
        c.fmt = sloupce[i].format;
        c.cx = sloupce[i].sirka;
        c.pszText = text.data();
        c.iSubItem = i;
        Send(LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    ShowWindow(m_hWnd, SW_SHOW);
    return S_OK;
}

HRESULT ListViewObsahSlozky::SetFolder(const std::wstring& path)
{
    if (!JeSlozka(path))
        return E_INVALIDARG;
    StopWatch();
    folder_ = path;
    while (folder_.size() > 3 && folder_.back() == L'\\')
        folder_.pop_back();
    // Watch first: a file made while the folder is read then still counts.
    StartWatch();
    Refresh();
    if (callbacks_)
        callbacks_->FolderShown(folder_.c_str());
    return S_OK;
}

HRESULT ListViewObsahSlozky::Restart()
{
    StopWatch();
    if (!JeSlozka(folder_))
        return S_FALSE;
    HRESULT hr = StartWatch();
    Refresh();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ListViewObsahSlozky::StartWatch()
{
    return sledovani_.Start(folder_, m_hWnd, kZmenaSlozky);
}

HRESULT ListViewObsahSlozky::StopWatch()
{
    return sledovani_.Stop();
}

void ListViewObsahSlozky::Vyprazdnit()
{
    if (m_hWnd)
        Send(LVM_DELETEALLITEMS);
    polozky_.clear();
    currentItem_ = -1;
}

LRESULT ListViewObsahSlozky::OnGetDispInfo(int, NMHDR* h, BOOL&)
{
    auto* di = reinterpret_cast<NMLVDISPINFOW*>(h);
    if (!(di->item.mask & LVIF_TEXT) || di->item.iItem < 0 ||
        di->item.iItem >= static_cast<int>(polozky_.size()))
        return 0;
    const Polozka& p = polozky_[static_cast<size_t>(di->item.iItem)];
    switch (di->item.iSubItem) {
    case 0:
        text_ = p.jmeno;
        break;
    case 1:
        text_ = TextVelikosti(p.velikost);
        break;
    case 2:
        text_ = TextCasu(p.vytvoren);
        break;
    default:
        text_.clear();
        break;
    }
    if (di->item.pszText && di->item.cchTextMax > 0)
        lstrcpynW(di->item.pszText, text_.c_str(), di->item.cchTextMax);
    return 0;
}

void ListViewObsahSlozky::Refresh()
{
    Vyprazdnit();
    if (!m_hWnd)
        return;
    std::wstring vzor = folder_ + L"\\*.*";
    if (folder_.empty() || vzor.size() > kMaxVzor)
        return;
    WIN32_FIND_DATAW fd;
    HANDLE hledani = FindFirstFileW(vzor.c_str(), &fd);
    if (hledani == INVALID_HANDLE_VALUE)
        return;
    do {
        if (fd.cFileName[0] == L'.' || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (callbacks_ && callbacks_->FilterFile(fd.cFileName))
            continue;
        // The enumeration carries size and creation time already; asking the
        // file again per entry would double the cost of a large folder.
        Polozka& p = polozky_.emplace_back();
        p.velikost = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        p.vytvoren = fd.ftCreationTime;
        p.jmeno.assign(fd.cFileName, wcsnlen(fd.cFileName, MAX_PATH - 1));
    } while (FindNextFileW(hledani, &fd));
    FindClose(hledani);
    const int pocet = static_cast<int>(polozky_.size());
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(pocet), 0);

    int vybrat = -1;
    if (currentItem_ >= 0)
        vybrat = currentItem_ < pocet ? currentItem_ : currentItem_ - 1;
    else if (pocet > 0)
        vybrat = 0;
    if (vybrat >= 0 && vybrat < pocet) {
        LVITEMW stav{};
        stav.stateMask = LVIS_SELECTED;
        stav.state = LVIS_SELECTED;
        Send(LVM_SETITEMSTATE, static_cast<WPARAM>(vybrat), reinterpret_cast<LPARAM>(&stav));
    }
}

HRESULT ListViewObsahSlozky::GetFolder(std::wstring& path) const
{
    path = folder_;
    return JeSlozka(folder_) ? S_OK : S_FALSE;
}

const ListViewObsahSlozky::Polozka* ListViewObsahSlozky::Item(int index) const
{
    if (index < 0 || index >= static_cast<int>(polozky_.size()))
        return nullptr;
    return &polozky_[static_cast<size_t>(index)];
}

std::wstring ListViewObsahSlozky::ItemText(int index, int sloupec) const
{
    wchar_t text[MAX_PATH + 1] = {};
    LVITEMW it{};
    it.iSubItem = sloupec;
    it.pszText = text;
    it.cchTextMax = MAX_PATH + 1;
    Send(LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&it));
    return text;
}

std::wstring ListViewObsahSlozky::CestaSouboru(const std::wstring& jmeno) const
{
    return folder_ + L"\\" + jmeno;
}

HRESULT ListViewObsahSlozky::GetCurrentFile(std::wstring& name, bool withPath) const
{
    if (currentItem_ < 0 || currentItem_ >= Count())
        return S_FALSE;
    const std::wstring& text = polozky_[static_cast<size_t>(currentItem_)].jmeno;
    if (text.empty())
        return E_INVALIDARG;
    name = withPath ? CestaSouboru(text) : text;
    return S_OK;
}

HRESULT ListViewObsahSlozky::DeleteSelected()
{
    std::vector<std::wstring> cesty;
    for (int i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); i >= 0;
         i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)))
        if (const Polozka* p = Item(i))
            cesty.push_back(CestaSouboru(p->jmeno));
    if (cesty.empty())
        return S_FALSE;
    HRESULT hr = S_OK;
    for (const auto& c : cesty)
        if (!DeleteFileW(c.c_str()))
            hr = E_FAIL;
    return hr;
}

void ListViewObsahSlozky::SortByColumn(int sloupec)
{
    if (sloupec == sortColumn_)
        ascending_ = !ascending_;
    else
        sortColumn_ = sloupec;
    const int podle = sortColumn_;
    const bool vzestupne = ascending_;
    std::sort(polozky_.begin(), polozky_.end(), [=](const Polozka& a, const Polozka& b) {
        return vzestupne ? Porovnat(&a, &b, podle) < 0 : Porovnat(&b, &a, podle) < 0;
    });
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void ListViewObsahSlozky::Oznamit() const
{
    if (owner_ && ::IsWindow(owner_))
        PostMessageW(owner_, WM_SEZNAM_ZMENA, 0, 0);
}

LRESULT ListViewObsahSlozky::OnSize(UINT, WPARAM, LPARAM l, BOOL& zpracovano)
{
    Send(LVM_SETCOLUMNWIDTH, 0, LOWORD(l) - (kSirkaVelikosti + kSirkaCasu));
    Send(LVM_SETCOLUMNWIDTH, 1, kSirkaVelikosti);
    Send(LVM_SETCOLUMNWIDTH, 2, kSirkaCasu);
    zpracovano = FALSE;
    return 0;
}

LRESULT ListViewObsahSlozky::OnZmenaSlozky(UINT, WPARAM, LPARAM, BOOL&)
{
    sledovani_.Taken();
    Refresh();
    Oznamit();
    return 0;
}

LRESULT ListViewObsahSlozky::OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    StopWatch();
    zpracovano = FALSE;
    return 0;
}

LRESULT ListViewObsahSlozky::OnColumnClick(int, NMHDR* h, BOOL&)
{
    SortByColumn(reinterpret_cast<NMLISTVIEW*>(h)->iSubItem);
    return 0;
}

LRESULT ListViewObsahSlozky::OnItemChanged(int, NMHDR* h, BOOL&)
{
    currentItem_ = reinterpret_cast<NMLISTVIEW*>(h)->iItem;
    Oznamit();
    return 0;
}

// File commands ---------------------------------------------------------------

HRESULT ListViewObsahSlozky::PrikazSmazat(uint32_t parametry)
{
    int pocet = static_cast<int>(Send(LVM_GETSELECTEDCOUNT));
    if (pocet <= 0)
        return S_FALSE;
    if ((parametry & kSeznamPotvrditSmazani) &&
        ZobrazitZpravu(NacistText(IDS_OTAZKA_SMAZAT, pocet).c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return S_FALSE;
    HRESULT hr = DeleteSelected();
    if (hr != S_OK) {
        ZobrazitChybuId(IDS_NEPODARILO_SMAZAT);
        return FAILED(hr) ? hr : E_FAIL;
    }
    return S_OK;
}

HRESULT ListViewObsahSlozky::PrikazPrejmenovat(uint32_t parametry, const ZadaniTextu& zadani)
{
    std::wstring slozka, jmeno, cesta;
    if (GetFolder(slozka) != S_OK || GetCurrentFile(jmeno, false) != S_OK || GetCurrentFile(cesta, true) != S_OK)
        return S_FALSE;
    const bool vybratJmeno = (parametry & kSeznamVybratJmeno) != 0;
    std::wstring text = jmeno, cil;
    for (;;) {
        int r = zadani ? zadani(text, MAKEINTRESOURCEW(IDS_ZADEJTE_NAZEV_SOUBORU), vybratJmeno, kMaxDelkaNazvuSouboru)
                       : VstupTextu(text, MAKEINTRESOURCEW(IDS_ZADEJTE_NAZEV_SOUBORU), vybratJmeno,
                                    kMaxDelkaNazvuSouboru);
        if (r != 0)
            return S_FALSE;
        if (SUCCEEDED(CestaVeSlozce(cesta, text, cil)))
            break;
        ZobrazitZpravuId(IDS_NEPLATNY_NAZEV_SOUBORU, MB_ICONEXCLAMATION);
    }
    if (cil == cesta)
        return S_FALSE;
    if (!MoveFileW(cesta.c_str(), cil.c_str())) {
        HRESULT hr = KodPosledniChyby();
        ZobrazitChybu(TextKodu(hr).c_str());
        return hr;
    }
    return S_OK;
}

HRESULT ListViewObsahSlozky::PrikazUlozitJako(const VyberCile& vyber)
{
    std::wstring jmeno, zdroj, cil;
    if (GetCurrentFile(jmeno, false) != S_OK || GetCurrentFile(zdroj, true) != S_OK)
        return S_FALSE;
    HRESULT hr = vyber ? vyber(jmeno, cil) : DialogUlozit(jmeno, cil);
    if (hr != S_OK)
        return hr;
    if (!CopyFileW(zdroj.c_str(), cil.c_str(), FALSE)) {
        hr = KodPosledniChyby();
        ZobrazitChybu(TextKodu(hr).c_str());
        return hr;
    }
    return S_OK;
}

HRESULT ListViewObsahSlozky::PrikazPrehrat(bool integrovany, bool nahravaSe, const std::wstring& nahravanySoubor,
                                           HWND vlastnikPrehravace)
{
    std::wstring cesta;
    if (GetCurrentFile(cesta, true) != S_OK)
        return S_FALSE;
    if (nahravaSe && StrCmpIW(cesta.c_str(), nahravanySoubor.c_str()) == 0) {
        ZobrazitZpravuId(IDS_SOUBOR_SE_NAHRAVA, MB_ICONEXCLAMATION);
        return S_FALSE;
    }
    if (integrovany) {
        if (IsPlayerOpen()) {
            HRESULT hr = ClosePlayer();
            if (FAILED(hr))
                return hr;
        }
        return OpenPlayer(cesta, vlastnikPrehravace);
    }
    ShellExecuteW(nullptr, L"open", cesta.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);  // failure ignored
    return S_OK;
}

HRESULT ListViewObsahSlozky::PrikazPrehrat()
{
    bool nahravaSe = g_aplikace && g_aplikace->zaznamnik && g_aplikace->zaznamnik->IsRecording();
    std::wstring nahravany = g_aplikace ? g_aplikace->souborZaznamu : std::wstring();
    return PrikazPrehrat(g_konfigurace.prehravac != 0, nahravaSe, nahravany, owner_);
}

HRESULT ListViewObsahSlozky::PrikazVlastnosti()
{
    std::wstring cesta;
    if (GetCurrentFile(cesta, true) != S_OK)
        return S_FALSE;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.lpVerb = L"properties";
    info.lpFile = cesta.c_str();
    info.nShow = SW_SHOW;
    ShellExecuteExW(&info);  // failure ignored
    return S_OK;
}

HRESULT ListViewObsahSlozky::ZobrazitSlozku(Konfigurace& k, const std::wstring& slozka)
{
    HRESULT hr = SetFolder(slozka);
    if (FAILED(hr))
        return hr;
    k.seznam_souboru_slozka = slozka;
    UlozitZobrazeni(k);
    return S_OK;
}

HRESULT ListViewObsahSlozky::PrikazVybratSlozku(Konfigurace& k)
{
    std::wstring titulek = NacistRetezec(IDS_VYBERTE_SLOZKU);
    wchar_t jmeno[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.pszDisplayName = jmeno;
    info.lpszTitle = titulek.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = ZpetneVolaniSlozky;
    info.lParam = reinterpret_cast<LPARAM>(folder_.c_str());
    PIDLIST_ABSOLUTE vyber = SHBrowseForFolderW(&info);
    if (!vyber)
        return S_FALSE;
    wchar_t cesta[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(vyber, cesta);
    CoTaskMemFree(vyber);
    if (!ok || k.seznam_souboru_slozka == cesta)
        return S_FALSE;
    return ZobrazitSlozku(k, cesta);
}

HRESULT ListViewObsahSlozky::PrikazVychoziSlozka(Konfigurace& k)
{
    return ZobrazitSlozku(k, k.slozka_data);
}

HRESULT OtevritSlozkuZaznamu(const std::wstring& slozka, bool prozkoumat)
{
    if (!JeSlozka(slozka))
        return S_FALSE;
    ShellExecuteW(nullptr, prozkoumat ? L"explore" : L"open", slozka.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return S_OK;
}

} // namespace mirvak::winapi
