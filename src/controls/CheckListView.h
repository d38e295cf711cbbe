// A list view of check boxes: one column of options, each item's data the
// string-table id of its text.
#pragma once

#include "controls/Okno.h"

namespace mirvak::winapi {

class CheckListView : public OknoImplZaklad {
public:
    static constexpr int kSirkaSloupce = 370;

    ~CheckListView() override;
    // Subclasses the list view, turns on check boxes and inserts the column.
    // E_INVALIDARG when `okno` is not a window.
    HRESULT Attach(HWND okno);
    void Destroy() override;

    // Inserts an item whose text is the string-table entry `idTextu` at
    // `pozice` with `data` (by convention the same id). 0 and the index, or
    // E_FAIL when the list refuses.
    HRESULT AddItem(UINT idTextu, int pozice, LPARAM data, int* index = nullptr);
    HRESULT AddItem(UINT idTextu, int pozice) { return AddItem(idTextu, pozice, static_cast<LPARAM>(idTextu)); }
    // Ticks (state image 2) or clears (1) the item at `index`.
    HRESULT SetCheck(int index, bool zaskrtnuto);
    // The same, for the item with `data`; E_INVALIDARG when there is none.
    HRESULT SetCheckByData(LPARAM data, bool zaskrtnuto);
    // Whether the item with `data` is ticked; E_INVALIDARG when there is none.
    HRESULT GetCheckByData(LPARAM data, bool& zaskrtnuto) const;
    int FindByData(LPARAM data) const;
    int Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }

    MV_BEGIN_MSG_MAP(CheckListView)
    MV_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
    MV_END_MSG_MAP()

private:
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTALLKEYS; }
};

} // namespace mirvak::winapi
