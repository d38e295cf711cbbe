// The notification-area icon: tool-tip, balloons and the mouse gestures of
// its callback message.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <string>

inline constexpr UINT WM_IKONA_OZNAMENI = 0x87D1;

// Balloon kinds.
inline constexpr DWORD kBublinaInformace = NIIF_INFO;   // 1
inline constexpr DWORD kBublinaVarovani = NIIF_WARNING; // 2
inline constexpr DWORD kBublinaChyba = NIIF_ERROR;      // 3

namespace mirvak::winapi {

// Splits the icon's callback message into its events. The slots receive the
// icon id, the anchor point (wParam) and the high word of lParam.
class NotifyIconMessageMap {
public:
    virtual ~NotifyIconMessageMap() = default;
    // True when the message was the icon's callback.
    bool ObsluhaZpravyIkony(UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    virtual void KontextoveMenu(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void LeveTlacitkoNahoru(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void LeveTlacitkoDolu(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void StredniTlacitkoNahoru(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void DvojityKlik(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void OtevreniPopisu(UINT id, WPARAM kotva, UINT vyssi) {}
    virtual void ZavreniPopisu(UINT id, WPARAM kotva, UINT vyssi) {}
};

}  // namespace mirvak::winapi

class IkonaOznameni {
public:
    IkonaOznameni() = default;
    ~IkonaOznameni();
    IkonaOznameni(const IkonaOznameni&) = delete;
    IkonaOznameni& operator=(const IkonaOznameni&) = delete;

    // Adds the icon of `okno` (its small icon, else its big one). 0 or an error code.
    HRESULT Pridat(HWND okno, UINT id, bool bezTipu, bool zvuk);
    HRESULT NastavitIkonu(HICON ikona);
    HRESULT NastavitTip(const wchar_t* text);
    // No text: the window's text again.
    void NastavitTitulek(const wchar_t* text);
    // kind: kBublinaInformace, kBublinaVarovani or kBublinaChyba. Safe from worker threads.
    HRESULT ZobrazitBublinu(const wchar_t* text, DWORD druh, HICON vlastniIkona = nullptr,
                            bool velka = false);
    // Removes the icon when it is shown. A failed delete of a shown icon is fatal.
    void Odebrat();

    bool Zobrazena() const { return pridana_; }
    HWND Okno() const { return okno_; }
    UINT Id() const { return id_; }
    HICON Ikona() const { return ikona_; }
    void NastavitZvuk(bool zvuk) { zvuk_ = zvuk; }
    bool Zvuk() const { return zvuk_; }
    const std::wstring& Tip() const { return tip_; }

    // The last balloon asked for (whether or not the shell showed it), for
    // callers that must know what the user was told.
    struct Bublina {
        std::wstring text;
        DWORD druh = 0;
        unsigned long poradi = 0;  // grows with every balloon
    };
    Bublina PosledniBublina() const;

private:
    NOTIFYICONDATAW Data(UINT flags) const;

    HWND okno_ = nullptr;
    UINT id_ = 0;
    HICON ikona_ = nullptr;
    std::wstring tip_;
    std::wstring titulek_;
    bool bezTipu_ = false;
    bool zvuk_ = true;
    bool pridana_ = false;
    mutable std::mutex mutex_;
    Bublina posledni_;
};

// The main window's icon, or nullptr when it has none. The main thread shows
// the workers' reports through it (app/Pracovnici.h); workers never touch it.
IkonaOznameni* IkonaHlavnihoOkna();
void NastavitIkonuHlavnihoOkna(IkonaOznameni* ikona);
