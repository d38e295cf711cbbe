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
#include "recording/RecordingProfile.h"
#include "stores/FtpPlace.h"
#include "stores/ContactList.h"

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

    // The capture devices enumerated while the main window was made: joins
    // that enumeration and puts its devices into `zarizeni`; a configuration
    // without a device gets the first one. False when there was none to take.
    bool PrevzitZarizeni();

    void NastavitPrioritu();
    HRESULT SpustitDizivuz();
    // "&Kontakty pro email": the external contacts program, else DlgKontakty
    // under the application lock.
    HRESULT SpravovatKontakty(HWND owner);
    // The FTP places dialog under the application lock (stores/DlgFtpMista.cpp).
    HRESULT SpravovatFtpMista(HWND owner);

    HINSTANCE instance = nullptr;
    // The capture devices (start-up step 12) and the one recorder (step 13).
    std::unique_ptr<AudioCaptureDeviceList> zarizeni;
    std::unique_ptr<AudioRecorder> zaznamnik;
    // The recording profiles (start-up step after the recorder); changed only
    // by DlgProfilyZaznamu.
    RecordingProfileStore profilyZaznamu;
    // The FTP places (start-up step 14), for the whole run.
    FtpPlaceList ftpMista;
    // The contacts (start-up step 11), for the whole run.
    ContactList kontakty;
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
    // Loaded when first needed: the start does without them.
    HIMAGELIST VelkeObrazky();
    HICON IkonaZaznamu();

private:
    AudioCaptureDeviceEnumeration vyctovaniZarizeni_;
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
