#include "controls/CheckListView.h"

#include "app/Chyby.h"

namespace mirvak::winapi {

CheckListView::~CheckListView()
{
    Destroy();
}

HRESULT CheckListView::Attach(HWND okno)
{
    if (!okno || !::IsWindow(okno))
        return E_INVALIDARG;
    Destroy();
    HRESULT hr = SubclassWindow(okno);
    if (FAILED(hr))
        return hr;
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    LVCOLUMNW sloupec{};
    sloupec.mask = LVCF_WIDTH;
    sloupec.cx = kSirkaSloupce;
    if (Send(LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&sloupec)) < 0) {
        UnsubclassWindow();
        return E_FAIL;
    }
    return S_OK;
}

void CheckListView::Destroy()
{
    UnsubclassWindow();
}

HRESULT CheckListView::AddItem(UINT idTextu, int pozice, LPARAM data, int* index)
{
    std::wstring text = NacistRetezec(idTextu);
    LVITEMW polozka{};
    polozka.mask = LVIF_TEXT | LVIF_PARAM;
    polozka.iItem = pozice;
    polozka.pszText = text.data();
    polozka.lParam = data;
    int i = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&polozka)));
    if (i < 0)
        return E_FAIL;
    if (index)
        *index = i;
    return S_OK;
}

HRESULT CheckListView::SetCheck(int index, bool zaskrtnuto)
{
    if (index < 0 || index >= Count())
        return E_INVALIDARG;
    LVITEMW stav{};
    stav.stateMask = LVIS_STATEIMAGEMASK;
    stav.state = INDEXTOSTATEIMAGEMASK(zaskrtnuto ? 2 : 1);
    return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&stav)) ? S_OK : E_FAIL;
}

int CheckListView::FindByData(LPARAM data) const
{
    LVFINDINFOW hledat{};
    hledat.flags = LVFI_PARAM;
    hledat.lParam = data;
    return static_cast<int>(Send(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&hledat)));
}

HRESULT CheckListView::SetCheckByData(LPARAM data, bool zaskrtnuto)
{
    int i = FindByData(data);
    if (i < 0)
        return E_INVALIDARG;
    return SetCheck(i, zaskrtnuto);
}

HRESULT CheckListView::GetCheckByData(LPARAM data, bool& zaskrtnuto) const
{
    int i = FindByData(data);
    if (i < 0)
        return E_INVALIDARG;
    UINT stav = static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
    zaskrtnuto = ((stav & LVIS_STATEIMAGEMASK) >> 12) == 2;
    return S_OK;
}

} // namespace mirvak::winapi
