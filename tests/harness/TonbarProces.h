// Drives a real Tonbar.exe from a test under Wine: its windows, commands, message boxes, exit code, traces
// and configuration key.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tonbar::test {

// Unix path -> Wine path (Z:\...).
std::wstring CestaWine(const std::string& unixCesta);
// The built program: <build>/Tonbar.exe.
std::wstring CestaProgramu();

// A message box (dialog class #32770) of a process: its window, caption and text.
struct Zprava {
    HWND okno = nullptr;
    std::wstring titulek;
    std::wstring text;
};

class TonbarProces {
public:
    TonbarProces() = default;
    ~TonbarProces();
    TonbarProces(const TonbarProces&) = delete;
    TonbarProces& operator=(const TonbarProces&) = delete;

    // Starts the program (or an installed copy, the setup) with Wine traces `winedebug` for ChybovyVystup.
    bool Spustit(const std::wstring& winedebug = L"-all", const std::wstring& program = CestaProgramu(),
                 const std::wstring& argumenty = L"");

    DWORD Pid() const { return pid_; }
    bool Bezi() const;

    // The top-level window of class `trida` owned by the process, waiting up to `ms`.
    HWND CekatNaOkno(const wchar_t* trida, DWORD ms = 20000) const;
    HWND CekatNaHlavniOkno(DWORD ms = 20000) const { return CekatNaOkno(L"tonbar", ms); }
    // A message box (a dialog with the text static 0xFFFF) of the process, waiting up to `ms`.
    std::optional<Zprava> CekatNaZpravu(DWORD ms = 20000) const;
    // Presses a button of a dialog (IDOK, IDYES, ...).
    static bool StisknoutTlacitko(HWND dialog, int id);

    static std::wstring TextOkna(HWND okno);
    void PoslatPrikaz(WORD prikaz) const;
    // Sends WM_CLOSE to the main window.
    bool Zavrit() const;
    // Waits for the process to end; nullopt on time-out.
    std::optional<DWORD> CekatNaKonec(DWORD ms = 20000);
    void Zabit();

    // Everything the process wrote to standard error so far (Wine traces).
    std::string ChybovyVystup() const;

private:
    HANDLE proces_ = nullptr;
    DWORD pid_ = 0;
};

// True when the traces hold a ReportEventW of exactly this text and type.
bool ObsahujeUdalost(const std::string& traces, const std::wstring& text, WORD typ);

// The program's configuration key, or its subkey `podklic`.
std::wstring KlicKonfigurace(const wchar_t* podklic = nullptr);
// Removes the program's configuration key, for a test to start from nothing.
void SmazatKonfiguraci();
bool ZapsatText(const wchar_t* podklic, const wchar_t* nazev, const std::wstring& hodnota);
bool ZapsatDword(const wchar_t* podklic, const wchar_t* nazev, DWORD hodnota);

} // namespace tonbar::test
