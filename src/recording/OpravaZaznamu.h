// At start-up: finishing the recordings that a crash or a power loss left
// unfinished in the recordings folders, on a worker of its own, so that the
// window never waits for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Every unfinished recording (.wma) of the folders that no program is
// writing, finished; returns the repaired files' paths. Folders that are
// empty or named twice are looked at once; `konec` stops the search
// between two files.
std::vector<std::wstring> OpravitNedokonceneZaznamy(const std::vector<std::wstring>& slozky,
                                                    const std::atomic<bool>& konec);

class OpravaZaznamu {
public:
    OpravaZaznamu() = default;
    ~OpravaZaznamu() { Zastavit(); }
    OpravaZaznamu(const OpravaZaznamu&) = delete;
    OpravaZaznamu& operator=(const OpravaZaznamu&) = delete;

    // Starts the worker over copies of the folders; when it has finished it
    // posts `zprava` to `okno`. One run at a time: false while one runs.
    bool Spustit(std::vector<std::wstring> slozky, HWND okno, UINT zprava);
    // Stops the worker after the file it is finishing, and waits for it.
    void Zastavit();
    // The files the last run repaired (once: they are handed over).
    std::vector<std::wstring> Opravene();

private:
    std::thread vlakno_;
    std::atomic<bool> konec_{false};
    std::mutex zamek_;
    std::vector<std::wstring> opravene_;
};
