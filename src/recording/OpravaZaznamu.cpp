#include "recording/OpravaZaznamu.h"

#include "media/dshow/Win32File.h"

#include <algorithm>

std::vector<std::wstring> OpravitNedokonceneZaznamy(const std::vector<std::wstring>& slozky,
                                                    const std::atomic<bool>& konec)
{
    std::vector<std::wstring> opravene;
    std::vector<std::wstring> videne;
    for (const std::wstring& slozka : slozky) {
        if (slozka.empty() || konec)
            continue;
        if (std::any_of(videne.begin(), videne.end(),
                        [&](const std::wstring& s) { return CompareStringOrdinal(s.c_str(), -1, slozka.c_str(), -1, TRUE) == CSTR_EQUAL; }))
            continue;
        videne.push_back(slozka);
        WIN32_FIND_DATAW nalez;
        HANDLE h = FindFirstFileW((slozka + L"\\*.wma").c_str(), &nalez);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (nalez.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
                continue;
            std::wstring cesta = slozka + L"\\" + nalez.cFileName;
            // A file another program still writes is refused (sharing), one
            // that is not ours or not unfinished is left as it is.
            if (mirvak::direct_show::CompleteUnfinishedRecording(cesta.c_str()) == S_OK)
                opravene.push_back(cesta);
        } while (!konec && FindNextFileW(h, &nalez));
        FindClose(h);
    }
    return opravene;
}
