// The application object: start-up, shutdown and the services every window
// and dialog uses.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <winsock2.h>

#include "app/Handles.h"
#include "app/IMirvakModul.h"
#include "recording/AudioCaptureDeviceList.h"
#include "recording/AudioRecorder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Aplikace final : public mirvak::IMirvakModul {
public:
    Aplikace();
    ~Aplikace();
    Aplikace(const Aplikace&) = delete;
    Aplikace& operator=(const Aplikace&) = delete;

    const wchar_t* NazevProduktu() override { return nazevProduktu.c_str(); }
    HRESULT ObsluhaFatalniChyby(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT ObsluhaZpravy(const wchar_t*, UINT, int*) override { return E_NOTIMPL; }

    // 0: the main window runs; 1: another instance runs; else an error code.
    HRESULT Inicializovat(HINSTANCE instance);
    HRESULT Ukoncit();

    void NastavitPrioritu();
    HRESULT SpustitDizivuz();

    HINSTANCE instance = nullptr;
    // The capture devices (start-up step 12) and the one recorder (step 13).
    std::unique_ptr<AudioCaptureDeviceList> zarizeni;
    std::unique_ptr<AudioRecorder> zaznamnik;
    uint32_t cisloZaznamu = 0;
    std::wstring souborZaznamu;
    std::wstring noveJmenoZaznamu;
    CRITICAL_SECTION cs;
    ULONG_PTR gdiplusToken = 0;
    HICON velkaIkona = nullptr;
    HICON malaIkona = nullptr;
    HICON ikonaZaznamu = nullptr;
    HANDLE mutex = nullptr;
    std::wstring nazevProduktu;
    std::wstring jmenoUzivatele;
    std::wstring slozkaDat;
    WSADATA wsaData{};
    HIMAGELIST maleObrazky = nullptr;
    HIMAGELIST velkeObrazky = nullptr;

private:
    bool csInicializovana_ = false;
    bool konfiguraceInicializovana_ = false;
    void ZrusitKritickouSekci();
};

extern Aplikace* g_aplikace;

// The one-line text input dialog. `text` is the preset and receives the
// result on OK; `popis` is a string id (IS_INTRESOURCE) or a literal.
// Returns 0 for OK, 1 for cancel.
int VstupTextu(std::wstring& text, const wchar_t* popis, bool vybratJmeno = false, int maxDelka = 0);

// The range [0, end) a rename selects: the characters before the last ".",
// or the whole text when it has none.
int KonecVyberuJmena(const std::wstring& text);
