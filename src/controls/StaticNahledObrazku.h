// A picture preview on a static: the picture (GDI+) is drawn at its own size
// when it fits, else shrunk keeping its aspect ratio, at the top-left corner.
// The parent must reflect notifications (WM_DRAWITEM) to it; GDI+ must be
// started by the program.
#pragma once

#include "controls/Okno.h"

#include <memory>

namespace mirvak::winapi {

// The size a w x h picture is drawn at in a W x H box.
SIZE VelikostNahledu(UINT w, UINT h, int W, int H);

class StaticNahledObrazku : public OknoImplZaklad {
public:
    StaticNahledObrazku();
    ~StaticNahledObrazku() override;

    // Subclasses the static, makes it owner-drawn and loads `cesta` when
    // given. E_INVALIDARG when `okno` is not a window; otherwise what
    // LoadPicture returns (0 without a path).
    HRESULT Attach(HWND okno, const wchar_t* cesta = nullptr);
    // 0 when loaded; 1 when there is no path or no such file (the preview is
    // emptied); E_INVALIDARG when the file is not a picture GDI+ can read.
    HRESULT LoadPicture(const wchar_t* cesta);
    void Destroy() override;

    bool HasPicture() const { return obrazek_ != nullptr; }
    SIZE PictureSize() const;

    MV_BEGIN_MSG_MAP(StaticNahledObrazku)
    MV_MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
    MV_END_MSG_MAP()

private:
    struct Uvolnit {
        void operator()(void* obrazek) const;
    };
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&);
    void Prekreslit() const;

    std::unique_ptr<void, Uvolnit> obrazek_;  // a GpBitmap
};

} // namespace mirvak::winapi
