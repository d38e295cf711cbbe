// Message boxes, error texts, fatal errors and the event log: the one way the
// program reports anything to the user or to the system.
#pragma once

#include <windows.h>

#include <string>

// HRESULT of GetLastError(): a positive value v becomes (v & 0xFFFF) | 0x80070000,
// anything else E_FAIL.
HRESULT KodPosledniChyby();
HRESULT KodChyby(DWORD win32);

// Throws the code as a long, the way multi-step operations end a failing step.
[[noreturn]] void VyhoditKod(HRESULT hr);
inline void VyhoditPosledni() { VyhoditKod(KodPosledniChyby()); }
// A caught code: E_FAIL in place of a code that carries no failure.
inline HRESULT KodNeboFail(long code) { return code == 0 ? E_FAIL : static_cast<HRESULT>(code); }

std::wstring TextKodu(HRESULT hr);
std::wstring TextChyby(DWORD win32);
std::wstring TextPosledniChyby();

std::wstring NacistRetezec(UINT id, bool* nalezen = nullptr);
std::wstring NacistText(UINT id, ...);
std::wstring FormatovatText(const wchar_t* format, ...);
// Adds a full stop when the text does not end with one.
std::wstring STeckou(std::wstring text);

int ZobrazitZpravu(const wchar_t* text, UINT flags);
int ZobrazitChybu(const wchar_t* text);
int ZobrazitZpravuId(UINT id, UINT flags);
int ZobrazitChybuId(UINT id);
int ZobrazitChybuSystemu(UINT id, HRESULT hr);
int ZobrazitChybuSystemuText(const wchar_t* text, HRESULT hr);
// Yes / No / Cancel with No preselected; true only for Yes.
bool Otazka(const wchar_t* text);

[[noreturn]] void FatalniChyba(const wchar_t* text);
[[noreturn]] void FatalniChybaPosledni();
[[noreturn]] void FatalniChybaKod(HRESULT hr);

// The program file's name with extension ("Tonbar.exe"); empty when unknown.
std::wstring JmenoSouboruProgramu();

// An event text as it is written: a full stop added when missing, then CR LF.
std::wstring TextUdalosti(std::wstring text);
HRESULT ZapsatUdalost(const wchar_t* text, WORD typ);
HRESULT ZapsatInformaci(const wchar_t* text);
HRESULT ZapsatInformaci(UINT id);
HRESULT ZapsatVarovani(const wchar_t* text);
HRESULT ZapsatVarovani(UINT id);
