#include "app/Chyby.h"

#include "app/IMirvakModul.h"
#include "app/Verze.h"
#include "resources/resource.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace mirvak {
IMirvakModul* g_modul = nullptr;
}

namespace {

constexpr UINT kPriznakyZpravy = MB_TASKMODAL | MB_SETFOREGROUND;

std::wstring FormatovatV(const wchar_t* format, va_list args)
{
    // Microsoft semantics (%s is a wide string in a wide format), as the
    // string table's texts are written.
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list kopie;
        va_copy(kopie, args);
        int n = _vsnwprintf(buffer.data(), buffer.size(), format, kopie);
        va_end(kopie);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size())
            return std::wstring(buffer.data(), n);
        if (buffer.size() > (1u << 20))
            return std::wstring(buffer.data(), buffer.size() - 1);
        buffer.resize(buffer.size() * 2);
    }
}

// Source name of the event log entries.
std::wstring NazevZdroje()
{
    if (mirvak::g_modul) {
        const wchar_t* nazev = mirvak::g_modul->NazevProduktu();
        if (nazev && *nazev)
            return nazev;
    }
    std::wstring nazev;
    if (SUCCEEDED(NacistHodnotuVerze(L"ProductName", nazev)) && !nazev.empty())
        return nazev;
    return JmenoSouboruProgramu();
}

std::wstring NazevProduktuNeboSouboru()
{
    return NazevZdroje();
}

} // namespace

HRESULT KodChyby(DWORD win32)
{
    HRESULT hr = static_cast<HRESULT>(win32);
    if (hr > 0)
        return static_cast<HRESULT>((win32 & 0xFFFF) | 0x80070000u);
    if (hr < 0)
        return hr;
    return E_FAIL;
}

HRESULT KodPosledniChyby()
{
    return KodChyby(GetLastError());
}

void VyhoditKod(HRESULT hr)
{
    throw static_cast<long>(hr);
}

std::wstring TextKodu(HRESULT hr)
{
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), LANG_USER_DEFAULT,
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n != 0 && text) {
        std::wstring vysledek(text, n);
        LocalFree(text);
        while (!vysledek.empty() && (vysledek.back() == L'\n' || vysledek.back() == L'\r'))
            vysledek.pop_back();
        return vysledek;
    }
    uint32_t kod = static_cast<uint32_t>(hr);
    if (kod >= 0x80040200u && kod <= 0x8004FFFFu)
        return NacistText(IDS_IDISPATCH_CHYBA, static_cast<int>(kod - 0x80040200u));
    return NacistText(IDS_NEZNAMA_CHYBA, static_cast<unsigned long>(kod));
}

std::wstring TextChyby(DWORD win32)
{
    if (win32 == 0)
        return NacistRetezec(IDS_NESPECIFIKOVANA_CHYBA);
    return TextKodu(KodChyby(win32));
}

std::wstring TextPosledniChyby()
{
    return TextChyby(GetLastError());
}

std::wstring NacistRetezec(UINT id, bool* nalezen)
{
    const wchar_t* text = nullptr;
    // With a zero buffer length LoadStringW gives a pointer into the resource.
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    if (nalezen)
        *nalezen = n > 0 && text;
    if (n <= 0 || !text)
        return {};
    return std::wstring(text, n);
}

std::wstring FormatovatText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring vysledek = FormatovatV(format, args);
    va_end(args);
    return vysledek;
}

std::wstring NacistText(UINT id, ...)
{
    std::wstring format = NacistRetezec(id);
    va_list args;
    va_start(args, id);
    std::wstring vysledek = FormatovatV(format.c_str(), args);
    va_end(args);
    return vysledek;
}

std::wstring STeckou(std::wstring text)
{
    if (text.empty() || text.back() != L'.')
        text += L'.';
    return text;
}

std::wstring JmenoSouboruProgramu()
{
    wchar_t cesta[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, cesta, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    return PathFindFileNameW(cesta);
}

int ZobrazitZpravu(const wchar_t* text, UINT flags)
{
    if (mirvak::g_modul) {
        int vysledek = 0;
        if (mirvak::g_modul->ObsluhaZpravy(text, flags, &vysledek) != E_NOTIMPL)
            return vysledek;
    }
    std::wstring titulek = JmenoSouboruProgramu();
    if (titulek.empty())
        FatalniChybaPosledni();
    return MessageBoxW(nullptr, text, titulek.c_str(), flags | kPriznakyZpravy);
}

int ZobrazitChybu(const wchar_t* text)
{
    return ZobrazitZpravu(text, MB_ICONERROR);
}

int ZobrazitZpravuId(UINT id, UINT flags)
{
    bool nalezen = false;
    std::wstring text = NacistRetezec(id, &nalezen);
    if (!nalezen)
        return ZobrazitZpravu(TextPosledniChyby().c_str(), MB_ICONERROR);
    return ZobrazitZpravu(STeckou(text).c_str(), flags);
}

int ZobrazitChybuId(UINT id)
{
    return ZobrazitZpravuId(id, MB_ICONERROR);
}

int ZobrazitChybuSystemuText(const wchar_t* text, HRESULT hr)
{
    std::wstring zprava = NacistText(IDS_SYSTEMOVY_POPIS, text, TextKodu(hr).c_str());
    return ZobrazitChybu(zprava.c_str());
}

int ZobrazitChybuSystemu(UINT id, HRESULT hr)
{
    bool nalezen = false;
    std::wstring text = NacistRetezec(id, &nalezen);
    if (!nalezen)
        text = TextPosledniChyby();
    return ZobrazitChybuSystemuText(STeckou(text).c_str(), hr);
}

bool Otazka(const wchar_t* text)
{
    constexpr UINT flags = MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2 | kPriznakyZpravy;
    if (mirvak::g_modul) {
        int vysledek = 0;
        if (mirvak::g_modul->ObsluhaZpravy(text, flags, &vysledek) != E_NOTIMPL)
            return vysledek == IDYES;
    }
    std::wstring titulek = NazevProduktuNeboSouboru();
    return MessageBoxW(nullptr, text, titulek.c_str(), flags) == IDYES;
}

void FatalniChyba(const wchar_t* text)
{
    if (mirvak::g_modul)
        mirvak::g_modul->ObsluhaFatalniChyby(text);
    std::wstring soubor = JmenoSouboruProgramu();
    if (soubor.empty())
        FatalAppExitW(0, text);
    std::wstring zprava = NacistText(IDS_FATALNI_CHYBA, text, soubor.c_str());
    MessageBoxW(nullptr, zprava.c_str(), soubor.c_str(), MB_ICONERROR | kPriznakyZpravy);
    ExitProcess(static_cast<UINT>(-1));
}

void FatalniChybaPosledni()
{
    FatalniChyba(TextKodu(KodPosledniChyby()).c_str());
}

void FatalniChybaKod(HRESULT hr)
{
    FatalniChyba(TextKodu(hr == 0 ? E_UNEXPECTED : hr).c_str());
}

HRESULT ZapsatUdalost(const wchar_t* text, WORD typ)
{
    std::wstring zdroj = NazevZdroje();
    HANDLE log = RegisterEventSourceW(nullptr, zdroj.c_str());
    if (!log)
        return KodPosledniChyby();
    const wchar_t* retezce[1] = {text};
    HRESULT hr = S_OK;
    if (!ReportEventW(log, typ, 0, 0, nullptr, 1, 0, retezce, nullptr))
        hr = KodPosledniChyby();
    DeregisterEventSource(log);
    return hr;
}

std::wstring TextUdalosti(std::wstring text)
{
    return STeckou(std::move(text)) + L"\r\n";
}

HRESULT ZapsatInformaci(const wchar_t* text)
{
    return ZapsatUdalost(TextUdalosti(text).c_str(), EVENTLOG_INFORMATION_TYPE);
}

HRESULT ZapsatInformaci(UINT id)
{
    return ZapsatInformaci(NacistRetezec(id).c_str());
}

HRESULT ZapsatVarovani(const wchar_t* text)
{
    return ZapsatUdalost(TextUdalosti(text).c_str(), EVENTLOG_WARNING_TYPE);
}

HRESULT ZapsatVarovani(UINT id)
{
    return ZapsatVarovani(NacistRetezec(id).c_str());
}
