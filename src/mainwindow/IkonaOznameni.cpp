#include "mainwindow/IkonaOznameni.h"

#include "app/Chyby.h"

#include <algorithm>
#include <atomic>
#include <cwchar>

namespace {

std::atomic<IkonaOznameni*> g_ikonaHlavni{nullptr};

// Copies at most the field's room, cutting a long text with an ellipsis.
template <size_t N>
void Kopirovat(wchar_t (&cil)[N], const std::wstring& text) {
    if (text.size() < N) {
        std::wmemcpy(cil, text.c_str(), text.size() + 1);
        return;
    }
    std::wmemcpy(cil, text.c_str(), N - 4);
    std::wmemcpy(cil + N - 4, L"...", 4);
}

std::wstring TextOkna(HWND okno) {
    int delka = GetWindowTextLengthW(okno);
    std::wstring text(static_cast<size_t>(std::max(delka, 0)) + 1, L'\0');
    int precteno = GetWindowTextW(okno, text.data(), delka + 1);
    text.resize(static_cast<size_t>(std::max(precteno, 0)));
    return text;
}

HICON IkonaOkna(HWND okno) {
    auto ikona = reinterpret_cast<HICON>(SendMessageW(okno, WM_GETICON, ICON_SMALL, 0));
    if (!ikona) ikona = reinterpret_cast<HICON>(GetClassLongPtrW(okno, GCLP_HICONSM));
    if (!ikona) ikona = reinterpret_cast<HICON>(SendMessageW(okno, WM_GETICON, ICON_BIG, 0));
    if (!ikona) ikona = reinterpret_cast<HICON>(GetClassLongPtrW(okno, GCLP_HICON));
    return ikona;
}

}  // namespace

IkonaOznameni* IkonaHlavnihoOkna() { return g_ikonaHlavni.load(); }
void NastavitIkonuHlavnihoOkna(IkonaOznameni* ikona) { g_ikonaHlavni.store(ikona); }

bool mirvak::winapi::NotifyIconMessageMap::ObsluhaZpravyIkony(UINT msg, WPARAM wParam,
                                                              LPARAM lParam) {
    if (msg != WM_IKONA_OZNAMENI) return false;
    UINT udalost = LOWORD(lParam);
    UINT id = HIWORD(lParam);
    switch (udalost) {
    case WM_CONTEXTMENU: KontextoveMenu(id, wParam, id); break;
    case WM_LBUTTONUP: LeveTlacitkoNahoru(id, wParam, id); break;
    case WM_LBUTTONDOWN: LeveTlacitkoDolu(id, wParam, id); break;
    case WM_MBUTTONUP: StredniTlacitkoNahoru(id, wParam, id); break;
    case WM_LBUTTONDBLCLK: DvojityKlik(id, wParam, id); break;
    case NIN_POPUPOPEN: OtevreniPopisu(id, wParam, id); break;
    case NIN_POPUPCLOSE: ZavreniPopisu(id, wParam, id); break;
    default: break;
    }
    return true;
}

IkonaOznameni::~IkonaOznameni() {
    if (IkonaHlavnihoOkna() == this) NastavitIkonuHlavnihoOkna(nullptr);
    if (pridana_) {
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
}

NOTIFYICONDATAW IkonaOznameni::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(NOTIFYICONDATAW);  // 976 bytes on 64-bit
    data.hWnd = okno_;
    data.uID = id_;
    data.uFlags = flags;
    return data;
}

HRESULT IkonaOznameni::Pridat(HWND okno, UINT id, bool bezTipu, bool zvuk) {
    if (pridana_) Odebrat();
    if (!okno || !IsWindow(okno)) FatalniChybaKod(E_INVALIDARG);
    HICON ikona = IkonaOkna(okno);
    if (!ikona) FatalniChybaKod(E_INVALIDARG);
    okno_ = okno;
    id_ = id;
    bezTipu_ = bezTipu;
    zvuk_ = zvuk;
    ikona_ = ikona;
    tip_ = TextOkna(okno);
    titulek_ = tip_;

    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | (bezTipu ? 0 : NIF_SHOWTIP));
    data.uCallbackMessage = WM_IKONA_OZNAMENI;
    data.hIcon = ikona;
    Kopirovat(data.szTip, tip_);
    if (!Shell_NotifyIconW(NIM_ADD, &data)) return E_FAIL;
    pridana_ = true;
    data.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &data);
    return S_OK;
}

HRESULT IkonaOznameni::NastavitIkonu(HICON ikona) {
    ikona_ = ikona;
    if (!pridana_) return E_FAIL;
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | (bezTipu_ ? 0 : NIF_SHOWTIP));
    data.hIcon = ikona;
    Kopirovat(data.szTip, tip_);
    if (!Shell_NotifyIconW(NIM_MODIFY, &data)) {
        ikona_ = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT IkonaOznameni::NastavitTip(const wchar_t* text) {
    tip_ = text ? text : L"";
    if (!pridana_) return E_FAIL;
    NOTIFYICONDATAW data = Data(NIF_TIP | NIF_SHOWTIP);
    Kopirovat(data.szTip, tip_);
    return Shell_NotifyIconW(NIM_MODIFY, &data) ? S_OK : E_FAIL;
}

void IkonaOznameni::NastavitTitulek(const wchar_t* text) {
    titulek_ = (text && *text) ? std::wstring(text) : TextOkna(okno_);
}

HRESULT IkonaOznameni::ZobrazitBublinu(const wchar_t* text, DWORD druh, HICON vlastniIkona,
                                       bool velka) {
    {
        std::lock_guard<std::mutex> zamek(mutex_);
        posledni_.text = text ? text : L"";
        posledni_.druh = druh;
        ++posledni_.poradi;
    }
    if (!pridana_) return E_FAIL;
    // Hide a balloon still shown, so the new one is not queued behind it.
    NOTIFYICONDATAW skryt = Data(NIF_INFO);
    Shell_NotifyIconW(NIM_MODIFY, &skryt);

    NOTIFYICONDATAW data = Data(NIF_INFO | (bezTipu_ ? 0 : NIF_SHOWTIP));
    Kopirovat(data.szInfo, std::wstring(text ? text : L""));
    Kopirovat(data.szInfoTitle, titulek_);
    data.uTimeout = 11000;
    DWORD flags = druh;
    if (vlastniIkona) {
        if (druh == NIIF_INFO) flags = NIIF_USER;
        data.hIcon = vlastniIkona;
        data.hBalloonIcon = vlastniIkona;
    }
    if (!zvuk_) flags |= NIIF_NOSOUND;
    if (velka) flags |= NIIF_LARGE_ICON;
    data.dwInfoFlags = flags;
    return Shell_NotifyIconW(NIM_MODIFY, &data) ? S_OK : E_FAIL;
}

void IkonaOznameni::Odebrat() {
    if (pridana_) {
        NOTIFYICONDATAW data = Data(0);
        if (!Shell_NotifyIconW(NIM_DELETE, &data)) FatalniChybaKod(E_FAIL);
    }
    pridana_ = false;
    okno_ = nullptr;
    id_ = 0;
    ikona_ = nullptr;
    tip_.clear();
    titulek_.clear();
}

IkonaOznameni::Bublina IkonaOznameni::PosledniBublina() const {
    std::lock_guard<std::mutex> zamek(mutex_);
    return posledni_;
}
