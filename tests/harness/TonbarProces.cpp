#include "harness/TonbarProces.h"
#include "harness/Dialogy.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tonbar::test {

std::wstring CestaWine(const std::string& unixCesta)
{
    std::wstring vysledek = L"Z:";
    for (char c : unixCesta)
        vysledek += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return vysledek;
}

std::wstring CestaProgramu() { return CestaWine(TONBAR_BINARY_DIR "/Tonbar.exe"); }

TonbarProces::~TonbarProces()
{
    Zabit();  // nothing when it has ended
    if (proces_)
        CloseHandle(proces_);
}

bool TonbarProces::Spustit(const std::wstring& winedebug, const std::wstring& program, const std::wstring& argumenty)
{
    // The child inherits our environment with WINEDEBUG replaced for it.
    wchar_t nase[1024] = {};
    const bool meli = GetEnvironmentVariableW(L"WINEDEBUG", nase, 1024) > 0;
    SetEnvironmentVariableW(L"WINEDEBUG", (L"+pid," + winedebug).c_str());
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    std::wstring prikaz = L"\"" + program + L"\"" + (argumenty.empty() ? L"" : L" " + argumenty);
    BOOL ok = CreateProcessW(program.c_str(), prikaz.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"WINEDEBUG", meli ? nase : nullptr);
    if (!ok)
        return false;
    CloseHandle(pi.hThread);
    proces_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool TonbarProces::Bezi() const { return proces_ && WaitForSingleObject(proces_, 0) == WAIT_TIMEOUT; }

HWND TonbarProces::CekatNaOkno(const wchar_t* trida, DWORD ms) const
{
    HWND nalez = nullptr;
    PockatNa([&] { return (nalez = OknoProcesu(pid_, trida)) != nullptr || !Bezi(); }, ms);
    return nalez;
}

std::optional<Zprava> TonbarProces::CekatNaZpravu(DWORD ms) const
{
    // A message box: a dialog with the text static 0xFFFF.
    HWND box = nullptr;
    PockatNa([&] {
        box = NajitOkno([&](HWND o) {
            return ProcesOkna(o) == pid_ && TridaOkna(o) == L"#32770" && IsWindowVisible(o) &&
                   GetDlgItem(o, 0xFFFF);
        });
        return box || !Bezi();
    }, ms);
    return box ? std::optional<Zprava>(Zprava{box, Text(box), Text(box, 0xFFFF)}) : std::nullopt;
}

bool TonbarProces::StisknoutTlacitko(HWND dialog, int id)
{
    HWND tlacitko = GetDlgItem(dialog, id);
    return tlacitko && PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(tlacitko));
}

std::wstring TonbarProces::TextOkna(HWND okno) { return Text(okno); }

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
    // Wine sends every process's traces to the unix standard error of the process that started it, so the
    // child's lines are in our own stderr copy; "+pid" puts the process id before each of them.
    const char* log = std::getenv("TONBAR_STDERR_LOG");
    std::ifstream f(CestaWine(log ? log : "").c_str(), std::ios::binary);
    std::string vystup(std::istreambuf_iterator<char>(f), {}), radky;
    char predpona[16];
    std::snprintf(predpona, sizeof predpona, "%04lx:", static_cast<unsigned long>(pid_));
    for (size_t pos = 0, konec; pos < vystup.size(); pos = konec + 1) {
        konec = std::min(vystup.find('\n', pos), vystup.size());
        if (vystup.compare(pos, std::strlen(predpona), predpona) == 0)
            radky.append(vystup, pos, konec - pos).append("\n");
    }
    return radky;
}

// Wine traces each event-log text as: trace:eventlog:ReportEventW L"..." with non-ASCII characters escaped;
// this gives that quoted form of `text`.
static std::string WineDebugstr(const std::wstring& text)
{
    std::string s = "L\"";
    for (wchar_t c : text) {
        const char* esc = c == L'\n' ? "\\n" : c == L'\r' ? "\\r" : c == L'\t' ? "\\t" : c == L'"' ? "\\\"" : c == L'\\' ? "\\\\" : nullptr;
        char hex[8];
        if (!esc && (c < 32 || c >= 127))
            std::snprintf(hex, sizeof hex, "\\%04x", static_cast<unsigned>(c)), esc = hex;
        s += esc ? std::string(esc) : std::string(1, static_cast<char>(c));
    }
    return s + "\"";
}

bool ObsahujeUdalost(const std::string& traces, const std::wstring& text, WORD typ)
{
    // Information entries are traced, warnings warned; the text ends its line.
    std::string radek = (typ == EVENTLOG_WARNING_TYPE ? "warn:eventlog:ReportEventW " : "trace:eventlog:ReportEventW ") +
                        WineDebugstr(text);
    for (size_t pos = traces.find(radek); pos != std::string::npos; pos = traces.find(radek, pos + 1)) {
        size_t konec = pos + radek.size();
        if (konec >= traces.size() || traces[konec] == '\n' || traces[konec] == '\r')
            return true;
    }
    return false;
}

std::wstring KlicKonfigurace(const wchar_t* podklic)
{
    std::wstring klic = L"Software\\Mirvak\\Tonbar\\4";
    return podklic && *podklic ? klic + L"\\" + podklic : klic;
}

void SmazatKonfiguraci() { RegDeleteTreeW(HKEY_CURRENT_USER, KlicKonfigurace().c_str()); }

bool ZapsatText(const wchar_t* podklic, const wchar_t* nazev, const std::wstring& hodnota)
{
    return RegSetKeyValueW(HKEY_CURRENT_USER, KlicKonfigurace(podklic).c_str(), nazev, REG_SZ, hodnota.c_str(),
                           static_cast<DWORD>((hodnota.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool ZapsatDword(const wchar_t* podklic, const wchar_t* nazev, DWORD hodnota)
{
    return RegSetKeyValueW(HKEY_CURRENT_USER, KlicKonfigurace(podklic).c_str(), nazev, REG_DWORD, &hodnota,
                           sizeof hodnota) == ERROR_SUCCESS;
}

} // namespace tonbar::test
