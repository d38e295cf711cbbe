#include "mainwindow/UmisteniOkna.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstring>

namespace mirvak::winapi {

namespace {

constexpr DWORD kVelikostZaznamu = sizeof(UlozeneUmisteni);

[[noreturn]] void ChybiKlic()
{
    FatalniChyba(NacistText(IDS_KLIC_UMISTENI_CHYBI).c_str());
}

// The value name: the window's class name (at most 255 characters).
HRESULT NazevHodnoty(HWND okno, std::wstring& nazev)
{
    wchar_t trida[256];
    int n = GetClassNameW(okno, trida, 256);
    if (n <= 0)
        return KodPosledniChyby();
    nazev.assign(trida, static_cast<size_t>(n));
    return S_OK;
}

bool PracovniOblast(HMONITOR monitor, RECT& oblast)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !GetMonitorInfoW(monitor, &info))
        return false;
    oblast = info.rcWork;
    return true;
}

// Work area nearest to the window; the primary work area when the monitor
// cannot be asked.
RECT OblastOkna(HWND okno)
{
    RECT oblast{};
    if (PracovniOblast(MonitorFromWindow(okno, MONITOR_DEFAULTTONEAREST), oblast))
        return oblast;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &oblast, 0))
        oblast = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return oblast;
}

} // namespace

std::wstring KlicUmisteni(const std::wstring& klicAplikace)
{
    return FormatovatText(L"%s\\parametry_oken", klicAplikace.c_str());
}

HRESULT SavePlacement(const WindowPlacement& umisteni)
{
    if (umisteni.key.empty())
        ChybiKlic();
    HWND okno = umisteni.window;
    if (!IsWindowVisible(okno))
        return 1;
    std::wstring nazev;
    HRESULT hr = NazevHodnoty(okno, nazev);
    if (FAILED(hr))
        return hr;
    RECT r{};
    if (!GetWindowRect(okno, &r))
        return KodPosledniChyby();
    // A minimized window keeps the placement stored before. Its rectangle
    // sits at the system's far-negative parking place; an ordinary window on
    // a monitor left of and above the primary one is still saved.
    if (IsIconic(okno) || (r.left <= -32000 && r.top <= -32000))
        return 1;

    UlozeneUmisteni zaznam{};
    zaznam.left = r.left;
    zaznam.top = r.top;
    zaznam.right = r.right;
    zaznam.bottom = r.bottom;
    zaznam.topmost = (GetWindowLongPtrW(okno, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0;

    RegKey klic;
    LSTATUS s = RegOpenKeyExW(HKEY_CURRENT_USER, umisteni.key.c_str(), 0, KEY_READ | KEY_WRITE, klic.Put());
    if (s != ERROR_SUCCESS) {
        s = RegCreateKeyExW(HKEY_CURRENT_USER, umisteni.key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            klic.Put(), nullptr);
        if (s != ERROR_SUCCESS)
            return KodChyby(static_cast<DWORD>(s));
    }
    s = RegSetValueExW(klic.Get(), nazev.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&zaznam),
                       kVelikostZaznamu);
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));
    return S_OK;
}

HRESULT RestorePlacement(const WindowPlacement& umisteni)
{
    if (umisteni.key.empty())
        ChybiKlic();
    HWND okno = umisteni.window;
    std::wstring nazev;
    HRESULT hr = NazevHodnoty(okno, nazev);
    if (FAILED(hr))
        return hr;
    RegKey klic;
    LSTATUS s = RegOpenKeyExW(HKEY_CURRENT_USER, umisteni.key.c_str(), 0, KEY_READ, klic.Put());
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));

    // Only a value of exactly the record's size is a placement: a shorter
    // one would leave fields unread, a longer one is something else.
    UlozeneUmisteni zaznam{};
    DWORD typ = 0;
    DWORD velikost = kVelikostZaznamu;
    s = RegQueryValueExW(klic.Get(), nazev.c_str(), nullptr, &typ, reinterpret_cast<BYTE*>(&zaznam), &velikost);
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));
    if (typ != REG_BINARY || velikost != kVelikostZaznamu)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (zaznam.right <= zaznam.left || zaznam.bottom <= zaznam.top)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

    if (!SetWindowPos(okno, nullptr, zaznam.left, zaznam.top, zaznam.right - zaznam.left,
                      zaznam.bottom - zaznam.top, SWP_NOZORDER | SWP_NOACTIVATE))
        return KodPosledniChyby();
    FitToWorkArea(okno);
    if (zaznam.topmost)
        SetWindowPos(okno, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT RestoreOrCenter(const WindowPlacement& umisteni)
{
    HRESULT hr = RestorePlacement(umisteni);
    if (hr != S_OK)
        CenterWindow(umisteni.window);
    return hr;
}

bool PoziceVPracovniOblasti(const RECT& r, const RECT& w, POINT& pozice)
{
    LONG x = r.left, y = r.top;
    bool posun = false;
    if (r.left < w.left) {
        x = w.left;
        posun = true;
    }
    // Pulled back from the right and bottom edges to 10 pixels inside,
    // measured from the work area's own edge (so also on monitors whose work
    // area does not start at 0).
    if (r.left > w.right - 10) {
        x = w.right - 10;
        posun = true;
    }
    if (r.top < w.top) {
        y = w.top;
        posun = true;
    }
    if (r.top > w.bottom - 10) {
        y = w.bottom - 10;
        posun = true;
    }
    if (r.right > w.right) {
        x = std::max(r.left - r.right + w.right, w.left);
        posun = true;
    }
    if (r.bottom > w.bottom) {
        y = std::max(r.top - r.bottom + w.bottom, w.top);
        posun = true;
    }
    pozice = {x, y};
    return posun;
}

HRESULT FitToWorkArea(HWND okno)
{
    RECT oblast{};
    if (!PracovniOblast(MonitorFromWindow(okno, MONITOR_DEFAULTTONEAREST), oblast))
        return 1;
    RECT r{};
    if (!GetWindowRect(okno, &r))
        return KodPosledniChyby();
    POINT p{};
    if (!PoziceVPracovniOblasti(r, oblast, p))
        return S_OK;
    if (!SetWindowPos(okno, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
        return KodPosledniChyby();
    return S_OK;
}

POINT PoziceNaStredu(const RECT& ref, const RECT& oblast, int w, int h)
{
    LONG x = (ref.left + ref.right) / 2 - w / 2;
    LONG y = (ref.top + ref.bottom) / 2 - h / 2;
    // The left and top edges win over the right and bottom ones.
    if (x + w > oblast.right)
        x = oblast.right - w;
    if (x < oblast.left)
        x = oblast.left;
    if (y + h > oblast.bottom)
        y = oblast.bottom - h;
    if (y < oblast.top)
        y = oblast.top;
    return {x, y};
}

HRESULT CenterWindow(HWND okno)
{
    RECT r{};
    if (!GetWindowRect(okno, &r))
        return E_FAIL;
    RECT ref{}, oblast{};
    if (GetWindowLongPtrW(okno, GWL_STYLE) & WS_CHILD) {
        // Child windows are positioned in their parent's client coordinates.
        HWND rodic = GetParent(okno);
        if (!rodic || !GetClientRect(rodic, &oblast))
            return E_FAIL;
        ref = oblast;
    } else {
        HWND vlastnik = GetWindow(okno, GW_OWNER);
        if (vlastnik && IsWindowVisible(vlastnik) && !IsIconic(vlastnik) && GetWindowRect(vlastnik, &ref)) {
            oblast = OblastOkna(vlastnik);
        } else {
            oblast = OblastOkna(okno);
            ref = oblast;
        }
    }
    POINT p = PoziceNaStredu(ref, oblast, r.right - r.left, r.bottom - r.top);
    if (!SetWindowPos(okno, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
        return E_FAIL;
    return S_OK;
}

} // namespace mirvak::winapi
