// Entry point of Tonbar.exe.
#include <windows.h>
#include <objbase.h>

#include "app/Aplikace.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    CoInitialize(nullptr);
    static Aplikace aplikace;
    HRESULT hr = aplikace.Inicializovat(instance);
    if (hr != S_OK) {
        CoUninitialize();
        return static_cast<int>(hr);
    }
    MSG zprava{};
    while (GetMessageW(&zprava, nullptr, 0, 0) > 0) {
        TranslateMessage(&zprava);
        DispatchMessageW(&zprava);
    }
    HRESULT konec = aplikace.Ukoncit();
    CoUninitialize();
    return konec != S_OK ? static_cast<int>(konec) : static_cast<int>(zprava.wParam);
}
