#include "ftp/OdeslaniNaFtp.h"

// The window layer before the application header: DirectShow's headers,
// which that one pulls in, define a SubclassWindow macro.
#include "ftp/DlgOdeslaniNaFtp.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/Pracovnici.h"
#include "ftp/FtpPripojeni.h"
#include "mainwindow/IkonaOznameni.h"

#include <shlwapi.h>

#include <vector>

namespace mirvak::ftp {

namespace {

struct Uloha {
    FtpPlace misto;
    std::wstring vzdaleneJmeno;
    std::wstring lokalniCesta;
};

// Each write takes about a fifth of a second: large pieces on a fast link
// (fewer calls), small ones on a slow link, so that a stop is seen soon.
constexpr DWORD kNejmensiKus = 64 * 1024;
constexpr DWORD kNejvetsiKus = 1024 * 1024;

// The upload was stopped for the program's close.
struct Zastaveno {};

void Over(HRESULT hr)
{
    if (FAILED(hr))
        VyhoditKod(hr);
}

// STOR of the open file in pieces; the server's answer to the transfer
// decides the outcome.
void PoslatSoubor(HINTERNET spojeni, HANDLE soubor, const std::wstring& jmeno, const pracovnici::Zruseni* zruseni)
{
    InternetHandle cil(FtpOpenFileW(spojeni, jmeno.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0));
    if (!cil)
        VyhoditPosledni();
    std::vector<char> data(kNejvetsiKus);
    DWORD kus = kNejmensiKus;
    for (;;) {
        if (zruseni && zruseni->Zruseno()) {
            // Closing the transfer would wait for the server's answer (up to
            // half a minute on a slow link); the close of the program does not.
            cil.Release();
            throw Zastaveno{};
        }
        DWORD precteno = 0;
        if (!ReadFile(soubor, data.data(), kus, &precteno, nullptr))
            VyhoditPosledni();
        if (precteno == 0)
            break;
        ULONGLONG zacatek = GetTickCount64();
        for (DWORD hotovo = 0; hotovo < precteno;) {
            DWORD zapsano = 0;
            if (!InternetWriteFile(cil.Get(), data.data() + hotovo, precteno - hotovo, &zapsano))
                VyhoditPosledni();
            if (zapsano == 0)
                VyhoditKod(E_FAIL);
            hotovo += zapsano;
        }
        ULONGLONG trvani = GetTickCount64() - zacatek;
        if (trvani < 50 && kus < kNejvetsiKus)
            kus *= 2;
        else if (trvani > 200 && kus > kNejmensiKus)
            kus /= 2;
    }
    // Closing the transfer reads the server's answer to it: only 2xx (226,
    // 250) means the file arrived whole.
    if (!InternetCloseHandle(cil.Release()))
        VyhoditPosledni();
    DWORD chyba = 0;
    wchar_t odpoved[1024] = {};
    DWORD delka = 1024;
    if (!InternetGetLastResponseInfoW(&chyba, odpoved, &delka) || odpoved[0] != L'2')
        VyhoditKod(E_FAIL);
}

void Odeslat(const Uloha& uloha, const pracovnici::Zruseni* zruseni)
{
    const FtpPlace& misto = uloha.misto;
    // A line break in any text sent as an FTP argument would start a command
    // of its own.
    if (ObsahujeKonecRadku(misto.slozka) || ObsahujeKonecRadku(uloha.vzdaleneJmeno))
        VyhoditKod(E_INVALIDARG);
    // Shared for reading and writing: a recording open in the player is sent too.
    winapi::FileHandle soubor(CreateFileW(uloha.lokalniCesta.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!soubor)
        VyhoditPosledni();
    FtpPripojeni pripojeni;
    Over(FtpConnect(pripojeni, misto.server, misto.uzivatel, misto.heslo, misto.pasivni_rezim));
    if (zruseni && zruseni->Zruseno())
        throw Zastaveno{};
    // An empty folder is the login folder: CWD and MKD need an argument.
    std::wstring slozka = CestaNaServeru(misto.slozka);
    if (!slozka.empty() && !FtpSetCurrentDirectoryW(pripojeni.Spojeni(), slozka.c_str())) {
        if (!FtpCreateDirectoryW(pripojeni.Spojeni(), slozka.c_str()) ||
            !FtpSetCurrentDirectoryW(pripojeni.Spojeni(), slozka.c_str()))
            VyhoditPosledni();
    }
    try {
        PoslatSoubor(pripojeni.Spojeni(), soubor.Get(), uloha.vzdaleneJmeno, zruseni);
    } catch (const Zastaveno&) {
        pripojeni.Opustit();
        throw;
    }
}

} // namespace

HRESULT NahratSoubor(const FtpPlace& misto, const std::wstring& lokalniCesta, const std::wstring& vzdaleneJmeno,
                     const pracovnici::Zruseni* zruseni)
{
    try {
        Odeslat({misto, vzdaleneJmeno, lokalniCesta}, zruseni);
        return S_OK;
    } catch (long kod) {
        return KodNeboFail(kod);
    } catch (const Zastaveno&) {
        return E_ABORT;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT StartFtpUpload(const FtpPlaceList& mista, const std::wstring& lokalniCesta, int index,
                       const std::wstring& vzdaleneJmeno)
{
    if (FtpUploadBezi())
        return S_FALSE;
    if (!mista.Contains(index))
        return E_INVALIDARG;
    // The worker's own copy of the place and the names.
    Uloha uloha{mista.At(index), vzdaleneJmeno.size() >= 2 ? vzdaleneJmeno
                                                          : std::wstring(PathFindFileNameW(lokalniCesta.c_str())),
                lokalniCesta};
    return pracovnici::Spustit(pracovnici::Druh::Ftp, [uloha](const pracovnici::Zruseni& zruseni) {
        HRESULT hr = NahratSoubor(uloha.misto, uloha.lokalniCesta, uloha.vzdaleneJmeno, &zruseni);
        if (hr == E_ABORT || zruseni.Zruseno())
            return;
        if (SUCCEEDED(hr))
            pracovnici::Ohlasit({NacistText(20078, uloha.vzdaleneJmeno.c_str(), uloha.misto.server.c_str()),
                                 kBublinaInformace});
        else
            pracovnici::Ohlasit({NacistText(20079, uloha.misto.nazev.c_str()), kBublinaChyba});
    });
}

HRESULT StartFtpUpload(const std::wstring& lokalniCesta, int index, const std::wstring& vzdaleneJmeno)
{
    if (!g_aplikace)
        return E_HANDLE;
    return StartFtpUpload(g_aplikace->ftpMista, lokalniCesta, index, vzdaleneJmeno);
}

bool FtpUploadBezi()
{
    return pracovnici::Bezi(pracovnici::Druh::Ftp);
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
    int index = dialog.VybraneMisto();
    if (!g_aplikace->ftpMista.Contains(index))
        return;
    HRESULT hr = StartFtpUpload(g_aplikace->ftpMista, cestaZaznamu, index, dialog.VzdaleneJmeno());
    if (hr == S_FALSE)
        MessageBeep(MB_ICONEXCLAMATION);  // started meanwhile from the dialog's loop
    else if (FAILED(hr))
        ZobrazitChybuSystemuText(NacistText(20079, g_aplikace->ftpMista.At(index).nazev.c_str()).c_str(), hr);
}

} // namespace mirvak::ftp
