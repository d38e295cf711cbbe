// The input level in the status bar's third part: a bar of the last peak,
// green up to -12 dBFS, amber to -3 and red above, with the level's text
// beside it. A thin window: what it shows is decided by HlidaniUrovne. It
// lies over its part of the status bar and answers the bar's SB_GETTEXT for
// that part, so readers from outside get the same text: setting it in the bar
// ten times a second would repaint the whole bar each time.
#pragma once

#include "controls/Okno.h"

#include <string>

class OknoUrovne : public mirvak::winapi::OknoImpl<OknoUrovne> {
public:
    static const wchar_t* ClassName() { return L"tonbar_uroven"; }
    static void ModifyClass(WNDCLASSEXW& c) { c.hCursor = LoadCursorW(nullptr, IDC_ARROW); }

    // A child of the status bar over its part `cast`, hidden until placed.
    HRESULT Vytvorit(HWND status, int cast);
    // Shows a level; an empty text leaves the part empty.
    void Nastavit(const std::wstring& text, double decibely);
    const std::wstring& Text() const { return text_; }
    // Covers `r` (status bar coordinates).
    void Umistit(const RECT& r);

    MV_BEGIN_MSG_MAP(OknoUrovne)
    MV_MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
    MV_MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_END_MSG_MAP()

private:
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    static LRESULT CALLBACK ProceduraStatusu(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ja);
    void Kreslit(HDC dc, const RECT& r) const;

    std::wstring text_;
    double decibely_ = -1000;
    int cast_ = -1;

};
