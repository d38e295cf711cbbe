// Windows the control tests host their controls in.
#pragma once

#include "controls/Okno.h"
#include "harness/Dialogy.h"
#include "harness/TestFolder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tonbar::test {

// A top-level window that reflects its children's notifications and records
// the path-chosen and browse-FTP messages its edits post.
class Hostitel : public mirvak::winapi::OknoImpl<Hostitel> {
public:
    struct Oznameni {
        UINT zprava;
        WPARAM w;
        LPARAM l;
    };
    std::vector<Oznameni> oznameni;

    HRESULT Vytvorit(int sirka = 400, int vyska = 300)
    {
        RECT r{50, 50, 50 + sirka, 50 + vyska};
        return Create(nullptr, r, L"hostitel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    }
    // A child control of a system class.
    HWND Prvek(const wchar_t* trida, int id, DWORD styl, RECT r, const wchar_t* text = L"")
    {
        return CreateWindowExW(0, trida, text, WS_CHILD | WS_VISIBLE | styl, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    }

    MV_BEGIN_MSG_MAP(Hostitel)
    MV_MESSAGE_HANDLER(WM_APP + 2002, Zaznamenat)
    MV_MESSAGE_HANDLER(WM_APP + 2005, Zaznamenat)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT Zaznamenat(UINT zprava, WPARAM w, LPARAM l, BOOL&)
    {
        oznameni.push_back({zprava, w, l});
        return 0;
    }
};

// A control printed into a 32-bit bitmap the way the system asks for it
// (an owner-drawn static sends WM_DRAWITEM to its parent, which reflects it).
class Obraz {
public:
    explicit Obraz(HWND prvek)
    {
        GetClientRect(prvek, &r_);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof bi.bmiHeader, r_.right, -r_.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc_ = CreateCompatibleDC(nullptr);
        bitmapa_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bity_), nullptr, 0);
        puvodni_ = SelectObject(dc_, bitmapa_);
        // Something no control draws, so that untouched pixels show.
        std::fill(bity_, bity_ + r_.right * r_.bottom, 0x00123456u);
        SendMessageW(prvek, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
        GdiFlush();
    }
    ~Obraz()
    {
        SelectObject(dc_, puvodni_);
        DeleteObject(bitmapa_);
        DeleteDC(dc_);
    }
    Obraz(const Obraz&) = delete;
    Obraz& operator=(const Obraz&) = delete;

    COLORREF Barva(int x, int y) const
    {
        uint32_t p = bity_[y * r_.right + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Sirka() const { return r_.right; }
    int Vyska() const { return r_.bottom; }
    // Bounds of the pixels of exactly `barva`; false when there are none.
    bool Rozsah(COLORREF barva, RECT& r) const
    {
        r = {1 << 30, 1 << 30, -1, -1};
        for (int y = 0; y < Vyska(); ++y)
            for (int x = 0; x < Sirka(); ++x)
                if (Barva(x, y) == barva)
                    r = {std::min(r.left, LONG(x)), std::min(r.top, LONG(y)), std::max(r.right, LONG(x)),
                         std::max(r.bottom, LONG(y))};
        return r.right >= 0;
    }

private:
    RECT r_{};
    HDC dc_ = nullptr;
    HBITMAP bitmapa_ = nullptr;
    HGDIOBJ puvodni_ = nullptr;
    uint32_t* bity_ = nullptr;
};

} // namespace tonbar::test
