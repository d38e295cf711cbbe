#include "mainwindow/OknoHlavni.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "resources/resource.h"

namespace {

constexpr UINT WM_SPUSTENI = WM_APP + 3;
HWND g_okno = nullptr;

// What the window does when the user closes it: save what must survive.
void ZaviraciSekvence()
{
    if (!g_aplikace)
        return;
    g_konfigurace.posledni_cislo = g_aplikace->cisloZaznamu;
    UlozitPosledniCislo(g_konfigurace);
}

void AkcePoSpusteni()
{
    g_aplikace->NastavitPrioritu();
    if (g_konfigurace.zapis_udalosti & 2)
        ZapsatInformaci(NacistText(IDS_UDALOST_SPUSTENI, g_aplikace->nazevProduktu.c_str()).c_str());
}

LRESULT CALLBACK ProceduraOkna(HWND okno, UINT zprava, WPARAM w, LPARAM l)
{
    switch (zprava) {
    case WM_SPUSTENI:
        AkcePoSpusteni();
        return 0;
    case WM_COMMAND:
        if (LOWORD(w) == 40001)
            PostMessageW(okno, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
    case WM_ENDSESSION:
        ZaviraciSekvence();
        break;
    case WM_DESTROY:
        g_okno = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(okno, zprava, w, l);
}

} // namespace

HWND HlavniOkno()
{
    return g_okno;
}

HRESULT VytvoritHlavniOkno(Aplikace& a)
{
    WNDCLASSEXW trida{sizeof trida};
    trida.lpfnWndProc = ProceduraOkna;
    trida.hInstance = a.instance;
    trida.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    trida.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    trida.lpszClassName = kTridaHlavnihoOkna;
    trida.hIcon = a.velkaIkona;
    trida.hIconSm = a.malaIkona;
    if (!RegisterClassExW(&trida))
        return KodPosledniChyby();

    std::wstring titulek = NacistText(IDS_PRIPRAVEN, a.nazevProduktu.c_str());
    g_okno = CreateWindowExW(0, kTridaHlavnihoOkna, titulek.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                             nullptr, nullptr, a.instance, nullptr);
    if (!g_okno)
        return KodPosledniChyby();
    SendMessageW(g_okno, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(a.velkaIkona));
    SendMessageW(g_okno, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(a.malaIkona));
    ShowWindow(g_okno, SW_SHOW);
    UpdateWindow(g_okno);
    PostMessageW(g_okno, WM_SPUSTENI, 0, 0);
    return S_OK;
}

void ZnicitHlavniOkno()
{
    // After a normal close the window is already gone; nothing to do then.
    if (g_okno && IsWindow(g_okno)) {
        HWND okno = g_okno;
        g_okno = nullptr;
        if (!DestroyWindow(okno))
            FatalniChybaPosledni();
    }
    g_okno = nullptr;
}
