// The window layer under every window, dialog and control of the program:
// a handle wrapper (`Okno`), the message routing root shared by created
// windows, subclassed controls and dialogs (`OknoImplZaklad`), a template
// that registers a window class and creates windows of it (`OknoImpl<T>`),
// and a dialog template (`DialogImpl<T>`). Message maps are written with the
// MV_* macros below, which expand to `ProcessWindowMessage`.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "app/Chyby.h"

#include <cstdio>

// Reflected notifications: a parent sends a child's notification back to the
// child as OCM__BASE + the original message. The values are the system's own,
// so the macros agree with the OLE control headers when both are included.
#ifndef OCM__BASE
#define OCM__BASE (WM_USER + 0x1c00)
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLOREDIT (OCM__BASE + WM_CTLCOLOREDIT)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORMSGBOX (OCM__BASE + WM_CTLCOLORMSGBOX)
#define OCM_CTLCOLORSCROLLBAR (OCM__BASE + WM_CTLCOLORSCROLLBAR)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_MEASUREITEM (OCM__BASE + WM_MEASUREITEM)
#define OCM_DELETEITEM (OCM__BASE + WM_DELETEITEM)
#define OCM_VKEYTOITEM (OCM__BASE + WM_VKEYTOITEM)
#define OCM_CHARTOITEM (OCM__BASE + WM_CHARTOITEM)
#define OCM_COMPAREITEM (OCM__BASE + WM_COMPAREITEM)
#define OCM_HSCROLL (OCM__BASE + WM_HSCROLL)
#define OCM_VSCROLL (OCM__BASE + WM_VSCROLL)
#define OCM_PARENTNOTIFY (OCM__BASE + WM_PARENTNOTIFY)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)
#endif
#ifndef OCM__LAST
#define OCM__LAST (OCM__BASE + 0x3ff)
#endif

namespace mirvak::winapi {

// A window handle and the few calls every window object makes on it. It owns
// nothing: destroying the object leaves the window alone.
class Okno {
public:
    Okno() = default;
    explicit Okno(HWND okno) : m_hWnd(okno) {}

    HWND Handle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    LRESULT Send(UINT zprava, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, zprava, w, l); }
    BOOL Post(UINT zprava, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, zprava, w, l); }
    HWND Parent() const { return ::GetParent(m_hWnd); }
    int ControlId() const { return ::GetDlgCtrlID(m_hWnd); }
    RECT ClientRect() const
    {
        RECT r{};
        ::GetClientRect(m_hWnd, &r);
        return r;
    }
    RECT WindowRect() const
    {
        RECT r{};
        ::GetWindowRect(m_hWnd, &r);
        return r;
    }
    LONG_PTR Style() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    LONG_PTR ExStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE); }
    void AddStyle(LONG_PTR styly) const { ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, Style() | styly); }

    HWND m_hWnd = nullptr;
};

// The root of every window object that processes messages. A window comes to
// the object either by creation (a class of ours whose window procedure is
// `ClassWindowProc`), by subclassing an existing control (SetWindowSubclass,
// so that other subclassers such as tool-tips chain correctly and may be
// removed in any order), or as a dialog (`DialogImpl`).
class OknoImplZaklad : public Okno {
public:
    OknoImplZaklad() = default;
    OknoImplZaklad(const OknoImplZaklad&) = delete;
    OknoImplZaklad& operator=(const OknoImplZaklad&) = delete;
    // A window still attached is released: a subclassed control gets its
    // procedure back; a created window is destroyed.
    virtual ~OknoImplZaklad();

    // The message map. True when the message was handled; `vysledek` is then
    // its result. `mapa` selects an alternate map (0 the main one).
    virtual bool ProcessWindowMessage(HWND okno, UINT zprava, WPARAM w, LPARAM l, LRESULT& vysledek, DWORD mapa = 0);
    // Gives up the window: subclassed controls are un-subclassed, windows of
    // our own classes destroyed.
    virtual void Destroy();
    // The procedure this object uses when subclassing a control.
    virtual SUBCLASSPROC GetSubclassProc() { return SubclassProc; }
    // Called after the window received its last message (WM_NCDESTROY) and
    // the object let go of it; the object may delete itself here.
    virtual void OnFinalMessage(HWND) {}

    // Takes over an existing control. E_INVALIDARG when `okno` is not a
    // window; the last error's code when subclassing fails. An object that is
    // still attached lets go of its window first.
    HRESULT SubclassWindow(HWND okno);
    // Gives the subclassed control its procedure back; the handle is forgotten.
    void UnsubclassWindow();

    // The message being processed (null outside a handler).
    const MSG* CurrentMessage() const { return aktualni_; }
    // Default processing of the current window: the previous procedure for a
    // subclassed control, the base class's procedure for a superclass,
    // DefWindowProcW otherwise. Reflected messages nobody handled get the
    // default answer of the original message.
    LRESULT DefaultProc(UINT zprava, WPARAM w, LPARAM l);
    LRESULT DefaultProc() { return DefaultProc(aktualni_->message, aktualni_->wParam, aktualni_->lParam); }

    // Sends a child's notification back to the child (OCM__BASE + message).
    // `zpracovano` is false when the message names no child window.
    static LRESULT ReflectNotifications(HWND rodic, UINT zprava, WPARAM w, LPARAM l, BOOL& zpracovano);

    // Window procedure of our own classes; `this` comes from the creating
    // thread's pending object at the first message.
    static LRESULT CALLBACK ClassWindowProc(HWND okno, UINT zprava, WPARAM w, LPARAM l);
    static LRESULT CALLBACK SubclassProc(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR data);

protected:
    // Routes one message through the map, default processing and, at the end
    // of the window's life, the final-message hook.
    LRESULT Dispatch(HWND okno, UINT zprava, WPARAM w, LPARAM l, bool* zpracovano = nullptr);
    // Marks the object that the next window created on this thread belongs to.
    static void SetPendingCreation(OknoImplZaklad* objekt, WNDPROC vychozi);
    // Forgets the window at its end (WM_NCDESTROY) and runs OnFinalMessage
    // once no handler of this object is still running.
    void WindowGone(HWND okno);
    // For dialogs: results of handled messages travel differently.
    bool JeDialog() const { return dialog_; }
    // Messages of this window being processed now; more than one means that
    // a handler runs a modal loop (a dialog, a message box, a menu) which
    // dispatched another.
    int MessageDepth() const { return hloubka_; }
    // Runs when the window's outermost message has been processed and the
    // window still exists: what a nested message put off is done here.
    virtual void AfterOutermostMessage() {}

    WNDPROC vychoziProcedura_ = nullptr;  // superclass base procedure or null
    bool podtrida_ = false;
    bool dialog_ = false;

private:
    const MSG* aktualni_ = nullptr;
    int hloubka_ = 0;
    bool konecCeka_ = false;
};

// The class a window of ours is registered with. A class `T` may declare
// static members to change it:
//   static const wchar_t* ClassName();   a fixed class name (else "ATL:%p")
//   static const wchar_t* BaseClassName(); superclass of this system class
//   static void ModifyClass(WNDCLASSEXW&); cursor, brush, icons, style
struct TridaOknaVychozi {
    static const wchar_t* ClassName() { return nullptr; }
    static const wchar_t* BaseClassName() { return nullptr; }
    static void ModifyClass(WNDCLASSEXW&) {}
};

// Registers `trida` (or the superclass of `zakladni`) once; 0 and the atom or
// the last error's code.
HRESULT RegistrovatTridu(const void* klic, const wchar_t* nazev, const wchar_t* zakladni,
                         void (*upravit)(WNDCLASSEXW&), ATOM& atom, WNDPROC& vychozi);

// A window of class `T` (CWindowImpl role). T derives from OknoImpl<T> and
// writes its message map with the MV_* macros; messages it leaves unhandled
// go to the default procedure.
template <class T>
class OknoImpl : public OknoImplZaklad, public TridaOknaVychozi {
public:
    // Creates the window; 0, or the last error's code. The object must stay
    // at its address while the window lives.
    HRESULT Create(HWND rodic, const RECT& rect, const wchar_t* titulek = nullptr, DWORD styl = 0,
                   DWORD rozsirenyStyl = 0, UINT_PTR idNeboMenu = 0)
    {
        if (m_hWnd)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        Trida& t = Registrace();
        if (FAILED(t.hr))
            return t.hr;
        SetPendingCreation(this, t.vychozi);
        HWND okno = ::CreateWindowExW(rozsirenyStyl, t.nazev, titulek, styl, rect.left, rect.top, rect.right - rect.left,
                                      rect.bottom - rect.top, rodic, reinterpret_cast<HMENU>(idNeboMenu),
                                      ::GetModuleHandleW(nullptr), nullptr);
        DWORD chyba = ::GetLastError();
        SetPendingCreation(nullptr, nullptr);
        if (!okno) {
            m_hWnd = nullptr;
            ::SetLastError(chyba);
            return KodChyby(chyba);
        }
        return S_OK;
    }

    // The registered class name ("ATL:%p" unless T names it).
    static const wchar_t* RegisteredClassName() { return Registrace().nazev; }

private:
    struct Trida {
        wchar_t nazev[64] = {};
        ATOM atom = 0;
        WNDPROC vychozi = nullptr;
        HRESULT hr = E_FAIL;
    };
    static Trida& Registrace()
    {
        // Registered once, also when the first window is created on another
        // thread (guarded initialisation of a function-local static).
        static Trida trida;
        static const bool hotovo = [] {
            const wchar_t* pevny = T::ClassName();
            if (pevny)
                ::swprintf(trida.nazev, 64, L"%ls", pevny);
            else
                ::swprintf(trida.nazev, 64, L"ATL:%p", static_cast<const void*>(&trida));
            trida.hr = RegistrovatTridu(&trida, trida.nazev, T::BaseClassName(), &T::ModifyClass, trida.atom,
                                        trida.vychozi);
            return true;
        }();
        (void)hotovo;
        return trida;
    }
};

// A dialog from a resource template, modal or modeless. Its message map sees
// every message from WM_INITDIALOG on; a handled message's result is passed
// back the way dialog procedures must (DWLP_MSGRESULT where needed).
class DialogZaklad : public OknoImplZaklad {
public:
    // Modal: the dialog's EndDialog value, or -1 when it could not be created.
    INT_PTR DoModal(HWND vlastnik, UINT idSablony, HINSTANCE modul = nullptr);
    // Modeless: 0 or the last error's code.
    HRESULT CreateModeless(HWND vlastnik, UINT idSablony, HINSTANCE modul = nullptr);
    BOOL EndDialog(INT_PTR vysledek) const { return ::EndDialog(m_hWnd, vysledek); }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

    void Destroy() override;

    static INT_PTR CALLBACK DialogProc(HWND dlg, UINT zprava, WPARAM w, LPARAM l);
};

template <class T>
class DialogImpl : public DialogZaklad {};

// Dialog helpers.
// Centres a dialog on its owner's client area, or on the work area of the
// monitor nearest to it when it has no owner or the owner is hidden; kept
// inside that area. 0, or E_FAIL when it cannot be moved.
HRESULT CentrovatDialog(HWND dialog);
// A tool-tip window for a dialog (TTS_ALWAYSTIP); null and the last error
// when it cannot be created.
HWND VytvoritTooltip(HWND dialog);
// Adds the control `idPrvku` of `dialog` as a tool (TTF_IDISHWND |
// TTF_SUBCLASS) with `text`, or the string-table entry when `text` is an
// integer resource. 0, E_INVALIDARG, or E_FAIL when the tool-tip refuses.
HRESULT PridatTooltip(HWND tooltip, HWND dialog, int idPrvku, const wchar_t* text);

} // namespace mirvak::winapi

// Message map. Handlers have the usual signatures:
//   LRESULT OnMessage(UINT zprava, WPARAM w, LPARAM l, BOOL& zpracovano);
//   LRESULT OnCommand(WORD kod, WORD id, HWND prvek, BOOL& zpracovano);
//   LRESULT OnNotify(int id, NMHDR* hlavicka, BOOL& zpracovano);
// A handler that sets `zpracovano` to FALSE lets the message go on.
#define MV_BEGIN_MSG_MAP(trida)                                                                           \
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,       \
                              DWORD dwMsgMapID = 0) override                                               \
    {                                                                                                     \
        BOOL bHandled = TRUE;                                                                             \
        (void)hWnd;                                                                                       \
        (void)bHandled;                                                                                   \
        switch (dwMsgMapID) {                                                                             \
        case 0:

#define MV_ALT_MSG_MAP(mapa)                                                                              \
    break;                                                                                                \
    case mapa:

#define MV_MESSAGE_HANDLER(zprava, funkce)                                                                \
    if (uMsg == (zprava)) {                                                                               \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(uMsg, wParam, lParam, bHandled);                                                 \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_MESSAGE_RANGE_HANDLER(prvni, posledni, funkce)                                                 \
    if (uMsg >= (prvni) && uMsg <= (posledni)) {                                                          \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(uMsg, wParam, lParam, bHandled);                                                 \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_COMMAND_HANDLER(idPrvku, kod, funkce)                                                          \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (idPrvku) && HIWORD(wParam) == (kod)) {                   \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);       \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_COMMAND_ID_HANDLER(idPrvku, funkce)                                                            \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (idPrvku)) {                                              \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);       \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_COMMAND_RANGE_HANDLER(prvni, posledni, funkce)                                                 \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (prvni) && LOWORD(wParam) <= (posledni)) {               \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);       \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_COMMAND_CODE_HANDLER(kod, funkce)                                                              \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (kod)) {                                                  \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);       \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_NOTIFY_HANDLER(idPrvku, kod, funkce)                                                           \
    if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == static_cast<UINT_PTR>(idPrvku) && \
        reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(kod)) {                               \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);           \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_NOTIFY_CODE_HANDLER(kod, funkce)                                                               \
    if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(kod)) {          \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);           \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

// In a control: a notification its parent reflected back.
#define MV_REFLECTED_COMMAND_CODE_HANDLER(kod, funkce)                                                    \
    if (uMsg == OCM_COMMAND && HIWORD(wParam) == (kod)) {                                                 \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);       \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_REFLECTED_NOTIFY_CODE_HANDLER(kod, funkce)                                                     \
    if (uMsg == OCM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(kod)) {         \
        bHandled = TRUE;                                                                                  \
        lResult = funkce(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);           \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

// In a parent: send the children's notifications back to them.
#define MV_REFLECT_NOTIFICATIONS()                                                                        \
    {                                                                                                     \
        bHandled = TRUE;                                                                                  \
        lResult = ::mirvak::winapi::OknoImplZaklad::ReflectNotifications(hWnd, uMsg, wParam, lParam,      \
                                                                         bHandled);                      \
        if (bHandled)                                                                                     \
            return true;                                                                                  \
    }

#define MV_CHAIN_MSG_MAP(zakladni)                                                                        \
    if (zakladni::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0))                           \
        return true;

#define MV_CHAIN_MSG_MAP_MEMBER(clen)                                                                     \
    if ((clen).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0))                              \
        return true;

#define MV_END_MSG_MAP()                                                                                  \
    break;                                                                                                \
    default:                                                                                              \
        break;                                                                                            \
        }                                                                                                 \
        return false;                                                                                     \
    }
