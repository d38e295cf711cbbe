#include "controls/StaticNahledObrazku.h"

#include "app/Chyby.h"

#include <shlwapi.h>

#include <objbase.h>

#include <gdiplus.h>

namespace mirvak::winapi {

namespace gp = Gdiplus::DllExports;

SIZE VelikostNahledu(UINT w, UINT h, int W, int H)
{
    if (w == 0 || h == 0 || W <= 0 || H <= 0)
        return {0, 0};
    if (w <= static_cast<UINT>(W) && h <= static_cast<UINT>(H))
        return {static_cast<LONG>(w), static_cast<LONG>(h)};
    // Keep the aspect ratio: the tighter of the two scales wins.
    if (static_cast<double>(W) / w > static_cast<double>(H) / h)
        return {static_cast<LONG>(static_cast<uint64_t>(w) * static_cast<uint64_t>(H) / h), H};
    return {W, static_cast<LONG>(static_cast<uint64_t>(h) * static_cast<uint64_t>(W) / w)};
}

void StaticNahledObrazku::Uvolnit::operator()(void* obrazek) const
{
    gp::GdipDisposeImage(static_cast<Gdiplus::GpImage*>(obrazek));
}

StaticNahledObrazku::StaticNahledObrazku() = default;

StaticNahledObrazku::~StaticNahledObrazku()
{
    Destroy();
}

HRESULT StaticNahledObrazku::Attach(HWND okno, const wchar_t* cesta)
{
    if (!okno || !::IsWindow(okno))
        return E_INVALIDARG;
    Destroy();
    HRESULT hr = SubclassWindow(okno);
    if (FAILED(hr))
        return hr;
    LONG_PTR styl = GetWindowLongPtrW(okno, GWL_STYLE);
    SetWindowLongPtrW(okno, GWL_STYLE, (styl & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_OWNERDRAW | SS_NOTIFY);
    if (cesta)
        return LoadPicture(cesta);
    return S_OK;
}

void StaticNahledObrazku::Destroy()
{
    UnsubclassWindow();
    obrazek_.reset();
}

HRESULT StaticNahledObrazku::LoadPicture(const wchar_t* cesta)
{
    obrazek_.reset();
    if (!cesta || !*cesta || !PathFileExistsW(cesta) || PathIsDirectoryW(cesta)) {
        Prekreslit();
        return 1;
    }
    Gdiplus::GpBitmap* bitmapa = nullptr;
    if (gp::GdipCreateBitmapFromFile(cesta, &bitmapa) != Gdiplus::Ok || !bitmapa) {
        if (bitmapa)
            gp::GdipDisposeImage(bitmapa);
        Prekreslit();
        return E_INVALIDARG;
    }
    obrazek_.reset(bitmapa);
    Prekreslit();
    return S_OK;
}

SIZE StaticNahledObrazku::PictureSize() const
{
    UINT w = 0, h = 0;
    if (obrazek_) {
        auto* obrazek = static_cast<Gdiplus::GpImage*>(obrazek_.get());
        gp::GdipGetImageWidth(obrazek, &w);
        gp::GdipGetImageHeight(obrazek, &h);
    }
    return {static_cast<LONG>(w), static_cast<LONG>(h)};
}

void StaticNahledObrazku::Prekreslit() const
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT StaticNahledObrazku::OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&)
{
    auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    FillRect(di->hDC, &di->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!obrazek_)
        return TRUE;
    SIZE puvodni = PictureSize();
    SIZE s = VelikostNahledu(static_cast<UINT>(puvodni.cx), static_cast<UINT>(puvodni.cy),
                             di->rcItem.right - di->rcItem.left, di->rcItem.bottom - di->rcItem.top);
    if (s.cx <= 0 || s.cy <= 0)
        return TRUE;
    Gdiplus::GpImage* nahled = nullptr;
    if (gp::GdipGetImageThumbnail(static_cast<Gdiplus::GpImage*>(obrazek_.get()), static_cast<UINT>(s.cx),
                                  static_cast<UINT>(s.cy), &nahled, nullptr, nullptr) != Gdiplus::Ok ||
        !nahled)
        return TRUE;
    std::unique_ptr<void, Uvolnit> drzet(nahled);
    Gdiplus::GpGraphics* g = nullptr;
    if (gp::GdipCreateFromHDC(di->hDC, &g) == Gdiplus::Ok && g) {
        gp::GdipSetPageUnit(g, Gdiplus::UnitPixel);
        gp::GdipDrawImageRectI(g, nahled, di->rcItem.left, di->rcItem.top, s.cx, s.cy);
        gp::GdipDeleteGraphics(g);
    }
    return TRUE;
}

} // namespace mirvak::winapi
