// Owner-drawn static texts in fixed colours and fonts: headings and values
// of the dialogs. Each is attached to a static the template created; the
// parent must reflect notifications (WM_DRAWITEM) to it.
#pragma once

#include "app/Handles.h"
#include "controls/Okno.h"

namespace mirvak::winapi {

class StaticText : public OknoImplZaklad {
public:
    enum Zarovnani : int { kVlevo = 0, kNaStred = 1, kVpravo = 2 };
    // Keeps the font's current height.
    static constexpr int kVyskaPuvodni = 65535;

    StaticText() = default;
    ~StaticText() override;

    // Subclasses the static, makes it owner-drawn (SS_OWNERDRAW | SS_NOTIFY)
    // and gives it a font of its own: a copy of its current font with the
    // given height. E_INVALIDARG when `okno` is not a window; the last
    // error's code when subclassing or the font fails.
    HRESULT Attach(HWND okno, COLORREF barva = RGB(0, 0, 0), int vyskaPisma = kVyskaPuvodni);
    // Replaces the font by a copy with face `pismo` (at least two
    // characters, else E_INVALIDARG); redraws when visible.
    HRESULT SetFaceName(const wchar_t* pismo);
    void SetAlignment(int zarovnani) { zarovnani_ = zarovnani; }
    // Releases the window (previous procedure back) and the font.
    void Destroy() override;

    HFONT Font() const { return static_cast<HFONT>(pismo_.Get()); }
    COLORREF TextColor() const { return barva_; }
    int Alignment() const { return zarovnani_; }
    // The colour text is drawn in: the system's window-text colour unless
    // that is black (so high-contrast schemes win), else our own.
    COLORREF EffectiveTextColor() const;

    MV_BEGIN_MSG_MAP(StaticText)
    MV_MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_END_MSG_MAP()

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano);

    COLORREF barva_ = RGB(0, 0, 0);
    GdiObject pismo_;
    HBRUSH pozadi_ = GetSysColorBrush(COLOR_BTNFACE);
    int zarovnani_ = kVlevo;
};

// Small heading: dark red, Verdana, height -15, centred.
class StaticNadpisMaly : public StaticText {
public:
    HRESULT Attach(HWND okno);
};

// Heading: dark red, Verdana, height -20, left.
class StaticNadpis : public StaticText {
public:
    HRESULT Attach(HWND okno);
};

// A value beside its label: dark green in the dialog's own font.
class StaticHodnota : public StaticText {
public:
    HRESULT Attach(HWND okno);
};

} // namespace mirvak::winapi
