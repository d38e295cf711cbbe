#include "controls/Edit.h"

#include "app/Chyby.h"
#include "resources/resource.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <vector>

namespace mirvak::winapi {

namespace {

// A tool-tip window over `vlastnik`; null and the last error on failure.
HWND NovyTooltip(HWND vlastnik)
{
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, vlastnik, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (tip)
        SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return tip;
}

void ZnicitOkno(HWND& okno)
{
    if (okno && IsWindow(okno))
        DestroyWindow(okno);
    okno = nullptr;
}

} // namespace

// Edit ------------------------------------------------------------------------

Edit::Edit() = default;

std::wstring Edit::Text() const
{
    int delka = GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> text(static_cast<size_t>(delka) + 1);
    int n = GetWindowTextW(m_hWnd, text.data(), delka + 1);
    return std::wstring(text.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

HRESULT Edit::ShowBalloon()
{
    if (titulekBalonu_.empty())
        titulekBalonu_ = NacistRetezec(IDS_TITULEK_BALONU);
    if (titulekBalonu_.empty() || textBalonu_.empty())
        return E_INVALIDARG;
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof tip;
    tip.pszTitle = titulekBalonu_.c_str();
    tip.pszText = textBalonu_.c_str();
    tip.ttiIcon = ikonaBalonu_;
    return Send(EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip)) ? S_OK : E_FAIL;
}

// Browse-button edits -----------------------------------------------------------

EditProchazeni::~EditProchazeni()
{
    Destroy();
}

HRESULT EditProchazeni::Attach(HWND edit, const wchar_t* text)
{
    if (!edit || !::IsWindow(edit))
        return E_INVALIDARG;
    Destroy();
    HRESULT hr = SubclassWindow(edit);
    if (FAILED(hr))
        return hr;
    Send(EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, kSirkaTlacitka + 4));

    tooltip_ = NovyTooltip(edit);
    if (!tooltip_) {
        hr = KodPosledniChyby();
        UnsubclassWindow();
        return hr;
    }
    std::wstring popis = NacistRetezec(TooltipTextId());
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.uFlags = TTF_SUBCLASS;
    nastroj.hwnd = edit;
    nastroj.uId = 1;
    nastroj.rect = ButtonRect();
    nastroj.lpszText = popis.data();
    if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&nastroj))) {
        ZrusitTooltip();
        UnsubclassWindow();
        return E_FAIL;
    }

    if (text)
        SetWindowTextW(edit, text);
    Send(EM_SETSEL, static_cast<WPARAM>(-1), 0);
    RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    return S_OK;
}

void EditProchazeni::Destroy()
{
    ZrusitTooltip();
    UnsubclassWindow();
    nadTlacitkem_ = false;
}

void EditProchazeni::ZrusitTooltip()
{
    ZnicitOkno(tooltip_);
}

RECT EditProchazeni::ButtonRect() const
{
    RECT r = ClientRect();
    r.left = r.right - kSirkaTlacitka;
    return r;
}

bool EditProchazeni::NadTlacitkem(int x) const
{
    return x >= ClientRect().right - kSirkaTlacitka - 4;
}

void EditProchazeni::OznamitVyber() const
{
    PostMessageW(Parent(), WM_CESTA_VYBRANA, static_cast<WPARAM>(ControlId()), reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT EditProchazeni::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    LRESULT vysledek = DefaultProc();
    RECT r = ClientRect();
    r.left = r.right - kSirkaTlacitka - 2;
    HDC dc = GetDC(m_hWnd);
    if (!dc)
        return vysledek;
    if (IsAppThemed()) {
        HTHEME tema = OpenThemeData(m_hWnd, L"Button");
        if (tema) {
            DrawThemeBackground(tema, dc, BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr);
            CloseThemeData(tema);
        }
    }
    HGDIOBJ pismo = reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT));
    HGDIOBJ predchozi = pismo ? SelectObject(dc, pismo) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, L"...", 3, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (predchozi)
        SelectObject(dc, predchozi);
    ReleaseDC(m_hWnd, dc);
    return vysledek;
}

LRESULT EditProchazeni::OnMouseMove(UINT, WPARAM, LPARAM l, BOOL& zpracovano)
{
    nadTlacitkem_ = NadTlacitkem(static_cast<short>(LOWORD(l)));
    zpracovano = FALSE;
    return 0;
}

LRESULT EditProchazeni::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    // The cursor message comes before the move that would update the flag.
    POINT p{};
    if (GetCursorPos(&p) && ScreenToClient(m_hWnd, &p)) {
        RECT r = ClientRect();
        nadTlacitkem_ = PtInRect(&r, p) && NadTlacitkem(p.x);
    }
    if (!nadTlacitkem_) {
        zpracovano = FALSE;
        return 0;
    }
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

LRESULT EditProchazeni::OnLButtonUp(UINT zprava, WPARAM w, LPARAM l, BOOL&)
{
    LRESULT vysledek = DefaultProc(zprava, w, l);
    POINT p{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    RECT tlacitko = ButtonRect();
    if (PtInRect(&tlacitko, p))
        Browse();
    return vysledek;
}

LRESULT EditProchazeni::OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    ZrusitTooltip();
    zpracovano = FALSE;
    return 0;
}

// EditSlozka ----------------------------------------------------------------

std::wstring PocatecniSlozka(const std::wstring& text)
{
    if (!text.empty() && text != L"current")
        return text;
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (!n)
        return {};
    std::vector<wchar_t> cesta(n);
    DWORD m = GetCurrentDirectoryW(n, cesta.data());
    return std::wstring(cesta.data(), m < n ? m : 0);
}

namespace {

int CALLBACK ZpetneVolaniSlozky(HWND dlg, UINT zprava, LPARAM l, LPARAM data)
{
    switch (zprava) {
    case BFFM_INITIALIZED:
        SendMessageW(dlg, BFFM_SETSELECTIONW, TRUE, data);
        break;
    case BFFM_SELCHANGED: {
        wchar_t cesta[MAX_PATH] = {};
        if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(l), cesta))
            SendMessageW(dlg, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(cesta));
        break;
    }
    default:
        break;
    }
    return 0;
}

} // namespace

void EditSlozka::Browse()
{
    std::wstring zacatek = PocatecniSlozka(Text());
    std::wstring titulek = NacistRetezec(IDS_VYBERTE_SLOZKU);
    wchar_t jmeno[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = Parent();
    info.pszDisplayName = jmeno;
    info.lpszTitle = titulek.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = ZpetneVolaniSlozky;
    info.lParam = reinterpret_cast<LPARAM>(zacatek.c_str());
    PIDLIST_ABSOLUTE vyber = SHBrowseForFolderW(&info);
    if (!vyber)
        return;  // cancelled
    wchar_t cesta[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(vyber, cesta);
    CoTaskMemFree(vyber);  // the shell's allocator
    if (!ok)
        return;
    SetWindowTextW(m_hWnd, cesta);
    OznamitVyber();
}

UINT EditSlozka::TooltipTextId() const
{
    return IDS_TIP_VYBRAT_SLOZKU;
}

LRESULT EditSlozka::OnCtlColor(UINT, WPARAM w, LPARAM, BOOL&)
{
    HDC dc = reinterpret_cast<HDC>(w);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

// EditSoubor ----------------------------------------------------------------

EditSoubor::EditSoubor()
{
    static_assert(sizeof(OPENFILENAMEW) == 152 || sizeof(void*) == 4);
    ofn_.lStructSize = sizeof ofn_;
}

HRESULT EditSoubor::Attach(HWND edit, const wchar_t* text)
{
    HRESULT hr = EditProchazeni::Attach(edit, text);
    if (FAILED(hr))
        return hr;
    ofn_.hwndOwner = Parent();
    if (text && (!PathFileExistsW(text) || PathIsDirectoryW(text)))
        return 1;
    return S_OK;
}

void EditSoubor::Browse()
{
    std::vector<wchar_t> soubor(32767, L'\0');
    std::wstring text = Text();
    if (!PathIsDirectoryW(text.c_str()) && text.size() < soubor.size())
        text.copy(soubor.data(), text.size());
    ofn_.lStructSize = sizeof ofn_;
    ofn_.hwndOwner = Parent();
    ofn_.lpstrFile = soubor.data();
    ofn_.nMaxFile = static_cast<DWORD>(soubor.size());
    BOOL ok = GetOpenFileNameW(&ofn_);
    ofn_.lpstrFile = nullptr;
    ofn_.nMaxFile = 0;
    if (!ok)
        return;
    SetWindowTextW(m_hWnd, soubor.data());
    OznamitVyber();
}

UINT EditSoubor::TooltipTextId() const
{
    return IDS_TIP_VYBRAT_SOUBOR;
}

// EditCislo -------------------------------------------------------------------

std::wstring TextRozsahu(int minimum, int maximum)
{
    if (minimum >= 0 && maximum >= 0)
        return NacistText(IDS_ROZSAH_OD_DO, minimum, maximum);
    if (minimum >= 0)
        return NacistText(IDS_ROZSAH_OD, minimum);
    if (maximum >= 0)
        return NacistText(IDS_ROZSAH_DO, maximum);
    return NacistText(IDS_ROZSAH_ZADNY);
}

EditCislo::~EditCislo()
{
    Destroy();
}

std::wstring EditCislo::RangeHint() const
{
    return TextRozsahu(minimum_, maximum_);
}

HRESULT EditCislo::Attach(HWND edit, UINT hodnota, int minimum, int maximum)
{
    if (!edit || !::IsWindow(edit))
        return E_INVALIDARG;
    Destroy();
    HRESULT hr = SubclassWindow(edit);
    if (FAILED(hr))
        return hr;
    AddStyle(ES_NUMBER);
    minimum_ = minimum;
    maximum_ = maximum;
    // The value travels through the parent by control id, so the id must
    // name this very edit there.
    HWND rodic = Parent();
    if (!rodic || GetDlgItem(rodic, ControlId()) != edit || !SetDlgItemInt(rodic, ControlId(), hodnota, FALSE)) {
        UnsubclassWindow();
        return E_HANDLE;
    }
    posledni_ = hodnota;

    tooltip_ = NovyTooltip(edit);
    if (!tooltip_) {
        hr = KodPosledniChyby();
        UnsubclassWindow();
        return hr;
    }
    std::wstring napoveda = RangeHint();
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    nastroj.hwnd = Parent();
    nastroj.uId = reinterpret_cast<UINT_PTR>(edit);
    nastroj.lpszText = napoveda.data();
    if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&nastroj))) {
        ZrusitTooltip();
        UnsubclassWindow();
        return E_FAIL;
    }
    return S_OK;
}

void EditCislo::Destroy()
{
    ZrusitTooltip();
    UnsubclassWindow();
}

void EditCislo::ZrusitTooltip()
{
    ZnicitOkno(tooltip_);
}

LRESULT EditCislo::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    BOOL cislo = FALSE;
    HWND rodic = Parent();
    int id = ControlId();
    UINT hodnota = GetDlgItemInt(rodic, id, &cislo, FALSE);
    bool mimo = !cislo || (maximum_ >= 0 && hodnota > static_cast<UINT>(maximum_)) ||
                (minimum_ >= 0 && hodnota < static_cast<UINT>(minimum_));
    if (mimo)
        SetDlgItemInt(rodic, id, posledni_, FALSE);
    else
        posledni_ = hodnota;
    zpracovano = FALSE;
    return 0;
}

LRESULT EditCislo::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    if (balonPriFokusu_) {
        if (textBalonu_.empty())
            textBalonu_ = RangeHint();
        ShowBalloon();
    }
    zpracovano = FALSE;
    return 0;
}

LRESULT EditCislo::OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    ZrusitTooltip();
    zpracovano = FALSE;
    return 0;
}

} // namespace mirvak::winapi
