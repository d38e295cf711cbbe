// What the FTP tests share: the FTP server fixture's environment and control
// port, a notification-area icon that records the workers' balloons, a
// driver thread for modal dialogs, screenshots, SHA-256 and the FTP places
// store redirected into a folder of the test's own.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "app/Handles.h"
#include "app/Pracovnici.h"
#include "ftp/OdeslaniNaFtp.h"
#include "harness/TestFolder.h"
#include "harness/Snimek.h"
#include "mainwindow/IkonaOznameni.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tonbar::ftptest {

inline std::wstring Prostredi(const wchar_t* nazev)
{
    wchar_t hodnota[1024] = {};
    DWORD n = GetEnvironmentVariableW(nazev, hodnota, 1024);
    return n > 0 && n < 1024 ? std::wstring(hodnota, n) : std::wstring();
}

// The fixture started by ftp_test.sh: a pyftpdlib server on 127.0.0.1:21
// with root `Koren()` (a Windows path into the Unix file system) and one user.
struct FtpServer {
    std::wstring koren = Prostredi(L"TONBAR_FTP_ROOT");
    std::wstring uzivatel = Prostredi(L"TONBAR_FTP_USER");
    std::wstring heslo = Prostredi(L"TONBAR_FTP_PASSWORD");
    int ridiciPort = _wtoi(Prostredi(L"TONBAR_FTP_CTL").c_str());

    bool Bezi() const { return !koren.empty() && ridiciPort > 0; }
    std::wstring Cesta(const std::wstring& relativni) const { return koren + L"\\" + relativni; }

    // One command to the control port; its one-line answer.
    std::string Prikaz(const std::string& prikaz) const
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        std::string odpoved;
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        DWORD limit = 20000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
        sockaddr_in adresa{};
        adresa.sin_family = AF_INET;
        adresa.sin_port = htons(static_cast<u_short>(ridiciPort));
        adresa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s, reinterpret_cast<sockaddr*>(&adresa), sizeof adresa) == 0) {
            std::string radek = prikaz + "\n";
            send(s, radek.data(), static_cast<int>(radek.size()), 0);
            char buf[256];
            int n;
            while ((n = recv(s, buf, sizeof buf, 0)) > 0) {
                odpoved.append(buf, static_cast<size_t>(n));
                if (odpoved.find('\n') != std::string::npos)
                    break;
            }
        }
        closesocket(s);
        WSACleanup();
        while (!odpoved.empty() && (odpoved.back() == '\n' || odpoved.back() == '\r'))
            odpoved.pop_back();
        return odpoved;
    }
};

#define TONBAR_NEEDS_FTP_SERVER(server)                                                                     \
    if (!(server).Bezi())                                                                                   \
    GTEST_SKIP() << "no FTP server fixture: run through tests/ftp/ftp_test.sh (ctest -R ftp_server)"

// A hidden window with an icon in the notification area, registered as the
// main window's icon and as the window the workers report to, so that the
// workers' balloons are recorded.
class IkonaTestu {
public:
    IkonaTestu()
    {
        WNDCLASSW trida{};
        trida.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == pracovnici::WM_HLASENI_PRACOVNIKU) {
                pracovnici::ZobrazitHlaseni();
                return 0;
            }
            return DefWindowProcW(h, m, w, l);
        };
        trida.hInstance = GetModuleHandleW(nullptr);
        trida.lpszClassName = L"TonbarFtpTestIkona";
        RegisterClassW(&trida);
        okno_ = CreateWindowW(L"TonbarFtpTestIkona", L"Tonbar", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
        HICON h = LoadIconW(nullptr, IDI_APPLICATION);
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(h));
        SendMessageW(okno_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(h));
        ikona_.Pridat(okno_, 1, false, false);
        NastavitIkonuHlavnihoOkna(&ikona_);
        pracovnici::NastavitOkno(okno_);
    }
    ~IkonaTestu()
    {
        pracovnici::NastavitOkno(nullptr);
        NastavitIkonuHlavnihoOkna(nullptr);
        ikona_.Odebrat();
        DestroyWindow(okno_);
    }
    IkonaTestu(const IkonaTestu&) = delete;
    IkonaTestu& operator=(const IkonaTestu&) = delete;

    IkonaOznameni::Bublina Posledni() const { return ikona_.PosledniBublina(); }

private:
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
};

// Delivers this thread's messages.
inline void Pumpovat()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Waits (at most `ms`) until no upload runs; true when it ended.
inline bool PockatNaKonecOdeslani(int ms = 30000)
{
    auto konec = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (mirvak::ftp::FtpUploadBezi()) {
        if (std::chrono::steady_clock::now() > konec)
            return false;
        Pumpovat();
        Sleep(10);
    }
    Pumpovat();  // the outcome was posted before the marker cleared
    return true;
}

// Runs `modal` on this thread while `ridic` works on another; the driver
// gets the dialogs through `NajitOkno`. The driver must end the dialog
// (posting, never sending, a command that opens a nested modal loop).
class RidicDialogu {
public:
    explicit RidicDialogu(std::function<void(RidicDialogu&)> ridic) : ridic_(std::move(ridic)) {}

    INT_PTR Spustit(const std::function<INT_PTR()>& modal)
    {
        vlakno_ = GetCurrentThreadId();
        std::thread t([this] { ridic_(*this); });
        INT_PTR r = modal();
        t.join();
        return r;
    }

    // The enabled top-level dialog of the UI thread whose title begins
    // with `titulek`; null after `ms`.
    HWND NajitOkno(const std::wstring& titulek, int ms = 10000,
                   std::function<bool(HWND)> podminka = nullptr) const
    {
        auto konec = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            Hledani h{titulek, podminka, nullptr};
            EnumThreadWindows(vlakno_, Porovnat, reinterpret_cast<LPARAM>(&h));
            if (h.nalezeno)
                return h.nalezeno;
            if (std::chrono::steady_clock::now() > konec)
                return nullptr;
            Sleep(20);
        }
    }
    // Waits until `okno` is gone (at most `ms`); true when it is.
    static bool PockatNaZavreni(HWND okno, int ms = 10000)
    {
        for (int i = 0; i < ms / 20 && IsWindow(okno); ++i)
            Sleep(20);
        return !IsWindow(okno);
    }
    static void Kliknout(HWND dialog, int id)
    {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static std::wstring Text(HWND dialog, int id)
    {
        wchar_t text[1024] = {};
        GetDlgItemTextW(dialog, id, text, 1024);
        return text;
    }

private:
    struct Hledani {
        std::wstring titulek;
        std::function<bool(HWND)> podminka;
        HWND nalezeno;
    };
    static BOOL CALLBACK Porovnat(HWND okno, LPARAM l)
    {
        auto* h = reinterpret_cast<Hledani*>(l);
        wchar_t trida[64] = {};
        GetClassNameW(okno, trida, 64);
        wchar_t titulek[512] = {};
        GetWindowTextW(okno, titulek, 512);
        if (std::wstring(trida) == L"#32770" && IsWindowVisible(okno) && IsWindowEnabled(okno) &&
            std::wstring(titulek).rfind(h->titulek, 0) == 0 && (!h->podminka || h->podminka(okno))) {
            h->nalezeno = okno;
            return FALSE;
        }
        return TRUE;
    }

    std::function<void(RidicDialogu&)> ridic_;
    DWORD vlakno_ = 0;
};

// Saves what the screen shows of `okno` as a PNG into build/screenshots/.
inline bool SnimekObrazovky(HWND okno, const std::wstring& jmeno) { return tonbar::test::SnimekDoSlozky(okno, jmeno); }

inline std::vector<unsigned char> NacistSoubor(const std::wstring& cesta)
{
    std::vector<unsigned char> data;
    FILE* f = _wfopen(cesta.c_str(), L"rb");
    if (!f)
        return data;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

inline void ZapsatSoubor(const std::wstring& cesta, const std::vector<unsigned char>& data)
{
    FILE* f = _wfopen(cesta.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// SHA-256 of a file as hex; empty when it cannot be read.
inline std::string Sha256(const std::wstring& cesta)
{
    std::vector<unsigned char> data = NacistSoubor(cesta);
    if (data.empty() && GetFileAttributesW(cesta.c_str()) == INVALID_FILE_ATTRIBUTES)
        return {};
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        return {};
    unsigned char hash[32] = {};
    NTSTATUS st = BCryptHash(alg, nullptr, 0, data.data(), static_cast<ULONG>(data.size()), hash, 32);
    BCryptCloseAlgorithmProvider(alg, 0);
    if (st != 0)
        return {};
    std::string hex;
    char dvojice[3];
    for (unsigned char b : hash) {
        snprintf(dvojice, sizeof dvojice, "%02x", b);
        hex += dvojice;
    }
    return hex;
}

// Pseudo-random bytes that no text conversion leaves alone (CR, LF, 0, 0x1A).
inline std::vector<unsigned char> NahodnaData(size_t velikost, unsigned seed)
{
    std::vector<unsigned char> data(velikost);
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < velikost; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = static_cast<unsigned char>(x >> 16);
    }
    const unsigned char zvlastni[] = {'\r', '\n', 0, 0x1A, '\r', '\r', '\n', '\n'};
    for (size_t i = 0; i < sizeof zvlastni && i < velikost; ++i)
        data[i] = zvlastni[i];
    return data;
}

// Points the FTP places store ("Software\Mirvak\ftp_mista", "SlozkaData")
// at a folder of the test's own and puts back what was there.
class PresmerovaneUloziste {
public:
    explicit PresmerovaneUloziste(const std::wstring& slozka)
    {
        HKEY klic = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Mirvak\\ftp_mista", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &klic, nullptr);
        klic_.Reset(klic);
        wchar_t puvodni[1024] = {};
        DWORD velikost = sizeof puvodni, typ = 0;
        mel_ = RegQueryValueExW(klic, L"SlozkaData", nullptr, &typ, reinterpret_cast<BYTE*>(puvodni), &velikost) ==
                   ERROR_SUCCESS &&
               typ == REG_SZ;
        if (mel_)
            puvodni_ = puvodni;
        RegSetValueExW(klic, L"SlozkaData", 0, REG_SZ, reinterpret_cast<const BYTE*>(slozka.c_str()),
                       static_cast<DWORD>((slozka.size() + 1) * sizeof(wchar_t)));
    }
    ~PresmerovaneUloziste()
    {
        if (mel_)
            RegSetValueExW(klic_.Get(), L"SlozkaData", 0, REG_SZ, reinterpret_cast<const BYTE*>(puvodni_.c_str()),
                           static_cast<DWORD>((puvodni_.size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(klic_.Get(), L"SlozkaData");
    }
    PresmerovaneUloziste(const PresmerovaneUloziste&) = delete;
    PresmerovaneUloziste& operator=(const PresmerovaneUloziste&) = delete;

private:
    mirvak::winapi::RegKey klic_;
    bool mel_ = false;
    std::wstring puvodni_;
};

} // namespace tonbar::ftptest
