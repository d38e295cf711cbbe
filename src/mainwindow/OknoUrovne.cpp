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

void Vyplnit(HDC dc, RECT r, COLORREF barva)
{
    HBRUSH stetec = CreateSolidBrush(barva);
    if (stetec) {
        FillRect(dc, &r, stetec);
        DeleteObject(stetec);
    }
}

} // namespace

HRESULT OknoUrovne::Vytvorit(HWND status)
{
    return Create(status, RECT{0, 0, 0, 0}, nullptr, WS_CHILD | WS_CLIPSIBLINGS);
}

void OknoUrovne::Nastavit(const std::wstring& text, double decibely)
{
    if (text == text_ && decibely == decibely_)
        return;
    text_ = text;
    decibely_ = decibely;
    if (IsWindow())
        InvalidateRect(m_hWnd, nullptr, FALSE);
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
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT r = ClientRect();
    // Drawn off screen first: ten updates a second must not flicker.
    HDC pamet = CreateCompatibleDC(dc);
    HBITMAP obraz = pamet ? CreateCompatibleBitmap(dc, std::max(1L, r.right), std::max(1L, r.bottom)) : nullptr;
    if (obraz) {
        HGDIOBJ puvodni = SelectObject(pamet, obraz);
        Kreslit(pamet, r);
        BitBlt(dc, 0, 0, r.right, r.bottom, pamet, 0, 0, SRCCOPY);
        SelectObject(pamet, puvodni);
        DeleteObject(obraz);
    } else {
        Kreslit(dc, r);
    }
    if (pamet)
        DeleteDC(pamet);
    EndPaint(m_hWnd, &ps);
    return 0;
}

void OknoUrovne::Kreslit(HDC dc, const RECT& r) const
{
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (text_.empty())
        return;
    RECT pruh{r.left + 2, r.top + 3, std::max(r.left + 2, r.right - kSirkaTextu - 4), r.bottom - 3};
    DrawEdge(dc, &pruh, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    Vyplnit(dc, pruh, GetSysColor(COLOR_WINDOW));
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

    RECT textRect{r.right - kSirkaTextu - 2, r.top, r.right - 2, r.bottom};
    HFONT pismo = reinterpret_cast<HFONT>(SendMessageW(GetParent(m_hWnd), WM_GETFONT, 0, 0));
    HGDIOBJ puvodni = pismo ? SelectObject(dc, pismo) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &textRect,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (puvodni)
        SelectObject(dc, puvodni);
}
