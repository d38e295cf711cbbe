#include "app/Pracovnici.h"

#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "mainwindow/IkonaOznameni.h"

#include <process.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace pracovnici {

namespace {

constexpr int kDruhu = 5;

// The program's owner. Never destroyed: a worker that could not be waited
// for at the close may still end after the static destructors ran.
Vlastnik& V()
{
    static Vlastnik* v = new Vlastnik;
    return *v;
}

// Closes the dialogs (message boxes included) that a worker's thread shows,
// so that its modal loop ends.
void ZavritDialogy(DWORD idVlakna)
{
    EnumThreadWindows(
        idVlakna,
        [](HWND okno, LPARAM) -> BOOL {
            wchar_t trida[16] = {};
            if (GetClassNameW(okno, trida, 16) && wcscmp(trida, L"#32770") == 0)
                PostMessageW(okno, WM_CLOSE, 0, 0);
            return TRUE;
        },
        0);
}

}  // namespace

struct Vlastnik::Stav {
    struct Slot {
        HANDLE vlakno = nullptr;  // closed by the owner once the thread has ended
        DWORD id = 0;
        bool bezi = false;        // the busy marker
        std::shared_ptr<Zruseni> zruseni;
    };
    std::mutex m;
    Slot sloty[kDruhu];
    HWND okno = nullptr;
    std::vector<Hlaseni> fronta;
    bool konci = false;
    ULONGLONG termin = 0;
};

namespace {

// What a starting thread receives; it owns the work and everything the
// work captured.
struct Blok {
    Vlastnik::Stav* vlastnik;
    Druh druh;
    std::function<void(const Zruseni&)> prace;
    std::shared_ptr<Zruseni> zruseni;
};

unsigned __stdcall Vlakno(void* parametr)
{
    std::unique_ptr<Blok> blok(static_cast<Blok*>(parametr));
    try {
        blok->prace(*blok->zruseni);
    } catch (...) {
        // A worker reports its own failures; nothing may keep the marker set.
    }
    Vlastnik::Stav& v = *blok->vlastnik;
    int index = static_cast<int>(blok->druh);
    blok.reset();  // what the work captured goes before the marker clears
    std::lock_guard<std::mutex> zamek(v.m);
    v.sloty[index].bezi = false;
    return 0;
}

}  // namespace

Vlastnik::Vlastnik() : stav_(new Stav) {}

Vlastnik::~Vlastnik()
{
    // A worker must not outlive the state it clears its marker in.
    Ukoncit(INFINITE);
    delete stav_;
}

HRESULT Vlastnik::Spustit(Druh druh, std::function<void(const Zruseni&)> prace)
{
    Stav& v = *stav_;
    std::lock_guard<std::mutex> zamek(v.m);
    Stav::Slot& slot = v.sloty[static_cast<int>(druh)];
    if (slot.bezi || v.konci)
        return S_FALSE;
    if (slot.vlakno) {
        // The previous worker of this kind has done its work and only ends.
        WaitForSingleObject(slot.vlakno, INFINITE);
        CloseHandle(slot.vlakno);
        slot = Stav::Slot{};
    }
    auto blok = std::make_unique<Blok>(Blok{stav_, druh, std::move(prace), std::make_shared<Zruseni>()});
    unsigned id = 0;
    // Suspended, so that the marker is set before the worker can clear it.
    uintptr_t h = _beginthreadex(nullptr, 0, Vlakno, blok.get(), CREATE_SUSPENDED, &id);
    if (!h)
        return KodPosledniChyby();
    slot.vlakno = reinterpret_cast<HANDLE>(h);
    slot.id = id;
    slot.bezi = true;
    slot.zruseni = blok->zruseni;
    Blok* predany = blok.release();
    if (ResumeThread(slot.vlakno) == static_cast<DWORD>(-1)) {
        HRESULT hr = KodPosledniChyby();
        // The thread never ran: it goes with its work, and no marker stays set.
        TerminateThread(slot.vlakno, 1);
        WaitForSingleObject(slot.vlakno, INFINITE);
        CloseHandle(slot.vlakno);
        delete predany;
        slot = Stav::Slot{};
        return hr;
    }
    return S_OK;
}

bool Vlastnik::Bezi(Druh druh)
{
    std::lock_guard<std::mutex> zamek(stav_->m);
    return stav_->sloty[static_cast<int>(druh)].bezi;
}

bool Pockat(Druh druh, DWORD ms)
{
    ULONGLONG konec = GetTickCount64() + ms;
    while (Bezi(druh)) {
        if (GetTickCount64() >= konec)
            return false;
        Sleep(10);
    }
    return true;
}

void Vlastnik::Ohlasit(Hlaseni hlaseni)
{
    Stav& v = *stav_;
    std::lock_guard<std::mutex> zamek(v.m);
    if (!v.okno || v.konci)
        return;
    v.fronta.push_back(std::move(hlaseni));
    PostMessageW(v.okno, WM_HLASENI_PRACOVNIKU, 0, 0);
}

void Vlastnik::NastavitOkno(HWND okno)
{
    Stav& v = *stav_;
    std::lock_guard<std::mutex> zamek(v.m);
    v.okno = okno;
    if (!okno)
        v.fronta.clear();
}

std::vector<Hlaseni> Vlastnik::Vyzvednout()
{
    Stav& v = *stav_;
    std::lock_guard<std::mutex> zamek(v.m);
    std::vector<Hlaseni> hlaseni;
    hlaseni.swap(v.fronta);
    return hlaseni;
}

void ZobrazitHlaseni()
{
    for (const Hlaseni& h : Vyzvednout()) {
        if (h.ulozitZobrazeni)
            UlozitZobrazeni(g_konfigurace);
        if (h.text.empty())
            continue;
        if (h.doUdalosti && (g_konfigurace.zapis_udalosti & 1))
            ZapsatVarovani(h.text.c_str());
        if (h.okno) {
            if (h.druh == kBublinaChyba)
                ZobrazitChybu(h.text.c_str());
            else
                ZobrazitZpravu(h.text.c_str(), MB_ICONINFORMATION);
        } else if (IkonaOznameni* ikona = IkonaHlavnihoOkna()) {
            // Asked again for every report: a box before it ran a modal loop,
            // in which the main window may have closed.
            ikona->ZobrazitBublinu(h.text.c_str(), h.druh);
        }
    }
}

bool Vlastnik::Ukoncit(DWORD ms)
{
    Stav& v = *stav_;
    std::vector<std::pair<HANDLE, DWORD>> vlakna;
    ULONGLONG termin;
    {
        std::lock_guard<std::mutex> zamek(v.m);
        if (!v.konci) {
            v.konci = true;
            v.termin = ms == INFINITE ? ~0ull : GetTickCount64() + ms;
        }
        v.okno = nullptr;
        v.fronta.clear();
        termin = v.termin;
        for (Stav::Slot& slot : v.sloty) {
            if (!slot.vlakno)
                continue;
            if (slot.zruseni)
                slot.zruseni->Zrusit();
            // Only this function closes a handle once starting has stopped.
            vlakna.emplace_back(slot.vlakno, slot.id);
        }
    }
    for (;;) {
        std::vector<HANDLE> zbyva;
        for (auto& [h, id] : vlakna) {
            if (WaitForSingleObject(h, 0) == WAIT_OBJECT_0)
                continue;
            zbyva.push_back(h);
            ZavritDialogy(id);
        }
        ULONGLONG ted = GetTickCount64();
        if (zbyva.empty() || ted >= termin)
            break;
        DWORD dilek = static_cast<DWORD>(std::min<ULONGLONG>(termin - ted, 100));
        // Messages that a worker sends to this thread are delivered meanwhile.
        MsgWaitForMultipleObjects(static_cast<DWORD>(zbyva.size()), zbyva.data(), FALSE, dilek, QS_SENDMESSAGE);
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    std::lock_guard<std::mutex> zamek(v.m);
    bool vsechny = true;
    for (Stav::Slot& slot : v.sloty) {
        if (!slot.vlakno)
            continue;
        if (WaitForSingleObject(slot.vlakno, 0) == WAIT_OBJECT_0) {
            CloseHandle(slot.vlakno);
            slot = Stav::Slot{};
        } else {
            vsechny = false;
        }
    }
    return vsechny;
}

HRESULT Spustit(Druh druh, std::function<void(const Zruseni&)> prace)
{
    return V().Spustit(druh, std::move(prace));
}

bool Bezi(Druh druh)
{
    return V().Bezi(druh);
}

void Ohlasit(Hlaseni hlaseni)
{
    V().Ohlasit(std::move(hlaseni));
}

void NastavitOkno(HWND okno)
{
    V().NastavitOkno(okno);
}

std::vector<Hlaseni> Vyzvednout()
{
    return V().Vyzvednout();
}

bool Ukoncit(DWORD ms)
{
    return V().Ukoncit(ms);
}

}  // namespace pracovnici
