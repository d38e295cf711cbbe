#include "mainwindow/OknoUrovne.h"

#include "recording/HlidaniUrovne.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kZelenaDo = -12.0;
constexpr double kZlutaDo = -3.0;
constexpr int kSirkaTextu = 52;

// Share of the bar's width for a level in dBFS.
double Podil(double db)
{
    const double dno = HlidaniUrovne::kDnoMeridla;
    if (!(db > dno))
        return 0.0;
    return std::min(1.0, (db - dno) / -dno);
}

// The level in half decibels, all below the bar's bottom alike.
long Krok(double db)
{
    return db > HlidaniUrovne::kDnoMeridla ? std::lround(db * 2) : -1000;
}

void Vyplnit(HDC dc, const RECT& r, COLORREF barva)
{
    SetDCBrushColor(dc, barva);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

} // namespace

HRESULT OknoUrovne::Vytvorit(HWND status, int cast)
{
    HRESULT hr = Create(status, RECT{0, 0, 0, 0}, nullptr, WS_CHILD | WS_CLIPSIBLINGS);
    if (FAILED(hr))
        return hr;
    cast_ = cast;
    if (!SetWindowSubclass(status, ProceduraStatusu, 1, reinterpret_cast<DWORD_PTR>(this)))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

LRESULT OknoUrovne::OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    // The bar outlives its children by a few messages.
    RemoveWindowSubclass(GetParent(m_hWnd), ProceduraStatusu, 1);
    zpracovano = FALSE;
    return 0;
}

LRESULT CALLBACK OknoUrovne::ProceduraStatusu(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ja)
{
    const auto& u = *reinterpret_cast<const OknoUrovne*>(ja);
    if (LOWORD(w) != u.cast_)
        return DefSubclassProc(okno, zprava, w, l);
    const std::wstring& t = u.text_;
    switch (zprava) {
    case SB_GETTEXTLENGTHW:
        return MAKELRESULT(t.size(), 0);
    case SB_GETTEXTW:
        // The caller sized its buffer by SB_GETTEXTLENGTHW.
        if (l)
            std::copy(t.c_str(), t.c_str() + t.size() + 1, reinterpret_cast<wchar_t*>(l));
        return MAKELRESULT(t.size(), 0);
    case SB_GETTEXTLENGTHA:
    case SB_GETTEXTA: {
        const int delka = WideCharToMultiByte(CP_ACP, 0, t.c_str(), static_cast<int>(t.size()), nullptr, 0,
                                              nullptr, nullptr);
        if (zprava == SB_GETTEXTA && l) {
            auto* cil = reinterpret_cast<char*>(l);
            WideCharToMultiByte(CP_ACP, 0, t.c_str(), static_cast<int>(t.size()), cil, delka, nullptr, nullptr);
            cil[delka] = '\0';
        }
        return MAKELRESULT(delka, 0);
    }
    default:
        return DefSubclassProc(okno, zprava, w, l);
    }
}

void OknoUrovne::Nastavit(const std::wstring& text, double decibely)
{
    // Only a visible change is painted.
    if (text == text_ && Krok(decibely) == Krok(decibely_))
        return;
    text_ = text;
    decibely_ = decibely;
    // Drawn at once rather than through WM_PAINT: five times a second the
    // update region's round trips would cost more than the drawing.
    if (IsWindow() && IsWindowVisible(m_hWnd)) {
        if (HDC dc = GetDC(m_hWnd)) {
            Kreslit(dc, ClientRect());
            ReleaseDC(m_hWnd, dc);
        }
    }
}

void OknoUrovne::Umistit(const RECT& r)
{
    if (!IsWindow())
        return;
    SetWindowPos(m_hWnd, HWND_TOP, r.left, r.top, std::max(0L, r.right - r.left), std::max(0L, r.bottom - r.top),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT OknoUrovne::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    // Five paints a second: drawn straight, each pixel once, with the DC's
    // own brush (no bitmap or brush made per paint).
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    Kreslit(dc, ClientRect());
    EndPaint(m_hWnd, &ps);
    return 0;
}

void OknoUrovne::Kreslit(HDC dc, const RECT& r) const
{
    const COLORREF pozadi = GetSysColor(COLOR_BTNFACE);
    if (text_.empty()) {
        Vyplnit(dc, r, pozadi);
        return;
    }
    RECT pruh{r.left + 2, r.top + 3, std::max(r.left + 2, r.right - kSirkaTextu - 4), r.bottom - 3};
    // The margins around the bar; the text's rectangle fills its own.
    Vyplnit(dc, RECT{r.left, r.top, pruh.right, pruh.top}, pozadi);
    Vyplnit(dc, RECT{r.left, pruh.bottom, pruh.right, r.bottom}, pozadi);
    Vyplnit(dc, RECT{r.left, pruh.top, pruh.left, pruh.bottom}, pozadi);
    DrawEdge(dc, &pruh, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    const LONG sirka = pruh.right - pruh.left;
    const LONG konec = pruh.left + std::lround(sirka * Podil(decibely_));
    const struct {
        double do_;
        COLORREF barva;
    } pasma[] = {{kZelenaDo, RGB(0x2E, 0xA0, 0x3C)}, {kZlutaDo, RGB(0xE8, 0xA8, 0x00)}, {0.0, RGB(0xD8, 0x20, 0x20)}};
    LONG zacatek = pruh.left;
    for (const auto& p : pasma) {
        const LONG hranice = std::min(konec, pruh.left + std::lround(sirka * Podil(p.do_)));
        if (hranice > zacatek)
            Vyplnit(dc, RECT{zacatek, pruh.top, hranice, pruh.bottom}, p.barva);
        zacatek = std::max(zacatek, hranice);
    }
    Vyplnit(dc, RECT{zacatek, pruh.top, pruh.right, pruh.bottom}, GetSysColor(COLOR_WINDOW));

    RECT textRect{pruh.right + 1, r.top, r.right, r.bottom};
    HFONT pismo = reinterpret_cast<HFONT>(SendMessageW(GetParent(m_hWnd), WM_GETFONT, 0, 0));
    HGDIOBJ puvodni = pismo ? SelectObject(dc, pismo) : nullptr;
    SIZE velikost{};
    GetTextExtentPoint32W(dc, text_.c_str(), static_cast<int>(text_.size()), &velikost);
    SetBkColor(dc, pozadi);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    ExtTextOutW(dc, r.right - 2, (r.top + r.bottom - velikost.cy) / 2, ETO_OPAQUE | ETO_CLIPPED, &textRect,
                text_.c_str(), static_cast<UINT>(text_.size()), nullptr);
    if (puvodni)
        SelectObject(dc, puvodni);
}
