// The one owner of the application's background workers (sending a
// recording by e-mail, the test message of an SMTP account, the FTP upload,
// the update check and the start-up repair of unfinished recordings): it starts each on its own thread, holds its busy
// marker, can tell it to stop, and waits for it before anything it uses is
// released. Workers never touch a window or icon of the main thread: what
// the user is to be told goes through the owner, which posts it to the
// window that shows it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace pracovnici {

enum class Druh { Email, TestSmtp, Ftp, Aktualizace, OpravaZaznamu };

// Posted to the reporting window (wParam and lParam 0) when reports wait;
// its handler calls ZobrazitHlaseni.
inline constexpr UINT WM_HLASENI_PRACOVNIKU = WM_APP + 2016;

// What a worker wants the user to hear, shown on the main thread.
struct Hlaseni {
    std::wstring text;
    // Balloon kind (kBublinaInformace, kBublinaChyba); with `okno` a message
    // box: kBublinaChyba an error box, anything else an information box.
    DWORD druh = 0;
    bool okno = false;
    // Save the view values of the configuration (the e-mail recipient)
    // before showing: the main thread owns the record.
    bool ulozitZobrazeni = false;
    // Also a warning in the event log when runtime errors are logged
    // (bit 0 of zapis_udalosti).
    bool doUdalosti = false;
};

// Told to a worker: whether it should stop as soon as it can.
class Zruseni {
public:
    bool Zruseno() const { return priznak_.load(); }
    const std::atomic<bool>* Priznak() const { return &priznak_; }
    void Zrusit() { priznak_ = true; }

private:
    std::atomic<bool> priznak_{false};
};

// The owner itself. The program has one (the functions below); a test may
// make its own. Destroying an owner waits for its workers.
class Vlastnik {
public:
    Vlastnik();
    ~Vlastnik();
    Vlastnik(const Vlastnik&) = delete;
    Vlastnik& operator=(const Vlastnik&) = delete;

    HRESULT Spustit(Druh druh, std::function<void(const Zruseni&)> prace);
    bool Bezi(Druh druh);
    void Ohlasit(Hlaseni hlaseni);
    void NastavitOkno(HWND okno);
    std::vector<Hlaseni> Vyzvednout();
    bool Ukoncit(DWORD ms);

    struct Stav;  // markers, threads and reports, behind one lock

private:
    Stav* stav_;
};

// Starts `prace` on a thread of its own as the worker of kind `druh`. S_OK;
// S_FALSE (nothing started) while a worker of that kind runs or after
// Ukoncit; else the code of the failure to start, with no marker left set.
// `prace` runs to its end on that thread; whatever it captured is destroyed
// there before the marker clears.
HRESULT Spustit(Druh druh, std::function<void(const Zruseni&)> prace);
// True while a worker of that kind has not finished.
bool Bezi(Druh druh);
// Waits (at most `ms`) until no worker of that kind runs; true when none does.
bool Pockat(Druh druh, DWORD ms);

// From a worker: queues `hlaseni` and posts WM_HLASENI_PRACOVNIKU to the
// reporting window. Without one (or while closing) it is dropped.
void Ohlasit(Hlaseni hlaseni);
// The window that shows reports (the main window); null stops reporting.
void NastavitOkno(HWND okno);
// Takes the waiting reports (main thread).
std::vector<Hlaseni> Vyzvednout();
// Shows the waiting reports: balloons through the main window's icon
// (IkonaHlavnihoOkna), boxes as message boxes. Main thread only.
void ZobrazitHlaseni();

// How long the close waits for the workers, all together: with the system's
// own closing work the program still ends within a few seconds.
inline constexpr DWORD kCekaniNaKonec = 2500;

// The close: no further reports or starts, every worker told to stop (the
// dialogs of their threads are closed), then waited for until `ms` after
// the first call. True when every worker has ended, and only then may what
// they use be released. Later calls wait for the same deadline.
bool Ukoncit(DWORD ms);

}  // namespace pracovnici
