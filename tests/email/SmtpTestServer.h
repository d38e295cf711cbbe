// Access from a Windows-side test to the SMTP servers that smtp_test.sh
// started: their ports, the prefix's "smtp" service entry, and the messages
// they received with the summaries Python's email package made of them.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tonbar::test {

inline std::wstring Widen(const std::string& s, UINT cp = CP_UTF8)
{
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

inline std::string Narrow(const std::wstring& w, UINT cp = CP_UTF8)
{
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

inline std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string Sha256(const std::string& bytes)
{
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    unsigned char hash[32] = {};
    BCryptHash(alg, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
               static_cast<ULONG>(bytes.size()), hash, sizeof hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : hash) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

class SmtpServers {
public:
    // The spool folder as a Windows path (Wine maps "/" to Z:).
    static std::wstring Spool()
    {
        const char* unix = getenv("TONBAR_SMTP_SPOOL");
        if (!unix)
            return {};
        std::wstring w = L"Z:" + Widen(unix);
        for (auto& c : w)
            if (c == L'/')
                c = L'\\';
        return w;
    }
    static bool Available() { return !Spool().empty(); }

    static int Port(const std::string& name)
    {
        std::ifstream in((Spool() + L"\\ports.txt").c_str());
        std::string line;
        while (std::getline(in, line))
            if (line.rfind(name + "=", 0) == 0)
                return std::stoi(line.substr(name.size() + 1));
        return 0;
    }

    // Points the prefix's "smtp" service at `port`: what the client's
    // getservbyname("SMTP", "tcp") reads.
    static bool UseService(int port)
    {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        std::wstring path = std::wstring(windows) + L"\\system32\\drivers\\etc\\services";
        std::string text = ReadBytes(path), out, line;
        std::istringstream lines(text);
        bool done = false;
        while (std::getline(lines, line)) {
            if (line.rfind("smtp", 0) == 0 && (line.size() == 4 || line[4] == ' ' || line[4] == '\t')) {
                line = "smtp\t\t" + std::to_string(port) + "/tcp\t\tmail";
                done = true;
            }
            out += line + "\n";
        }
        if (!done)
            out += "smtp\t\t" + std::to_string(port) + "/tcp\t\tmail\n";
        std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << out;
        servent* s = getservbyname("SMTP", "tcp");
        return s && ntohs(static_cast<u_short>(s->s_port)) == port;
    }

    // Number of messages stored so far (their summaries).
    static int Count()
    {
        int n = 0;
        while (GetFileAttributesW((Spool() + L"\\" + std::to_wstring(n + 1) + L".txt").c_str()) !=
               INVALID_FILE_ATTRIBUTES)
            ++n;
        return n;
    }
    static bool WaitCount(int count, DWORD ms = 20000)
    {
        ULONGLONG end = GetTickCount64() + ms;
        while (Count() < count) {
            if (GetTickCount64() > end)
                return false;
            Sleep(50);
        }
        return true;
    }

    // key -> values of message n's summary (rcpt repeats).
    static std::multimap<std::string, std::string> Summary(int n)
    {
        std::multimap<std::string, std::string> m;
        std::istringstream in(ReadBytes(Spool() + L"\\" + std::to_wstring(n) + L".txt"));
        std::string line;
        while (std::getline(in, line)) {
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                m.emplace(line.substr(0, eq), line.substr(eq + 1));
        }
        return m;
    }
    static std::string One(const std::multimap<std::string, std::string>& m, const std::string& key)
    {
        auto it = m.find(key);
        return it == m.end() ? std::string("<missing>") : it->second;
    }
    // Text part k of message n as a mail client shows it (UTF-8 file),
    // without the line end the parser adds at its end.
    static std::wstring PartText(int n, int k)
    {
        std::wstring t = Widen(ReadBytes(Spool() + L"\\" + std::to_wstring(n) + L".part" + std::to_wstring(k) + L".txt"));
        while (!t.empty() && (t.back() == L'\n' || t.back() == L'\r'))
            t.pop_back();
        return t;
    }
    // The command lines a scripted server read, from its log.
    static std::string Log(const std::string& name) { return ReadBytes(Spool() + L"\\fault-" + Widen(name) + L".log"); }
    static std::string Raw(int n) { return ReadBytes(Spool() + L"\\" + std::to_wstring(n) + L".eml"); }
};

} // namespace tonbar::test
