#include "mainwindow/SledovaniSlozky.h"

#include <process.h>

#include <algorithm>
#include <cstddef>
#include <mutex>

namespace mirvak::winapi {

namespace {

constexpr DWORD kFiltr = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
// Change records of one read (the system keeps what comes between reads).
constexpr size_t kVelikostZaznamu = 64 * 1024;
// More names than this waiting at once: the receiver reads the whole folder.
constexpr size_t kNejvicJmen = 256;

bool JeSlozka(const std::wstring& cesta)
{
    DWORD a = GetFileAttributesW(cesta.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

// What the owner and the worker share. Whichever lets go last frees it, so a
// worker that outlives its owner never touches freed memory.
struct SledovaniSlozky::Stav {
    FileHandle slozka;
    Handle udalost;  // of the pending read
    Handle stop;
    OVERLAPPED ov{};
    bool cteni = false;  // a read is pending (only the worker re-arms it)
    std::vector<DWORD> zaznamy = std::vector<DWORD>(kVelikostZaznamu / sizeof(DWORD));
    std::wstring cesta;
    HWND cil = nullptr;
    UINT zprava = 0;
    LPARAM poradi = 0;

    std::mutex zamek;  // guards what follows
    std::vector<std::wstring> jmena;
    bool vse = false;
    bool ceka = false;     // a posted change waits to be taken
    bool odpojeno = false; // the owner let go: post nothing more

    ~Stav()
    {
        if (cteni) {
            CancelIoEx(slozka.Get(), &ov);
            DWORD n = 0;
            GetOverlappedResult(slozka.Get(), &ov, &n, TRUE);
        }
    }

    HRESULT Cist()
    {
        ResetEvent(udalost.Get());
        ov = OVERLAPPED{};
        ov.hEvent = udalost.Get();
        if (!ReadDirectoryChangesW(slozka.Get(), zaznamy.data(), static_cast<DWORD>(zaznamy.size() * sizeof(DWORD)),
                                   FALSE, kFiltr, nullptr, &ov, nullptr))
            return KodPosledniChyby();
        cteni = true;
        return S_OK;
    }

    // Notes the names of `n` bytes of records; none means the system lost
    // count (too many changes).
    void Zaznamenat(DWORD n)
    {
        std::lock_guard<std::mutex> l(zamek);
        if (n == 0 || n > zaznamy.size() * sizeof(DWORD)) {
            vse = true;
            jmena.clear();
            return;
        }
        const auto* zacatek = reinterpret_cast<const BYTE*>(zaznamy.data());
        size_t pos = 0;
        while (!vse && pos + sizeof(FILE_NOTIFY_INFORMATION) <= n) {
            const auto* z = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(zacatek + pos);
            size_t delka = z->FileNameLength / sizeof(wchar_t);
            if (pos + offsetof(FILE_NOTIFY_INFORMATION, FileName) + delka * sizeof(wchar_t) > n)
                break;
            std::wstring jmeno(z->FileName, delka);
            if (std::find(jmena.begin(), jmena.end(), jmeno) == jmena.end()) {
                if (jmena.size() >= kNejvicJmen) {
                    vse = true;
                    jmena.clear();
                } else {
                    jmena.push_back(std::move(jmeno));
                }
            }
            if (z->NextEntryOffset == 0)
                break;
            pos += z->NextEntryOffset;
        }
    }

    void Poslat(WPARAM co)
    {
        std::lock_guard<std::mutex> l(zamek);
        if (odpojeno || (co == kZmena && ceka))
            return;
        if (PostMessageW(cil, zprava, co, poradi) && co == kZmena)
            ceka = true;
    }
};

HRESULT SledovaniSlozky::Start(const std::wstring& slozka, HWND cil, UINT zprava)
{
    if (Running())
        return S_FALSE;
    Stop();  // a worker that ended by itself
    auto s = std::make_shared<Stav>();
    // Shared for deletion, so that the folder can still be renamed or removed.
    constexpr DWORD kSdileni = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    s->slozka.Reset(CreateFileW(slozka.c_str(), FILE_LIST_DIRECTORY, kSdileni, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!s->slozka)
        return KodPosledniChyby();
    s->udalost.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    s->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!s->udalost || !s->stop)
        return KodPosledniChyby();
    s->cesta = slozka;
    s->cil = cil;
    s->zprava = zprava;
    s->poradi = ++pocetSpusteni_;
    HRESULT hr = s->Cist();
    if (FAILED(hr))
        return hr;
    auto predany = std::make_unique<std::shared_ptr<Stav>>(s);
    uintptr_t v = _beginthreadex(nullptr, 0, &SledovaniSlozky::Worker, predany.get(), 0, nullptr);
    if (!v)
        return KodPosledniChyby();
    predany.release();
    vlakno_.Reset(reinterpret_cast<HANDLE>(v));
    stav_ = std::move(s);
    return S_OK;
}

HRESULT SledovaniSlozky::Stop(DWORD cekani)
{
    if (!vlakno_) {
        stav_.reset();
        return S_OK;
    }
    SetEvent(stav_->stop.Get());
    if (WaitForSingleObject(vlakno_.Get(), cekani) != WAIT_OBJECT_0) {
        // Let it go: it keeps its own share of the state and frees it when it ends.
        {
            std::lock_guard<std::mutex> l(stav_->zamek);
            stav_->odpojeno = true;
        }
        stav_.reset();
        vlakno_.Reset();
        return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    }
    vlakno_.Reset();
    stav_.reset();
    return S_OK;
}

bool SledovaniSlozky::Running() const
{
    return vlakno_ && WaitForSingleObject(vlakno_.Get(), 0) == WAIT_TIMEOUT;
}

bool SledovaniSlozky::Current(LPARAM l) const
{
    return stav_ && stav_->poradi == l;
}

void SledovaniSlozky::Taken(std::vector<std::wstring>& jmena, bool& vse)
{
    jmena.clear();
    vse = false;
    if (!stav_)
        return;
    std::lock_guard<std::mutex> l(stav_->zamek);
    jmena.swap(stav_->jmena);
    vse = stav_->vse;
    stav_->vse = false;
    stav_->ceka = false;
}

unsigned __stdcall SledovaniSlozky::Worker(void* parametr)
{
    std::unique_ptr<std::shared_ptr<Stav>> drzeny(static_cast<std::shared_ptr<Stav>*>(parametr));
    Stav& s = **drzeny;
    HANDLE cekat[2] = {s.stop.Get(), s.udalost.Get()};
    for (;;) {
        DWORD r = WaitForMultipleObjects(2, cekat, FALSE, kKontrolaSlozky);
        if (r == WAIT_OBJECT_0)
            return 0;  // stopped; the pending read is cancelled with the state
        if (r == WAIT_TIMEOUT) {
            if (JeSlozka(s.cesta))
                continue;
            s.Poslat(kKonec);
            return 0;
        }
        if (r != WAIT_OBJECT_0 + 1) {
            s.Poslat(kKonec);
            return 0;
        }
        DWORD n = 0;
        BOOL ok = GetOverlappedResult(s.slozka.Get(), &s.ov, &n, FALSE);
        s.cteni = false;
        if (!ok && GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
            s.Poslat(kKonec);
            return 0;
        }
        s.Zaznamenat(ok ? n : 0);
        // Asked again before the receiver looks, so that a change made while
        // it reads the folder is reported again.
        if (FAILED(s.Cist())) {
            s.Poslat(kKonec);
            return 0;
        }
        s.Poslat(kZmena);
    }
}

} // namespace mirvak::winapi
