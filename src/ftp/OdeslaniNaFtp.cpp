#include "ftp/OdeslaniNaFtp.h"

// The window layer before the application header: DirectShow's headers,
// which that one pulls in, define a SubclassWindow macro.
#include "ftp/DlgOdeslaniNaFtp.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Handles.h"
#include "ftp/FtpPripojeni.h"
#include "mainwindow/IkonaOznameni.h"

#include <process.h>
#include <shlwapi.h>

#include <atomic>
#include <memory>

namespace mirvak::ftp {

namespace {

// The running worker's handle: the busy marker. Set before the worker runs,
// cleared by the worker as its last action.
std::atomic<HANDLE> g_worker{nullptr};

struct Uloha {
    FtpPlace misto;
    std::wstring vzdaleneJmeno;
    std::wstring lokalniCesta;
};

void Over(HRESULT hr)
{
    if (FAILED(hr))
        VyhoditKod(hr);
}

void Odeslat(const Uloha& uloha)
{
    const FtpPlace& misto = uloha.misto;
    // A line break in any text sent as an FTP argument would start a command
    // of its own.
    if (ObsahujeKonecRadku(misto.slozka) || ObsahujeKonecRadku(uloha.vzdaleneJmeno))
        VyhoditKod(E_INVALIDARG);
    FtpPripojeni pripojeni;
    Over(FtpConnect(pripojeni, misto.server, misto.uzivatel, misto.heslo, misto.pasivni_rezim));
    std::wstring slozka = CestaNaServeru(misto.slozka);
    if (!FtpSetCurrentDirectoryW(pripojeni.Spojeni(), slozka.c_str())) {
        if (!FtpCreateDirectoryW(pripojeni.Spojeni(), slozka.c_str()) ||
            !FtpSetCurrentDirectoryW(pripojeni.Spojeni(), slozka.c_str()))
            VyhoditPosledni();
    }
    if (!FtpPutFileW(pripojeni.Spojeni(), uloha.lokalniCesta.c_str(), uloha.vzdaleneJmeno.c_str(),
                     FTP_TRANSFER_TYPE_BINARY, 0))
        VyhoditPosledni();
}

unsigned __stdcall Pracovnik(void* parametr)
{
    std::unique_ptr<Uloha> uloha(static_cast<Uloha*>(parametr));
    std::wstring zprava;
    DWORD druh = kBublinaInformace;
    try {
        Odeslat(*uloha);
        zprava = NacistText(20078, uloha->vzdaleneJmeno.c_str(), uloha->misto.server.c_str());
    } catch (long) {
        zprava = NacistText(20079, uloha->misto.nazev.c_str());
        druh = kBublinaChyba;
    } catch (...) {
        zprava = NacistText(20079, uloha->misto.nazev.c_str());
        druh = kBublinaChyba;
    }
    if (IkonaOznameni* ikona = IkonaHlavnihoOkna())
        ikona->ZobrazitBublinu(zprava.c_str(), druh);
    // Last: a new upload may start as soon as the marker is clear.
    winapi::Handle vlastni(g_worker.exchange(nullptr));
    return 0;
}

} // namespace

HRESULT StartFtpUpload(const FtpPlaceList& mista, const std::wstring& lokalniCesta, int index,
                       const std::wstring& vzdaleneJmeno)
{
    if (g_worker.load())
        return S_FALSE;
    if (!mista.Contains(index))
        return E_INVALIDARG;
    auto uloha = std::make_unique<Uloha>();
    uloha->misto = mista.At(index);
    uloha->lokalniCesta = lokalniCesta;
    uloha->vzdaleneJmeno = vzdaleneJmeno.size() >= 2 ? vzdaleneJmeno : std::wstring(PathFindFileNameW(lokalniCesta.c_str()));
    // Suspended, so that the marker is set before the worker can clear it.
    uintptr_t vlakno = _beginthreadex(nullptr, 0, Pracovnik, uloha.get(), CREATE_SUSPENDED, nullptr);
    if (!vlakno)
        return KodPosledniChyby();
    HANDLE h = reinterpret_cast<HANDLE>(vlakno);
    HANDLE ocekavany = nullptr;
    if (!g_worker.compare_exchange_strong(ocekavany, h)) {
        // Another upload started meanwhile (only one thread starts uploads,
        // so this is a caller's mistake); this one never runs.
        TerminateThread(h, 0);
        CloseHandle(h);
        return S_FALSE;
    }
    Uloha* predana = uloha.release();
    if (ResumeThread(h) == static_cast<DWORD>(-1)) {
        HRESULT hr = KodPosledniChyby();
        TerminateThread(h, 0);
        delete predana;
        winapi::Handle vlastni(g_worker.exchange(nullptr));
        return hr;
    }
    return S_OK;
}

HRESULT StartFtpUpload(const std::wstring& lokalniCesta, int index, const std::wstring& vzdaleneJmeno)
{
    if (!g_aplikace)
        return E_HANDLE;
    return StartFtpUpload(g_aplikace->ftpMista, lokalniCesta, index, vzdaleneJmeno);
}

bool FtpUploadBezi()
{
    return g_worker.load() != nullptr;
}

void OdeslatSouborNaFtp(const std::wstring& cestaZaznamu)
{
    if (FtpUploadBezi() || !g_aplikace) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    DlgOdeslaniNaFtp dialog(g_aplikace->ftpMista, cestaZaznamu);
    if (dialog.DoModal(GetActiveWindow()) != IDOK)
        return;
    if (g_aplikace->ftpMista.Contains(dialog.VybraneMisto()))
        StartFtpUpload(g_aplikace->ftpMista, cestaZaznamu, dialog.VybraneMisto(), dialog.VzdaleneJmeno());
}

} // namespace mirvak::ftp
