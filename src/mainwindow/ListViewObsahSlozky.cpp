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
#include <string_view>
#include <unordered_map>
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

// Exact names to their indexes, for looking up many names at once.
std::unordered_map<std::wstring_view, int> Rejstrik(const std::vector<Polozka>& polozky)
{
    std::unordered_map<std::wstring_view, int> r;
    r.reserve(polozky.size());
    for (size_t i = 0; i < polozky.size(); ++i)
        r.emplace(polozky[i].jmeno, static_cast<int>(i));
    return r;
}

std::wstring MalaPismena(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

void NastavitStav(HWND seznam, int index, UINT stav, UINT maska)
{
    LVITEMW s{};
    s.stateMask = maska;
    s.state = stav;
    SendMessageW(seznam, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&s));
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
    std::wstring slozka = path;
    while (slozka.size() > 3 && slozka.back() == L'\\')
        slozka.pop_back();
    if (slozka != folder_)
        Vyprazdnit();  // another folder's selection means nothing here
    folder_ = slozka;
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
    obnovuji_ = true;
    if (m_hWnd)
        Send(LVM_DELETEALLITEMS);
    obnovuji_ = false;
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

bool ListViewObsahSlozky::Precist(std::vector<Polozka>& vysledek) const
{
    vysledek.clear();
    std::wstring vzor = folder_ + L"\\*.*";
    if (folder_.empty() || vzor.size() > kMaxVzor)
        return false;
    WIN32_FIND_DATAW fd;
    HANDLE hledani = FindFirstFileW(vzor.c_str(), &fd);
    if (hledani == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (fd.cFileName[0] == L'.' || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (callbacks_ && callbacks_->FilterFile(fd.cFileName))
            continue;
        // The enumeration carries size and creation time already; asking the
        // file again per entry would double the cost of a large folder.
        Polozka& p = vysledek.emplace_back();
        p.velikost = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        p.vytvoren = fd.ftCreationTime;
        p.jmeno.assign(fd.cFileName, wcsnlen(fd.cFileName, MAX_PATH - 1));
    } while (FindNextFileW(hledani, &fd));
    FindClose(hledani);
    return true;
}

void ListViewObsahSlozky::Refresh()
{
    if (!m_hWnd) {
        Vyprazdnit();
        return;
    }
    Vyber v = ZapamatovatVyber();
    std::vector<Polozka> nove;
    Precist(nove);
    obnovuji_ = true;
    Send(LVM_DELETEALLITEMS);
    polozky_ = std::move(nove);
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(polozky_.size()), 0);
    obnovuji_ = false;
    ObnovitVyber(v, Nahrada::kNaPozici);
}

void ListViewObsahSlozky::Update(const std::vector<std::wstring>& jmena, bool vse)
{
    if (!m_hWnd || (jmena.empty() && !vse))
        return;
    if (!JeSlozka(folder_)) {
        SlozkaZmizela();
        return;
    }
    // Listed files are matched without regard to case, as the file system does.
    std::unordered_map<std::wstring, size_t> podleJmena;
    auto najit = [&](const std::wstring& jmeno) -> int {
        if (podleJmena.empty() && !polozky_.empty() && (vse || jmena.size() > 8)) {
            podleJmena.reserve(polozky_.size());
            for (size_t i = 0; i < polozky_.size(); ++i)
                podleJmena.emplace(MalaPismena(polozky_[i].jmeno), i);
        }
        if (!podleJmena.empty()) {
            auto it = podleJmena.find(MalaPismena(jmeno));
            return it == podleJmena.end() ? -1 : static_cast<int>(it->second);
        }
        for (size_t i = 0; i < polozky_.size(); ++i)
            if (StrCmpIW(polozky_[i].jmeno.c_str(), jmeno.c_str()) == 0)
                return static_cast<int>(i);
        return -1;
    };

    // With `vse` every listed file not found again goes; otherwise only a
    // name looked at and not found (removed or renamed away).
    std::vector<char> zustava(polozky_.size(), vse ? 0 : 1);
    std::vector<Polozka> pridane;
    std::vector<int> zmenene;
    auto nalezen = [&](Polozka&& p) {
        int i = najit(p.jmeno);
        if (i < 0) {
            pridane.push_back(std::move(p));
            return;
        }
        Polozka& s = polozky_[static_cast<size_t>(i)];
        zustava[static_cast<size_t>(i)] = 1;
        if (s.velikost != p.velikost || CompareFileTime(&s.vytvoren, &p.vytvoren) != 0) {
            s.velikost = p.velikost;
            s.vytvoren = p.vytvoren;
            zmenene.push_back(i);
        }
    };
    if (vse) {
        std::vector<Polozka> vsechny;
        Precist(vsechny);
        for (Polozka& p : vsechny)
            nalezen(std::move(p));
    } else {
        for (const std::wstring& jmeno : jmena) {
            WIN32_FILE_ATTRIBUTE_DATA a{};
            if (jmeno.empty() || jmeno[0] == L'.' || jmeno.size() >= MAX_PATH ||
                !GetFileAttributesExW(CestaSouboru(jmeno).c_str(), GetFileExInfoStandard, &a) ||
                (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (callbacks_ && callbacks_->FilterFile(jmeno.c_str()))) {
                int i = najit(jmeno);
                if (i >= 0)
                    zustava[static_cast<size_t>(i)] = 0;
                continue;
            }
            Polozka p;
            p.velikost = (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
            p.vytvoren = a.ftCreationTime;
            p.jmeno = jmeno;
            nalezen(std::move(p));
        }
    }
    const bool odebrano = std::find(zustava.begin(), zustava.end(), 0) != zustava.end();
    if (!odebrano && pridane.empty()) {
        // Only sizes or times: redraw those rows, nothing else moves.
        for (int i : zmenene)
            Send(LVM_REDRAWITEMS, static_cast<WPARAM>(i), i);
        return;
    }

    Vyber v = ZapamatovatVyber();
    const bool bylPrazdny = polozky_.empty();
    const int horni = static_cast<int>(Send(LVM_GETTOPINDEX));
    const Polozka* nahore = Item(horni);
    std::wstring horniJmeno = nahore ? nahore->jmeno : std::wstring();
    std::vector<Polozka> nove;
    nove.reserve(polozky_.size() + pridane.size());
    for (size_t i = 0; i < polozky_.size(); ++i)
        if (zustava[i])
            nove.push_back(std::move(polozky_[i]));
    for (Polozka& p : pridane)
        nove.push_back(std::move(p));
    polozky_ = std::move(nove);
    obnovuji_ = true;
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(polozky_.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    obnovuji_ = false;
    // A deliberately empty selection stays empty; the first files of an
    // empty list are chosen as a refresh chooses them.
    ObnovitVyber(v, !v.vybrane.empty() ? Nahrada::kNaPozici : bylPrazdny ? Nahrada::kPrvni : Nahrada::kNic);
    // The file at the top stays at the top when rows above it went or came.
    int novaHorni = -1;
    for (size_t i = 0; !horniJmeno.empty() && i < polozky_.size(); ++i)
        if (polozky_[i].jmeno == horniJmeno) {
            novaHorni = static_cast<int>(i);
            break;
        }
    int ted = static_cast<int>(Send(LVM_GETTOPINDEX));
    if (novaHorni >= 0 && novaHorni != ted) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        if (Send(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)))
            Send(LVM_SCROLL, 0, (novaHorni - ted) * (r.bottom - r.top));
    }
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

ListViewObsahSlozky::Vyber ListViewObsahSlozky::ZapamatovatVyber() const
{
    Vyber v;
    if (!m_hWnd)
        return v;
    for (int i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); i >= 0;
         i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)))
        if (const Polozka* p = Item(i))
            v.vybrane.push_back(p->jmeno);
    int fokus = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (const Polozka* p = Item(fokus))
        v.fokus = p->jmeno;
    v.index = fokus >= 0 ? fokus : currentItem_;
    return v;
}

void ListViewObsahSlozky::ObnovitVyber(const Vyber& v, Nahrada nahrada)
{
    obnovuji_ = true;
    NastavitStav(m_hWnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const int pocet = static_cast<int>(polozky_.size());
    std::unordered_map<std::wstring_view, int> rejstrik;
    if (v.vybrane.size() > 16)
        rejstrik = Rejstrik(polozky_);
    auto najit = [&](const std::wstring& jmeno) {
        if (jmeno.empty())
            return -1;
        if (!rejstrik.empty()) {
            auto it = rejstrik.find(jmeno);
            return it == rejstrik.end() ? -1 : it->second;
        }
        for (int i = 0; i < pocet; ++i)
            if (polozky_[static_cast<size_t>(i)].jmeno == jmeno)
                return i;
        return -1;
    };
    int prvni = -1;
    bool fokusVybran = false;
    const int fokusJmena = najit(v.fokus);
    for (const std::wstring& jmeno : v.vybrane) {
        int i = najit(jmeno);
        if (i < 0)
            continue;
        NastavitStav(m_hWnd, i, LVIS_SELECTED, LVIS_SELECTED);
        if (prvni < 0 || i < prvni)
            prvni = i;
        fokusVybran = fokusVybran || i == fokusJmena;
    }
    int fokus = fokusJmena;
    if (prvni < 0 && pocet > 0 && nahrada != Nahrada::kNic) {
        int i = 0;
        if (nahrada == Nahrada::kNaPozici && v.index >= 0)
            i = v.index < pocet ? v.index : pocet - 1;
        NastavitStav(m_hWnd, i, LVIS_SELECTED, LVIS_SELECTED);
        prvni = fokus = i;
        fokusVybran = true;
    }
    if (fokus >= 0)
        NastavitStav(m_hWnd, fokus, LVIS_FOCUSED, LVIS_FOCUSED);
    obnovuji_ = false;
    currentItem_ = fokusVybran ? fokus : prvni;
    Oznamit();
}

void ListViewObsahSlozky::ZpracovatZmeny()
{
    std::vector<std::wstring> jmena;
    bool vse = false;
    sledovani_.Taken(jmena, vse);
    posledniObnova_ = GetTickCount();
    Update(jmena, vse);
}

void ListViewObsahSlozky::SlozkaZmizela()
{
    if (casovac_) {
        KillTimer(m_hWnd, kCasovacObnovy);
        casovac_ = false;
    }
    sledovani_.Stop();
    Vyprazdnit();
    Oznamit(kSlozkaZmizela);
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

std::vector<std::wstring> ListViewObsahSlozky::SelectedPaths() const
{
    std::vector<std::wstring> cesty;
    for (int i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); i >= 0;
         i = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)))
        if (const Polozka* p = Item(i))
            cesty.push_back(CestaSouboru(p->jmeno));
    return cesty;
}

HRESULT ListViewObsahSlozky::DeleteFiles(const std::vector<std::wstring>& cesty)
{
    if (cesty.empty())
        return S_FALSE;
    HRESULT hr = S_OK;
    for (const auto& c : cesty) {
        if (DeleteFileW(c.c_str()))
            continue;
        DWORD chyba = GetLastError();
        if (chyba != ERROR_FILE_NOT_FOUND && chyba != ERROR_PATH_NOT_FOUND)
            hr = E_FAIL;
    }
    return hr;
}

HRESULT ListViewObsahSlozky::DeleteSelected()
{
    return DeleteFiles(SelectedPaths());
}

void ListViewObsahSlozky::SortByColumn(int sloupec)
{
    if (sloupec == sortColumn_)
        ascending_ = !ascending_;
    else
        sortColumn_ = sloupec;
    const int podle = sortColumn_;
    const bool vzestupne = ascending_;
    // The list view keeps its selection by row; the files move, so the
    // selection has to move with them.
    Vyber v = ZapamatovatVyber();
    std::sort(polozky_.begin(), polozky_.end(), [=](const Polozka& a, const Polozka& b) {
        return vzestupne ? Porovnat(&a, &b, podle) < 0 : Porovnat(&b, &a, podle) < 0;
    });
    if (m_hWnd) {
        ObnovitVyber(v, Nahrada::kNic);
        int fokus = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (fokus >= 0)
            Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(fokus), FALSE);
        InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

void ListViewObsahSlozky::Oznamit(WPARAM co) const
{
    if (owner_ && ::IsWindow(owner_))
        PostMessageW(owner_, WM_SEZNAM_ZMENA, co, 0);
}

LRESULT ListViewObsahSlozky::OnSize(UINT, WPARAM, LPARAM l, BOOL& zpracovano)
{
    Send(LVM_SETCOLUMNWIDTH, 0, LOWORD(l) - (kSirkaVelikosti + kSirkaCasu));
    Send(LVM_SETCOLUMNWIDTH, 1, kSirkaVelikosti);
    Send(LVM_SETCOLUMNWIDTH, 2, kSirkaCasu);
    zpracovano = FALSE;
    return 0;
}

LRESULT ListViewObsahSlozky::OnZmenaSlozky(UINT, WPARAM w, LPARAM l, BOOL&)
{
    if (!sledovani_.Current(l))
        return 0;  // from a watch stopped since: the list was read after it
    if (w == SledovaniSlozky::kKonec) {
        // The worker ended by itself: watch again while the folder is there.
        sledovani_.Stop();
        if (JeSlozka(folder_) && StartWatch() == S_OK)
            Update({}, true);
        else
            SlozkaZmizela();
        return 0;
    }
    // A recording reports every write; one update a second keeps the list
    // current without reading the folder for each of them.
    DWORD uplynulo = GetTickCount() - posledniObnova_;
    if (uplynulo >= kRozestupObnov) {
        ZpracovatZmeny();
    } else if (!casovac_) {
        casovac_ = SetTimer(m_hWnd, kCasovacObnovy, kRozestupObnov - uplynulo, nullptr) != 0;
        if (!casovac_)
            ZpracovatZmeny();
    }
    return 0;
}

LRESULT ListViewObsahSlozky::OnTimer(UINT, WPARAM w, LPARAM, BOOL& zpracovano)
{
    if (w != kCasovacObnovy) {
        zpracovano = FALSE;  // the list view's own timers
        return 0;
    }
    KillTimer(m_hWnd, kCasovacObnovy);
    casovac_ = false;
    ZpracovatZmeny();
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
    if (obnovuji_)
        return 0;  // the list restores its own selection and tells once
    currentItem_ = reinterpret_cast<NMLISTVIEW*>(h)->iItem;
    Oznamit();
    return 0;
}

LRESULT ListViewObsahSlozky::OnFindItem(int, NMHDR* h, BOOL&)
{
    // Typing in the list: the next file from iStart whose name begins with
    // (or, without LVFI_PARTIAL, is) the typed text, letter case ignored.
    const auto* f = reinterpret_cast<const NMLVFINDITEMW*>(h);
    const int pocet = static_cast<int>(polozky_.size());
    if (!(f->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !f->lvfi.psz || pocet == 0)
        return -1;
    const bool zacatek = (f->lvfi.flags & LVFI_PARTIAL) != 0;
    const int delka = static_cast<int>(wcslen(f->lvfi.psz));
    const int start = f->iStart >= 0 && f->iStart < pocet ? f->iStart : 0;
    const int kroku = (f->lvfi.flags & LVFI_WRAP) ? pocet : pocet - start;
    for (int k = 0; k < kroku; ++k) {
        int i = (start + k) % pocet;
        const wchar_t* jmeno = polozky_[static_cast<size_t>(i)].jmeno.c_str();
        if (zacatek ? StrCmpNIW(jmeno, f->lvfi.psz, delka) == 0 : StrCmpIW(jmeno, f->lvfi.psz) == 0)
            return i;
    }
    return -1;
}

// File commands ---------------------------------------------------------------

HRESULT ListViewObsahSlozky::PrikazSmazat(uint32_t parametry)
{
    // The question's message loop runs the watcher's updates, which move and
    // reselect rows: what is deleted is fixed before it is asked.
    const std::vector<std::wstring> cesty = SelectedPaths();
    if (cesty.empty())
        return S_FALSE;
    if ((parametry & kSeznamPotvrditSmazani) &&
        ZobrazitZpravu(NacistText(IDS_OTAZKA_SMAZAT, static_cast<int>(cesty.size())).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return S_FALSE;
    // Nothing of this object is used from here on.
    HRESULT hr = DeleteFiles(cesty);
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
    if (integrovany)
        return PrehratVPrehravaci(cesta, vlastnikPrehravace);
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
    if (FAILED(hr)) {
        ZobrazitChybu(NacistText(IDS_SLOZKA_NENI, slozka.c_str()).c_str());
        return hr;
    }
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
    // The same folder again only restarts a list that lost it.
    if (!ok || (k.seznam_souboru_slozka == cesta && Watching()))
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
