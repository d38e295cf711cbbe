// At start-up: finishing the recordings that a crash or a power loss left
// unfinished in the recordings folders (the main window runs it on a
// worker, so that the window never waits for it).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

// Every unfinished recording (.wma) of the folders that no program is
// writing, finished; returns the repaired files' paths. Folders that are
// empty or named twice are looked at once; `konec` stops the search
// between two files.
std::vector<std::wstring> OpravitNedokonceneZaznamy(const std::vector<std::wstring>& slozky,
                                                    const std::atomic<bool>& konec);
