#include "controls/Okno.h"

#include "app/Chyby.h"

#include <algorithm>

namespace mirvak::winapi {

namespace {

// The object whose window CreateWindowExW is making on this thread; the
// window's first message (WM_GETMINMAXINFO comes before WM_NCCREATE) binds it.
thread_local OknoImplZaklad* t_vytvareny = nullptr;
thread_local WNDPROC t_vychozi = nullptr;

// Where a created window keeps its object.
constexpr wchar_t kVlastnostObjektu[] = L"mirvak.winapi.Okno";
constexpr UINT_PTR kIdPodtridy = 0x4D56;  // "MV"

} // namespace

OknoImplZaklad::~OknoImplZaklad()
{
    // The derived parts are already gone here, so only the mechanics are
    // undone: no more messages may reach this object.
    if (!m_hWnd)
        return;
    HWND okno = m_hWnd;
    if (podtrida_) {
        RemoveWindowSubclass(okno, GetSubclassProc(), kIdPodtridy);
        podtrida_ = false;
    } else if (!dialog_) {
        RemovePropW(okno, kVlastnostObjektu);
        if (::IsWindow(okno))
            DestroyWindow(okno);
    } else {
        SetWindowLongPtrW(okno, DWLP_USER, 0);
        if (::IsWindow(okno))
            DestroyWindow(okno);
    }
    m_hWnd = nullptr;
}

bool OknoImplZaklad::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD)
{
    return false;
}

void OknoImplZaklad::Destroy()
{
    if (!m_hWnd)
        return;
    if (podtrida_) {
        UnsubclassWindow();
        return;
    }
    if (::IsWindow(m_hWnd) && !DestroyWindow(m_hWnd))
        FatalniChybaPosledni();
}

void OknoImplZaklad::SetPendingCreation(OknoImplZaklad* objekt, WNDPROC vychozi)
{
    t_vytvareny = objekt;
    t_vychozi = vychozi;
}

HRESULT OknoImplZaklad::SubclassWindow(HWND okno)
{
    if (!okno || !::IsWindow(okno))
        return E_INVALIDARG;
    if (m_hWnd)
        Destroy();
    if (!SetWindowSubclass(okno, GetSubclassProc(), kIdPodtridy, reinterpret_cast<DWORD_PTR>(this)))
        return KodPosledniChyby();
    m_hWnd = okno;
    podtrida_ = true;
    return S_OK;
}

void OknoImplZaklad::UnsubclassWindow()
{
    if (!m_hWnd || !podtrida_)
        return;
    RemoveWindowSubclass(m_hWnd, GetSubclassProc(), kIdPodtridy);
    podtrida_ = false;
    m_hWnd = nullptr;
}

LRESULT OknoImplZaklad::DefaultProc(UINT zprava, WPARAM w, LPARAM l)
{
    HWND okno = aktualni_ ? aktualni_->hwnd : m_hWnd;
    if (zprava >= OCM__BASE && zprava <= OCM__LAST)
        return DefWindowProcW(okno, zprava - OCM__BASE, w, l);
    // A dialog's default is the dialog manager's, which runs once the
    // dialog procedure answers FALSE; calling it from here would recurse.
    if (dialog_)
        return 0;
    if (podtrida_)
        return DefSubclassProc(okno, zprava, w, l);
    if (vychoziProcedura_)
        return CallWindowProcW(vychoziProcedura_, okno, zprava, w, l);
    return DefWindowProcW(okno, zprava, w, l);
}

LRESULT OknoImplZaklad::Dispatch(HWND okno, UINT zprava, WPARAM w, LPARAM l, bool* zpracovano)
{
    MSG zpr{okno, zprava, w, l, 0, {}};
    const MSG* predchozi = aktualni_;
    aktualni_ = &zpr;
    ++hloubka_;
    LRESULT vysledek = 0;
    bool mapa = ProcessWindowMessage(okno, zprava, w, l, vysledek, 0);
    // A dialog's unhandled messages go back to the dialog manager.
    if (!mapa && !dialog_)
        vysledek = DefaultProc(zprava, w, l);
    if (zpracovano)
        *zpracovano = mapa;
    --hloubka_;
    aktualni_ = predchozi;
    if (zprava == WM_NCDESTROY)
        WindowGone(okno);
    else if (konecCeka_ && hloubka_ == 0) {
        konecCeka_ = false;
        OnFinalMessage(okno);  // may delete this
    } else if (hloubka_ == 0 && m_hWnd)
        AfterOutermostMessage();
    return vysledek;
}

void OknoImplZaklad::WindowGone(HWND okno)
{
    if (podtrida_)
        RemoveWindowSubclass(okno, GetSubclassProc(), kIdPodtridy);
    else if (dialog_)
        SetWindowLongPtrW(okno, DWLP_USER, 0);
    else
        RemovePropW(okno, kVlastnostObjektu);
    podtrida_ = false;
    if (m_hWnd == okno)
        m_hWnd = nullptr;
    // A handler of ours that destroyed the window is still on the stack:
    // the hook waits until it returned.
    if (hloubka_ > 0)
        konecCeka_ = true;
    else
        OnFinalMessage(okno);
}

LRESULT CALLBACK OknoImplZaklad::ClassWindowProc(HWND okno, UINT zprava, WPARAM w, LPARAM l)
{
    auto* objekt = static_cast<OknoImplZaklad*>(GetPropW(okno, kVlastnostObjektu));
    if (!objekt && t_vytvareny) {
        objekt = t_vytvareny;
        t_vytvareny = nullptr;
        objekt->m_hWnd = okno;
        objekt->vychoziProcedura_ = t_vychozi;
        if (!SetPropW(okno, kVlastnostObjektu, objekt)) {
            objekt->m_hWnd = nullptr;
            return zprava == WM_NCCREATE ? FALSE : DefWindowProcW(okno, zprava, w, l);
        }
    }
    if (!objekt)
        return DefWindowProcW(okno, zprava, w, l);
    return objekt->Dispatch(okno, zprava, w, l);
}

LRESULT CALLBACK OknoImplZaklad::SubclassProc(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data)
{
    auto* objekt = reinterpret_cast<OknoImplZaklad*>(data);
    return objekt->Dispatch(okno, zprava, w, l);
}

LRESULT OknoImplZaklad::ReflectNotifications(HWND rodic, UINT zprava, WPARAM w, LPARAM l, BOOL& zpracovano)
{
    HWND dite = nullptr;
    switch (zprava) {
    case WM_COMMAND:
        dite = reinterpret_cast<HWND>(l);
        break;
    case WM_NOTIFY:
        dite = l ? reinterpret_cast<NMHDR*>(l)->hwndFrom : nullptr;
        break;
    case WM_PARENTNOTIFY:
        switch (LOWORD(w)) {
        case WM_CREATE:
        case WM_DESTROY:
            dite = reinterpret_cast<HWND>(l);
            break;
        default:
            dite = GetDlgItem(rodic, HIWORD(w));
            break;
        }
        break;
    case WM_DRAWITEM:
        if (w)
            dite = reinterpret_cast<DRAWITEMSTRUCT*>(l)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (w)
            dite = GetDlgItem(rodic, reinterpret_cast<MEASUREITEMSTRUCT*>(l)->CtlID);
        break;
    case WM_COMPAREITEM:
        if (w)
            dite = reinterpret_cast<COMPAREITEMSTRUCT*>(l)->hwndItem;
        break;
    case WM_DELETEITEM:
        if (w)
            dite = reinterpret_cast<DELETEITEMSTRUCT*>(l)->hwndItem;
        break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        dite = reinterpret_cast<HWND>(l);
        break;
    default:
        break;
    }
    // Menus (WM_COMMAND with no control) and notifications of the parent's
    // own scroll bars name no child.
    if (!dite || dite == rodic || !::IsWindow(dite)) {
        zpracovano = FALSE;
        return 0;
    }
    zpracovano = TRUE;
    return SendMessageW(dite, OCM__BASE + zprava, w, l);
}

HRESULT RegistrovatTridu(const void*, const wchar_t* nazev, const wchar_t* zakladni, void (*upravit)(WNDCLASSEXW&),
                         ATOM& atom, WNDPROC& vychozi)
{
    HINSTANCE modul = GetModuleHandleW(nullptr);
    WNDCLASSEXW trida{};
    trida.cbSize = sizeof trida;
    vychozi = nullptr;
    if (zakladni) {
        // A superclass: the system class's look, our procedure in front.
        if (!GetClassInfoExW(nullptr, zakladni, &trida) && !GetClassInfoExW(modul, zakladni, &trida))
            return KodPosledniChyby();
        vychozi = trida.lpfnWndProc;
        trida.cbSize = sizeof trida;
    } else {
        trida.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        trida.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        trida.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    }
    trida.lpfnWndProc = OknoImplZaklad::ClassWindowProc;
    trida.hInstance = modul;
    trida.lpszClassName = nazev;
    trida.lpszMenuName = nullptr;
    if (upravit)
        upravit(trida);
    trida.lpfnWndProc = OknoImplZaklad::ClassWindowProc;
    trida.lpszClassName = nazev;
    atom = RegisterClassExW(&trida);
    if (!atom) {
        // Two window types of ours that fix the same class name share the
        // class: the procedure is the same and each window finds its object.
        DWORD chyba = GetLastError();
        WNDCLASSEXW existujici{};
        existujici.cbSize = sizeof existujici;
        if (chyba == ERROR_CLASS_ALREADY_EXISTS &&
            (atom = static_cast<ATOM>(GetClassInfoExW(modul, nazev, &existujici))) != 0 &&
            existujici.lpfnWndProc == OknoImplZaklad::ClassWindowProc)
            return S_OK;
        return KodChyby(chyba);
    }
    return S_OK;
}

// Dialogs -------------------------------------------------------------------

namespace {

// Messages whose result a dialog procedure returns directly.
bool VysledekPrimo(UINT zprava)
{
    switch (zprava) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

INT_PTR DialogZaklad::DoModal(HWND vlastnik, UINT idSablony, HINSTANCE modul)
{
    dialog_ = true;
    return DialogBoxParamW(modul ? modul : GetModuleHandleW(nullptr), MAKEINTRESOURCEW(idSablony), vlastnik,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

HRESULT DialogZaklad::CreateModeless(HWND vlastnik, UINT idSablony, HINSTANCE modul)
{
    dialog_ = true;
    HWND dlg = CreateDialogParamW(modul ? modul : GetModuleHandleW(nullptr), MAKEINTRESOURCEW(idSablony), vlastnik,
                                  DialogProc, reinterpret_cast<LPARAM>(this));
    return dlg ? S_OK : KodPosledniChyby();
}

void DialogZaklad::Destroy()
{
    if (m_hWnd && ::IsWindow(m_hWnd) && !DestroyWindow(m_hWnd))
        FatalniChybaPosledni();
}

INT_PTR CALLBACK DialogZaklad::DialogProc(HWND dlg, UINT zprava, WPARAM w, LPARAM l)
{
    auto* objekt = reinterpret_cast<DialogZaklad*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (zprava == WM_INITDIALOG) {
        objekt = reinterpret_cast<DialogZaklad*>(l);
        SetWindowLongPtrW(dlg, DWLP_USER, l);
        objekt->m_hWnd = dlg;
    }
    if (!objekt)
        return FALSE;
    bool zpracovano = false;
    LRESULT vysledek = objekt->Dispatch(dlg, zprava, w, l, &zpracovano);
    if (!zpracovano)
        return FALSE;
    if (VysledekPrimo(zprava))
        return static_cast<INT_PTR>(vysledek);
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, vysledek);
    return TRUE;
}

} // namespace mirvak::winapi
