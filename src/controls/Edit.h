// Edits of the dialogs: the balloon-tip base `Edit`, the browse-button edits
// (`EditProchazeni` with `EditSlozka` and `EditSoubor`; the FTP folder edit
// derives from it too) and the numeric edit `EditCislo`. Each is attached to
// an edit the dialog template created.
#pragma once

#include "controls/Okno.h"

#include <commdlg.h>

#include <string>

namespace mirvak::winapi {

// Posted to the edit's parent after the user chose a path with the browse
// button: wParam the edit's control id, lParam the edit window.
inline constexpr UINT WM_CESTA_VYBRANA = WM_APP + 2002;
// Posted by the FTP folder edit when its browse button was clicked (0, 0).
inline constexpr UINT WM_PROCHAZET_FTP = WM_APP + 2005;

// An edit with a balloon tip.
class Edit : public OknoImplZaklad {
public:
    // Shows the balloon (EM_SHOWBALLOONTIP): E_INVALIDARG when the title or
    // the text is empty, E_FAIL when the edit refuses.
    HRESULT ShowBalloon();
    void SetBalloon(const std::wstring& titulek, const std::wstring& text, INT ikona = TTI_INFO)
    {
        titulekBalonu_ = titulek;
        textBalonu_ = text;
        ikonaBalonu_ = ikona;
    }
    void SetBalloonOnFocus(bool zapnuto) { balonPriFokusu_ = zapnuto; }
    std::wstring Text() const;

protected:
    Edit();

    INT ikonaBalonu_ = TTI_INFO;
    std::wstring textBalonu_;
    bool balonPriFokusu_ = false;
    std::wstring titulekBalonu_;
};

// An edit with a "..." browse button drawn inside its right end. Derived
// classes give the tool-tip text and the browse action.
class EditProchazeni : public Edit {
public:
    static constexpr int kSirkaTlacitka = 16;

    ~EditProchazeni() override;
    // Subclasses the edit, reserves the button's margin, adds the tool-tip and
    // sets `text` when given. E_INVALIDARG when `edit` is not a window; the
    // last error's code when the tool-tip or the subclassing fails.
    HRESULT Attach(HWND edit, const wchar_t* text = nullptr);
    // Releases the window, the tool-tip with it.
    void Destroy() override;

    HWND Tooltip() const { return tooltip_; }
    bool PointerOverButton() const { return nadTlacitkem_; }
    // The button's part of the client area that a click acts on.
    RECT ButtonRect() const;

    // What a click on the button does.
    virtual void Browse() = 0;

    MV_BEGIN_MSG_MAP(EditProchazeni)
    MV_MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MV_MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
    MV_MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MV_MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_END_MSG_MAP()

protected:
    virtual UINT TooltipTextId() const = 0;
    // Posts WM_CESTA_VYBRANA to the parent.
    void OznamitVyber() const;

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM l, BOOL& zpracovano);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    LRESULT OnLButtonUp(UINT, WPARAM w, LPARAM l, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    void ZrusitTooltip();
    bool NadTlacitkem(int x) const;

    bool nadTlacitkem_ = false;
    HWND tooltip_ = nullptr;
};

// A folder field: the button opens the system's folder dialog.
class EditSlozka : public EditProchazeni {
public:
    void Browse() override;

    MV_BEGIN_MSG_MAP(EditSlozka)
    MV_MESSAGE_HANDLER(OCM_CTLCOLOREDIT, OnCtlColor)
    MV_MESSAGE_HANDLER(OCM_CTLCOLORSTATIC, OnCtlColor)
    MV_CHAIN_MSG_MAP(EditProchazeni)
    MV_END_MSG_MAP()

protected:
    UINT TooltipTextId() const override;

private:
    LRESULT OnCtlColor(UINT, WPARAM w, LPARAM, BOOL&);
};

// Where the folder dialog starts for an edit text: the process's current
// directory when the text is empty or exactly "current", else the text.
std::wstring PocatecniSlozka(const std::wstring& text);

// A file field: the button opens the system's open-file dialog.
class EditSoubor : public EditProchazeni {
public:
    EditSoubor();
    // As EditProchazeni::Attach; 1 when `text` names a missing path or a
    // folder, 0 otherwise.
    HRESULT Attach(HWND edit, const wchar_t* text = nullptr);
    void Browse() override;

protected:
    UINT TooltipTextId() const override;

private:
    OPENFILENAMEW ofn_{};
};

// A numeric field with a range. An entry that is not a number or outside the
// range is silently replaced by the last accepted value when the edit loses
// the focus.
class EditCislo : public Edit {
public:
    ~EditCislo() override;
    // Adds ES_NUMBER, writes `hodnota`, remembers it as accepted and adds a
    // tool-tip with the range hint. A negative bound means none. E_INVALIDARG
    // when `edit` is not a window, E_HANDLE when the value cannot be written,
    // the last error's code when the tool-tip or the subclassing fails.
    HRESULT Attach(HWND edit, UINT hodnota, int minimum = 1, int maximum = 10000000);
    void Destroy() override;

    UINT Value() const { return posledni_; }
    HWND Tooltip() const { return tooltip_; }
    std::wstring RangeHint() const;

    MV_BEGIN_MSG_MAP(EditCislo)
    MV_MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
    MV_MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_END_MSG_MAP()

private:
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    void ZrusitTooltip();

    int minimum_ = 1;
    int maximum_ = 10000000;
    UINT posledni_ = 0;
    HWND tooltip_ = nullptr;
};

// The range hint of a numeric field (a negative bound means none).
std::wstring TextRozsahu(int minimum, int maximum);

} // namespace mirvak::winapi
