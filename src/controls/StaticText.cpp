#include "controls/StaticText.h"

#include "app/Chyby.h"

#include <cwchar>
#include <vector>

namespace mirvak::winapi {

StaticText::~StaticText()
{
    Destroy();
}

HRESULT StaticText::Attach(HWND okno, COLORREF barva, int vyskaPisma)
{
    if (!okno || !::IsWindow(okno))
        return E_INVALIDARG;
    Destroy();
    HFONT puvodni = reinterpret_cast<HFONT>(SendMessageW(okno, WM_GETFONT, 0, 0));
    if (!puvodni)
        puvodni = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf{};
    if (!GetObjectW(puvodni, sizeof lf, &lf))
        return KodPosledniChyby();
    if (vyskaPisma != kVyskaPuvodni)
        lf.lfHeight = vyskaPisma;
    GdiObject pismo(CreateFontIndirectW(&lf));
    if (!pismo)
        return KodPosledniChyby();
    HRESULT hr = SubclassWindow(okno);
    if (FAILED(hr))
        return hr;
    pismo_ = std::move(pismo);
    barva_ = barva;
    // The type bits are one field: owner-draw replaces the alignment type,
    // which this control draws itself.
    LONG_PTR styl = GetWindowLongPtrW(okno, GWL_STYLE);
    SetWindowLongPtrW(okno, GWL_STYLE, (styl & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_OWNERDRAW | SS_NOTIFY);
    InvalidateRect(okno, nullptr, TRUE);
    return S_OK;
}

HRESULT StaticText::SetFaceName(const wchar_t* pismo)
{
    if (!pismo || std::wcslen(pismo) < 2 || std::wcslen(pismo) >= LF_FACESIZE)
        return E_INVALIDARG;
    LOGFONTW lf{};
    HGDIOBJ zdroj = pismo_ ? pismo_.Get() : GetStockObject(DEFAULT_GUI_FONT);
    if (!GetObjectW(zdroj, sizeof lf, &lf))
        return KodPosledniChyby();
    wcsncpy(lf.lfFaceName, pismo, LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    GdiObject nove(CreateFontIndirectW(&lf));
    if (!nove)
        return KodPosledniChyby();
    pismo_ = std::move(nove);
    if (m_hWnd && IsWindowVisible(m_hWnd))
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return S_OK;
}

void StaticText::Destroy()
{
    UnsubclassWindow();
    pismo_.Reset();
}

COLORREF StaticText::EffectiveTextColor() const
{
    COLORREF system = GetSysColor(COLOR_WINDOWTEXT);
    return system != RGB(0, 0, 0) ? system : barva_;
}

LRESULT StaticText::OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&)
{
    auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    int delka = GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> text(static_cast<size_t>(delka) + 1);
    GetWindowTextW(m_hWnd, text.data(), delka + 1);

    HDC dc = di->hDC;
    SetTextColor(dc, EffectiveTextColor());
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ predchozi = pismo_ ? SelectObject(dc, pismo_.Get()) : nullptr;
    FillRect(dc, &di->rcItem, pozadi_);
    UINT priznaky = DT_SINGLELINE | DT_NOPREFIX;
    if (zarovnani_ == kNaStred)
        priznaky |= DT_CENTER;
    else if (zarovnani_ == kVpravo)
        priznaky |= DT_RIGHT;
    RECT r = di->rcItem;
    DrawTextW(dc, text.data(), -1, &r, priznaky);
    if (predchozi)
        SelectObject(dc, predchozi);
    return TRUE;
}

LRESULT StaticText::OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    pismo_.Reset();
    zpracovano = FALSE;  // the static still handles it
    return 0;
}

HRESULT StaticNadpisMaly::Attach(HWND okno)
{
    HRESULT hr = StaticText::Attach(okno, RGB(128, 0, 0), -15);
    if (FAILED(hr))
        return hr;
    SetAlignment(kNaStred);
    return SetFaceName(L"Verdana");
}

HRESULT StaticNadpis::Attach(HWND okno)
{
    HRESULT hr = StaticText::Attach(okno, RGB(128, 0, 0), -20);
    if (FAILED(hr))
        return hr;
    SetAlignment(kVlevo);
    return SetFaceName(L"Verdana");
}

HRESULT StaticHodnota::Attach(HWND okno)
{
    HRESULT hr = StaticText::Attach(okno, RGB(0, 96, 0), kVyskaPuvodni);
    if (FAILED(hr))
        return hr;
    SetAlignment(kVlevo);
    return S_OK;
}

} // namespace mirvak::winapi
