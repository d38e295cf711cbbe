// The about dialog: product name, version, copyright and the maker's links.
#include "update/DlgProgramInfo.h"

#include "app/Chyby.h"
#include "app/Verze.h"
#include "controls/StaticText.h"
#include "resources/resource.h"
#include "settings/DlgNastaveni.h"
#include "update/Aktualizace.h"

#include <shellapi.h>

using namespace mirvak::winapi;

namespace {

class DlgProgramInfo : public DialogImpl<DlgProgramInfo> {
public:
    MV_BEGIN_MSG_MAP(DlgProgramInfo)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_ID_HANDLER(IDOK, OnZavrit)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnZavrit)
    MV_NOTIFY_HANDLER(IDC_INFO_ODKAZ_WEB, NM_CLICK, OnWeb)
    MV_NOTIFY_HANDLER(IDC_INFO_ODKAZ_WEB, NM_RETURN, OnWeb)
    MV_NOTIFY_HANDLER(IDC_INFO_ODKAZ_EMAIL, NM_CLICK, OnEmail)
    MV_NOTIFY_HANDLER(IDC_INFO_ODKAZ_EMAIL, NM_RETURN, OnEmail)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        NastavitIkonyAplikace(m_hWnd);
        std::wstring produkt = NazevProduktuAplikace();
        SetWindowTextW(m_hWnd, NacistText(IDS_INFO_TITULEK, produkt.c_str()).c_str());
        SetDlgItemTextW(m_hWnd, IDC_AKT_NADPIS, produkt.c_str());
        nadpis_.Attach(Item(IDC_AKT_NADPIS));
        std::wstring verze;
        GetOwnVersion(verze);
        SetDlgItemTextW(m_hWnd, IDC_INFO_VERZE, NacistText(IDS_INFO_VERZE, verze.c_str()).c_str());
        std::wstring copyright;
        NacistHodnotuVerze(L"LegalCopyright", copyright);
        SetDlgItemTextW(m_hWnd, IDC_INFO_COPYRIGHT, copyright.c_str());
        SetDlgItemTextW(m_hWnd, IDC_INFO_ODKAZ_WEB, NacistRetezec(IDS_TEXT_ODKAZU_FIRMY).c_str());
        SetDlgItemTextW(m_hWnd, IDC_INFO_ODKAZ_EMAIL, NacistRetezec(IDS_TEXT_ODKAZU_PODPORY).c_str());
        tooltip_ = VytvoritTooltip(m_hWnd);
        if (tooltip_) {
            PridatTooltip(tooltip_, m_hWnd, IDC_INFO_ODKAZ_WEB, MAKEINTRESOURCEW(20017));
            PridatTooltip(tooltip_, m_hWnd, IDC_INFO_ODKAZ_EMAIL, MAKEINTRESOURCEW(20027));
        }
        CentrovatDialog(m_hWnd);
        return TRUE;
    }
    LRESULT OnZavrit(WORD, WORD id, HWND, BOOL&)
    {
        EndDialog(id);
        return 0;
    }
    LRESULT OnWeb(int, NMHDR*, BOOL&)
    {
        ShellExecuteW(m_hWnd, L"open", NacistRetezec(IDS_ADRESA_FIRMY).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
        return 0;
    }
    LRESULT OnEmail(int, NMHDR*, BOOL&)
    {
        ShellExecuteW(m_hWnd, L"open", NacistRetezec(IDS_ADRESA_PODPORY).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }

    StaticNadpis nadpis_;
    HWND tooltip_ = nullptr;
};

DlgProgramInfo* g_dlgProgramInfo = nullptr;

} // namespace

INT_PTR ZobrazitOAplikaci(HWND vlastnik)
{
    if (g_dlgProgramInfo) {
        SetForegroundWindow(g_dlgProgramInfo->m_hWnd);
        return 0;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    DlgProgramInfo dialog;
    g_dlgProgramInfo = &dialog;
    INT_PTR vysledek = dialog.DoModal(vlastnik && IsWindow(vlastnik) ? vlastnik : nullptr, IDD_PROGRAM_INFO);
    g_dlgProgramInfo = nullptr;
    return vysledek;
}

HWND OknoOAplikaci()
{
    return g_dlgProgramInfo ? g_dlgProgramInfo->m_hWnd : nullptr;
}
