// Helpers the dialogs share: centring and tool-tips.
#include "controls/Okno.h"

#include "app/Chyby.h"
#include "mainwindow/UmisteniOkna.h"

namespace mirvak::winapi {

HRESULT CentrovatDialog(HWND dialog)
{
    RECT r{};
    if (!GetWindowRect(dialog, &r))
        return E_FAIL;
    HWND vlastnik = GetWindow(dialog, GW_OWNER);
    bool naVlastnika = vlastnik && IsWindowVisible(vlastnik) && !IsIconic(vlastnik);
    HMONITOR monitor = MonitorFromWindow(naVlastnika ? vlastnik : dialog, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT oblast{};
    if (monitor && GetMonitorInfoW(monitor, &info))
        oblast = info.rcWork;
    else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &oblast, 0))
        return E_FAIL;
    RECT ref = oblast;
    if (naVlastnika) {
        // The owner's client area in screen coordinates.
        RECT klient{};
        if (GetClientRect(vlastnik, &klient)) {
            MapWindowPoints(vlastnik, nullptr, reinterpret_cast<POINT*>(&klient), 2);
            ref = klient;
        }
    }
    POINT p = PoziceNaStredu(ref, oblast, r.right - r.left, r.bottom - r.top);
    if (!SetWindowPos(dialog, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
        return E_FAIL;
    return S_OK;
}

HWND VytvoritTooltip(HWND dialog)
{
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (tip)
        SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return tip;
}

HRESULT PridatTooltip(HWND tooltip, HWND dialog, int idPrvku, const wchar_t* text)
{
    HWND prvek = GetDlgItem(dialog, idPrvku);
    if (!tooltip || !prvek || !text)
        return E_INVALIDARG;
    std::wstring popis = IS_INTRESOURCE(text)
                             ? NacistRetezec(static_cast<UINT>(reinterpret_cast<UINT_PTR>(text)))
                             : std::wstring(text);
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    nastroj.hwnd = dialog;
    nastroj.uId = reinterpret_cast<UINT_PTR>(prvek);
    nastroj.lpszText = popis.data();
    return SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&nastroj)) ? S_OK : E_FAIL;
}

} // namespace mirvak::winapi
