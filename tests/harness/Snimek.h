// Screenshots of windows for the tests that leave pictures of their dialogs.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

namespace tonbar::test {

// Copies what the screen shows of `okno` into the PNG file `soubor`, after letting the window paint. True
// when written.
inline bool UlozitSnimekOkna(HWND okno, const std::wstring& soubor)
{
    RedrawWindow(okno, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    RECT r{};
    Gdiplus::GdiplusStartupInput vstup;
    ULONG_PTR token = 0;
    if (!GetWindowRect(okno, &r) || r.right <= r.left || r.bottom <= r.top ||
        Gdiplus::GdiplusStartup(&token, &vstup, nullptr) != Gdiplus::Ok)
        return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    bool ok = false;
    HDC obrazovka = GetDC(nullptr);
    HDC pamet = CreateCompatibleDC(obrazovka);
    HBITMAP bitmapa = CreateCompatibleBitmap(obrazovka, w, h);
    HGDIOBJ puvodni = SelectObject(pamet, bitmapa);
    const BOOL zkopirovano = BitBlt(pamet, 0, 0, w, h, obrazovka, r.left, r.top, SRCCOPY);
    SelectObject(pamet, puvodni);
    if (zkopirovano) {
        Gdiplus::Bitmap obraz(bitmapa, nullptr);
        // The PNG encoder's class id.
        const CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ok = obraz.Save(soubor.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmapa);
    DeleteDC(pamet);
    ReleaseDC(nullptr, obrazovka);
    Gdiplus::GdiplusShutdown(token);
    return ok;
}

// The same under `jmeno` into TONBAR_SCREENSHOT_DIR, else build/screenshots of the source tree (created).
inline bool SnimekDoSlozky(HWND okno, const std::wstring& jmeno)
{
    wchar_t env[MAX_PATH] = {};
    std::wstring slozka = L"Z:";
    for (char c : std::string(TONBAR_SOURCE_DIR "/build/screenshots"))
        slozka += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    if (GetEnvironmentVariableW(L"TONBAR_SCREENSHOT_DIR", env, MAX_PATH))
        slozka = env;
    CreateDirectoryW(slozka.c_str(), nullptr);
    return UlozitSnimekOkna(okno, slozka + L"\\" + jmeno);
}

} // namespace tonbar::test
