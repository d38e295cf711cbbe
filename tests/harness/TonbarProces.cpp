#include "harness/TonbarProces.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace tonbar::test {

namespace {

struct Hledani {
    DWORD pid;
    const wchar_t* trida;
    HWND nalezeno;
};

BOOL CALLBACK NajitOkno(HWND okno, LPARAM l)
{
    auto* h = reinterpret_cast<Hledani*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(okno, &pid);
    if (pid != h->pid)
        return TRUE;
    wchar_t trida[64];
    if (GetClassNameW(okno, trida, 64) && wcscmp(trida, h->trida) == 0) {
        h->nalezeno = okno;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK NajitStatic(HWND okno, LPARAM l)
{
    // The message text of a message box is its static control 0xFFFF.
    if (GetDlgCtrlID(okno) == 0xFFFF) {
        wchar_t trida[32];
        if (GetClassNameW(okno, trida, 32) && _wcsicmp(trida, L"Static") == 0) {
            *reinterpret_cast<HWND*>(l) = okno;
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

std::wstring CestaWine(const std::string& unixCesta)
{
    std::wstring vysledek = L"Z:";
    for (char c : unixCesta)
        vysledek += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return vysledek;
}

std::wstring CestaProgramu()
{
    return CestaWine(TONBAR_BINARY_DIR "/Tonbar.exe");
}

TonbarProces::~TonbarProces()
{
    if (proces_) {
        if (Bezi())
            Zabit();
        CloseHandle(proces_);
    }
}

bool TonbarProces::Spustit(const std::wstring& winedebug, const std::wstring& program, const std::wstring& argumenty)
{
    // The child's environment: ours with WINEDEBUG replaced.
    std::vector<wchar_t> prostredi;
    wchar_t* blok = GetEnvironmentStringsW();
    for (const wchar_t* p = blok; *p; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"WINEDEBUG=", 10) == 0)
            continue;
        prostredi.insert(prostredi.end(), p, p + wcslen(p) + 1);
    }
    FreeEnvironmentStringsW(blok);
    std::wstring debug = L"WINEDEBUG=+pid," + winedebug;
    prostredi.insert(prostredi.end(), debug.c_str(), debug.c_str() + debug.size() + 1);
    prostredi.push_back(L'\0');

    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    std::wstring prikaz = L"\"" + program + L"\"";
    if (!argumenty.empty())
        prikaz += L" " + argumenty;
    BOOL ok = CreateProcessW(program.c_str(), prikaz.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                             prostredi.data(), nullptr, &si, &pi);
    if (!ok)
        return false;
    CloseHandle(pi.hThread);
    proces_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool TonbarProces::Bezi() const
{
    return proces_ && WaitForSingleObject(proces_, 0) == WAIT_TIMEOUT;
}

HWND TonbarProces::CekatNaOkno(const wchar_t* trida, DWORD ms) const
{
    DWORD start = GetTickCount();
    do {
        Hledani h{pid_, trida, nullptr};
        EnumWindows(NajitOkno, reinterpret_cast<LPARAM>(&h));
        if (h.nalezeno && IsWindowVisible(h.nalezeno))
            return h.nalezeno;
        if (!Bezi())
            return nullptr;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

std::optional<Zprava> TonbarProces::CekatNaZpravu(DWORD ms) const
{
    HWND dialog = CekatNaOkno(L"#32770", ms);
    if (!dialog)
        return std::nullopt;
    Zprava z;
    z.okno = dialog;
    z.titulek = TextOkna(dialog);
    HWND text = nullptr;
    EnumChildWindows(dialog, NajitStatic, reinterpret_cast<LPARAM>(&text));
    if (text)
        z.text = TextOkna(text);
    return z;
}

bool TonbarProces::StisknoutTlacitko(HWND dialog, int id)
{
    HWND tlacitko = GetDlgItem(dialog, id);
    if (!tlacitko)
        return false;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(tlacitko));
    return true;
}

std::wstring TonbarProces::TextOkna(HWND okno)
{
    wchar_t text[4096];
    // WM_GETTEXT works across processes, unlike GetWindowText on controls.
    LRESULT n = SendMessageTimeoutW(okno, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                    5000, nullptr);
    (void)n;
    text[4095] = 0;
    return text;
}

void TonbarProces::PoslatPrikaz(WORD prikaz) const
{
    if (HWND okno = CekatNaHlavniOkno(0))
        PostMessageW(okno, WM_COMMAND, MAKEWPARAM(prikaz, 0), 0);
}

bool TonbarProces::Zavrit() const
{
    HWND okno = CekatNaHlavniOkno(0);
    return okno && PostMessageW(okno, WM_CLOSE, 0, 0);
}

std::optional<DWORD> TonbarProces::CekatNaKonec(DWORD ms)
{
    if (!proces_ || WaitForSingleObject(proces_, ms) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD kod = 0;
    GetExitCodeProcess(proces_, &kod);
    return kod;
}

void TonbarProces::Zabit()
{
    if (proces_) {
        TerminateProcess(proces_, 99);
        WaitForSingleObject(proces_, 5000);
    }
}

std::string TonbarProces::ChybovyVystup() const
{
    // Wine sends every process's traces to the unix standard error of the
    // process that started it, so the child's lines are in our own stderr
    // copy; "+pid" puts the process id before each of them.
    std::string vystup;
    const char* log = std::getenv("TONBAR_STDERR_LOG");
    if (!log)
        return vystup;
    HANDLE f = CreateFileW(CestaWine(log).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return vystup;
    char buffer[65536];
    DWORD precteno = 0;
    while (ReadFile(f, buffer, sizeof buffer, &precteno, nullptr) && precteno > 0)
        vystup.append(buffer, precteno);
    CloseHandle(f);
    char predpona[16];
    std::snprintf(predpona, sizeof predpona, "%04lx:", static_cast<unsigned long>(pid_));
    std::string radky;
    size_t pos = 0;
    while (pos < vystup.size()) {
        size_t konec = vystup.find('\n', pos);
        if (konec == std::string::npos)
            konec = vystup.size();
        if (vystup.compare(pos, std::strlen(predpona), predpona) == 0)
            radky.append(vystup, pos, konec - pos).append("\n");
        pos = konec + 1;
    }
    return radky;
}

std::string WineDebugstr(const std::wstring& text)
{
    std::string s = "L\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'\n': s += "\\n"; break;
        case L'\r': s += "\\r"; break;
        case L'\t': s += "\\t"; break;
        case L'"': s += "\\\""; break;
        case L'\\': s += "\\\\"; break;
        default:
            if (c >= 32 && c < 127) {
                s += static_cast<char>(c);
            } else {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\%04x", static_cast<unsigned>(c));
                s += esc;
            }
        }
    }
    return s + "\"";
}

bool ObsahujeUdalost(const std::string& traces, const std::wstring& text, WORD typ)
{
    // Information entries are traced, warnings warned.
    std::string predpona = typ == EVENTLOG_WARNING_TYPE ? "warn:eventlog:ReportEventW " : "trace:eventlog:ReportEventW ";
    std::string radek = predpona + WineDebugstr(text);
    size_t pos = 0;
    while ((pos = traces.find(radek, pos)) != std::string::npos) {
        size_t konec = pos + radek.size();
        if (konec >= traces.size() || traces[konec] == '\n' || traces[konec] == '\r')
            return true;
        pos = konec;
    }
    return false;
}

void SmazatKonfiguraci()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mirvak\\Tonbar\\4");
}

bool ZapsatDword(const wchar_t* podklic, const wchar_t* nazev, DWORD hodnota)
{
    std::wstring cesta = L"Software\\Mirvak\\Tonbar\\4";
    if (podklic && *podklic)
        cesta += std::wstring(L"\\") + podklic;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, cesta.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, nazev, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hodnota), sizeof hodnota) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

} // namespace tonbar::test
