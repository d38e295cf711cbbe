// The one-line text input dialog (resource 115).
#include "app/Aplikace.h"

#include "app/Chyby.h"
#include "resources/resource.h"

#include <vector>

namespace {

struct Stav {
    std::wstring* text;
    const wchar_t* popis;
    bool vybratJmeno;
    int maxDelka;
};

INT_PTR CALLBACK ProceduraDialogu(HWND dlg, UINT zprava, WPARAM w, LPARAM l)
{
    switch (zprava) {
    case WM_INITDIALOG: {
        auto* stav = reinterpret_cast<Stav*>(l);
        SetWindowLongPtrW(dlg, DWLP_USER, l);
        std::wstring popis = IS_INTRESOURCE(stav->popis)
                                 ? NacistRetezec(static_cast<UINT>(reinterpret_cast<UINT_PTR>(stav->popis)))
                                 : std::wstring(stav->popis ? stav->popis : L"");
        SetDlgItemTextW(dlg, IDC_VSTUP_POPIS, popis.c_str());
        HWND edit = GetDlgItem(dlg, IDC_VSTUP_TEXT);
        if (stav->maxDelka > 0)
            SendMessageW(edit, EM_LIMITTEXT, stav->maxDelka, 0);
        SetWindowTextW(edit, stav->text->c_str());
        if (stav->vybratJmeno && stav->text->find(L'.') != std::wstring::npos) {
            SetFocus(edit);
            SendMessageW(edit, EM_SETSEL, 0, KonecVyberuJmena(*stav->text));
            return FALSE;  // the focus was set here
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(w) == IDOK) {
            auto* stav = reinterpret_cast<Stav*>(GetWindowLongPtrW(dlg, DWLP_USER));
            HWND edit = GetDlgItem(dlg, IDC_VSTUP_TEXT);
            std::vector<wchar_t> buffer(GetWindowTextLengthW(edit) + 1);
            GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
            stav->text->assign(buffer.data());
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(w) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int KonecVyberuJmena(const std::wstring& text)
{
    size_t tecka = text.rfind(L'.');
    return static_cast<int>(tecka == std::wstring::npos ? text.size() : tecka);
}

int VstupTextu(std::wstring& text, const wchar_t* popis, bool vybratJmeno, int maxDelka)
{
    Stav stav{&text, popis, vybratJmeno, maxDelka};
    INT_PTR r = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_VSTUP_TEXTU), GetActiveWindow(),
                                ProceduraDialogu, reinterpret_cast<LPARAM>(&stav));
    return r == IDOK ? 0 : 1;
}
