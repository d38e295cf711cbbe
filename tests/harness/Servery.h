// The real servers of servers.sh and what the network tests share: file bytes, random data, hashes, an icon
// that records the workers' balloons, and a store pointed at a folder of the test's own.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>

#include "app/Pracovnici.h"
#include "mainwindow/IkonaOznameni.h"
#include "stores/DatovaSlozka.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace tonbar::test {

inline std::wstring Widen(const std::string& s, UINT cp = CP_UTF8)
{
    std::wstring w(s.size(), L'\0');
    w.resize(static_cast<size_t>(MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                                     static_cast<int>(w.size()))));
    return w;
}

inline std::string Narrow(const std::wstring& w, UINT cp = CP_UTF8)
{
    std::string s(w.size() * 4, '\0');
    s.resize(static_cast<size_t>(WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                                     static_cast<int>(s.size()), nullptr, nullptr)));
    return s;
}

inline std::wstring Prostredi(const wchar_t* nazev)
{
    wchar_t hodnota[1024] = {};
    DWORD n = GetEnvironmentVariableW(nazev, hodnota, 1024);
    return n < 1024 ? hodnota : L"";
}

inline std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

inline bool Existuje(const std::wstring& cesta) { return GetFileAttributesW(cesta.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Pseudo-random bytes that no text conversion leaves alone (CR, LF, 0, 0x1A first).
inline std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    s.replace(0, std::min<size_t>(n, 6), std::string("\r\n\0\x1A\r\r", 6), 0, std::min<size_t>(n, 6));
    return s;
}

inline std::string Sha256(const std::string& bytes)
{
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    unsigned char hash[32] = {};
    BCryptHash(alg, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
               static_cast<ULONG>(bytes.size()), hash, sizeof hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    std::string hex;
    for (unsigned char b : hash)
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

// The SMTP servers of servers.sh smtp: their ports, the prefix's "smtp" service entry, and the messages they
// stored with Python's summaries.
class SmtpServers {
public:
    static std::wstring Spool()  // as a Windows path: Wine maps "/" to Z:
    {
        std::wstring w = Prostredi(L"TONBAR_SMTP_SPOOL");
        std::replace(w.begin(), w.end(), L'/', L'\\');
        return w.empty() ? w : L"Z:" + w;
    }
    static bool Available() { return !Spool().empty(); }

    static int Port(const std::string& name) { return std::atoi(Hodnoty(L"ports.txt")[name].c_str()); }

    // Points the prefix's "smtp" service, which the client's getservbyname reads, at `port`.
    static bool UseService(int port)
    {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        std::wstring path = std::wstring(windows) + L"\\system32\\drivers\\etc\\services";
        std::istringstream lines(ReadBytes(path));
        std::string out, entry = "smtp\t\t" + std::to_string(port) + "/tcp\t\tmail\n";
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("smtp", 0) != 0 || (line.size() > 4 && line[4] != ' ' && line[4] != '\t'))
                out += line + "\n";
        WriteBytes(path, out + entry);
        servent* s = getservbyname("SMTP", "tcp");
        return s && ntohs(static_cast<u_short>(s->s_port)) == port;
    }

    static int Count()  // messages stored so far
    {
        int n = 0;
        while (Existuje(Spool() + L"\\" + std::to_wstring(n + 1) + L".txt"))
            ++n;
        return n;
    }
    static bool WaitCount(int count, DWORD ms = 20000)
    {
        ULONGLONG end = GetTickCount64() + ms;
        while (Count() < count && GetTickCount64() < end)
            Sleep(50);
        return Count() >= count;
    }

    // The lines "key=value" of a file of the spool: key -> values; s["key"] is the first or "<missing>".
    struct Souhrn : std::multimap<std::string, std::string> {
        std::string operator[](const std::string& key) const
        {
            auto it = find(key);
            return it == end() ? std::string("<missing>") : it->second;
        }
    };
    static Souhrn Hodnoty(const std::wstring& soubor)
    {
        Souhrn m;
        std::istringstream in(ReadBytes(Spool() + L"\\" + soubor));
        for (std::string line; std::getline(in, line);)
            if (size_t eq = line.find('='); eq != std::string::npos)
                m.emplace(line.substr(0, eq), line.substr(eq + 1));
        return m;
    }
    // Message n's summary once stored ("rcpt" repeats).
    static Souhrn Summary(int n, DWORD ms = 20000)
    {
        WaitCount(n, ms);
        return Hodnoty(std::to_wstring(n) + L".txt");
    }
    // Text part k of message n as a mail client shows it, without the parser's line end.
    static std::wstring PartText(int n, int k)
    {
        std::wstring t = Widen(ReadBytes(Spool() + L"\\" + std::to_wstring(n) + L".part" + std::to_wstring(k) + L".txt"));
        return t.erase(t.find_last_not_of(L"\r\n") + 1);
    }
    static std::string Log(const std::string& name) { return ReadBytes(Spool() + L"\\fault-" + Widen(name) + L".log"); }
    static std::string Raw(int n) { return ReadBytes(Spool() + L"\\" + std::to_wstring(n) + L".eml"); }
};

// The FTP server of servers.sh ftp: pyftpdlib on 127.0.0.1:21 (TONBAR_FTP_CTL once it listens) with root
// `koren` (a Windows path) and one user.
struct FtpServer {
    std::wstring koren = Prostredi(L"TONBAR_FTP_ROOT");
    std::wstring uzivatel = Prostredi(L"TONBAR_FTP_USER");
    std::wstring heslo = Prostredi(L"TONBAR_FTP_PASSWORD");
    int port = _wtoi(Prostredi(L"TONBAR_FTP_CTL").c_str());

    bool Bezi() const { return !koren.empty() && port > 0; }
    std::wstring Cesta(const std::wstring& relativni) const { return koren + L"\\" + relativni; }
};

// A hidden window with a notification-area icon, registered as the main window's icon and as the window the
// workers report to, so that their balloons are recorded.
class IkonaTestu {
public:
    IkonaTestu()
    {
        WNDCLASSW trida{};
        trida.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m != pracovnici::WM_HLASENI_PRACOVNIKU)
                return DefWindowProcW(h, m, w, l);
            pracovnici::ZobrazitHlaseni();
            return 0;
        };
        trida.hInstance = GetModuleHandleW(nullptr);
        trida.lpszClassName = L"TonbarTestIkona";
        RegisterClassW(&trida);
        okno_ = CreateWindowW(trida.lpszClassName, L"Tonbar", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              trida.hInstance, nullptr);
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_APPLICATION)));
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
    // Waits (at most `ms`) until `podminka` holds, delivering the reports posted to this thread.
    template <typename Podminka>
    static bool Pockat(Podminka podminka, DWORD ms = 30000)
    {
        bool splneno = false;
        for (ULONGLONG konec = GetTickCount64() + ms; !(splneno = podminka()) && GetTickCount64() < konec; Sleep(10))
            Doruceni();
        Doruceni();
        return splneno;
    }

private:
    static void Doruceni()
    {
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&m);
    }
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
};

// Points a store's registry value at `slozka` for the object's life, then puts back what was there.
class PresmerovaniUloziste {
public:
    PresmerovaniUloziste(Uloziste u, const std::wstring& slozka) : popis_(Popis(u))
    {
        wchar_t puvodni[1024] = {};
        DWORD velikost = sizeof puvodni;
        mel_ = RegGetValueW(HKEY_CURRENT_USER, popis_.klic, popis_.hodnota, RRF_RT_REG_SZ, nullptr, puvodni,
                            &velikost) == ERROR_SUCCESS;
        puvodni_ = puvodni;
        Zapsat(slozka);
    }
    ~PresmerovaniUloziste() { mel_ ? Zapsat(puvodni_) : void(RegDeleteKeyValueW(HKEY_CURRENT_USER, popis_.klic, popis_.hodnota)); }
    PresmerovaniUloziste(const PresmerovaniUloziste&) = delete;
    PresmerovaniUloziste& operator=(const PresmerovaniUloziste&) = delete;

private:
    void Zapsat(const std::wstring& s)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, popis_.klic, popis_.hodnota, REG_SZ, s.c_str(),
                        static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t)));
    }
    const PopisUloziste& popis_;
    bool mel_ = false;
    std::wstring puvodni_;
};

} // namespace tonbar::test
