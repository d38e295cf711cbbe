#include "recording/ComboBoxZarizeniZvuk.h"

#include "app/Chyby.h"
#include "resources/resource.h"

namespace mirvak::direct_show {

namespace {

// The superclass: the system combo box's procedure under our own class name.
HRESULT RegistrovatTridu(HINSTANCE instance)
{
    WNDCLASSEXW existujici{sizeof existujici};
    if (GetClassInfoExW(instance, ComboBoxZarizeniZvuk::kClassName, &existujici))
        return S_OK;
    WNDCLASSEXW trida{sizeof trida};
    if (!GetClassInfoExW(nullptr, L"ComboBox", &trida))
        return KodPosledniChyby();
    trida.hInstance = instance;
    trida.lpszClassName = ComboBoxZarizeniZvuk::kClassName;
    trida.style &= ~CS_GLOBALCLASS;
    if (!RegisterClassExW(&trida) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return KodPosledniChyby();
    return S_OK;
}

} // namespace

ComboBoxZarizeniZvuk::~ComboBoxZarizeniZvuk()
{
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

HRESULT ComboBoxZarizeniZvuk::Create(HWND parent, const RECT& rect, int id)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HRESULT hr = RegistrovatTridu(instance);
    if (FAILED(hr))
        return hr;
    HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!hwnd)
        return KodPosledniChyby();
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    hwnd_ = hwnd;
    return S_OK;
}

HRESULT ComboBoxZarizeniZvuk::Attach(HWND combo)
{
    if (!IsWindow(combo))
        return E_HANDLE;
    hwnd_ = combo;
    return S_OK;
}

bool ComboBoxZarizeniZvuk::Fill(const AudioCaptureDevice& current)
{
    if (!hwnd_)
        return false;
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    if (!list_)
        return false;
    LRESULT vybrat = CB_ERR;
    for (int i = 0; i < list_->Count(); ++i) {
        const std::wstring& jmeno = list_->At(i).friendlyName;
        LRESULT polozka = SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(jmeno.c_str()));
        if (polozka < 0)
            continue;
        SendMessageW(hwnd_, CB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
        if (lstrcmpiW(jmeno.c_str(), current.friendlyName.c_str()) == 0)
            vybrat = polozka;
    }
    if (SendMessageW(hwnd_, CB_GETCOUNT, 0, 0) > 0)
        SendMessageW(hwnd_, CB_SETCURSEL, vybrat == CB_ERR ? 0 : static_cast<WPARAM>(vybrat), 0);
    return vybrat != CB_ERR;
}

HRESULT ComboBoxZarizeniZvuk::GetSelected(AudioCaptureDevice& device) const
{
    if (!hwnd_ || !list_)
        return S_FALSE;
    LRESULT polozka = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    if (polozka == CB_ERR)
        return S_FALSE;
    LRESULT index = SendMessageW(hwnd_, CB_GETITEMDATA, static_cast<WPARAM>(polozka), 0);
    if (index == CB_ERR || index < 0 || index >= list_->Count())
        return S_FALSE;
    list_->CopyAt(static_cast<int>(index), device);
    return S_OK;
}

} // namespace mirvak::direct_show

HMENU BuildDeviceMenu(const AudioCaptureDeviceList& list, UINT firstCommandId, const std::wstring& currentFriendlyName)
{
    if (list.Count() == 0)
        return nullptr;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (int i = list.Count() - 1; i >= 0; --i) {
        std::wstring jmeno = list.At(i).friendlyName;
        MENUITEMINFOW polozka{sizeof polozka};
        polozka.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        polozka.fType = MFT_RADIOCHECK;
        polozka.fState = lstrcmpiW(jmeno.c_str(), currentFriendlyName.c_str()) == 0 ? MFS_CHECKED : 0;
        polozka.wID = firstCommandId + static_cast<UINT>(i);
        polozka.dwTypeData = jmeno.data();
        if (!InsertMenuItemW(menu, 0, TRUE, &polozka)) {
            DestroyMenu(menu);
            return nullptr;
        }
    }
    return menu;
}

HRESULT AttachDeviceMenu(HMENU menu, HMENU popup)
{
    if (!IsMenu(popup))
        return E_HANDLE;
    std::wstring text = NacistRetezec(IDS_ZVUKOVE_ZARIZENI);
    MENUITEMINFOW polozka{sizeof polozka};
    polozka.fMask = MIIM_SUBMENU | MIIM_STRING;
    polozka.hSubMenu = popup;
    polozka.dwTypeData = text.data();
    if (!SetMenuItemInfoW(menu, kPrikazZarizeni, FALSE, &polozka))
        return KodPosledniChyby();
    return S_OK;
}
