// Recording profiles: named presets of folder, capture device and encoding
// profile, kept under "<application key>\profily_zaznamu" with one subkey
// per profile, and the popup menus that list them.
#pragma once

#include "recording/AudioCaptureDevice.h"

#include <windows.h>

#include <string>
#include <vector>

struct RecordingProfile {
    std::wstring name;      // the subkey name; unique ignoring case
    GUID profileId{};       // Windows Media system profile
    std::wstring folder;    // where the recordings go
    AudioCaptureDevice device;  // the description is not stored
};

// The registry's limit on a key name.
inline constexpr size_t kMaxDelkaNazvuProfilu = 255;

// 0 for a name that can be a profile's key name; E_INVALIDARG when it is
// empty or only white space, holds a "\" (which would nest the key), or is
// longer than 255 characters.
HRESULT CheckProfileName(const std::wstring& name);

class RecordingProfileStore {
public:
    static constexpr const wchar_t* kPodklic = L"profily_zaznamu";

    // `applicationKey` is the path below HKEY_CURRENT_USER.
    explicit RecordingProfileStore(std::wstring applicationKey = L"Software\\Mirvak\\Tonbar\\4");

    const std::wstring& ApplicationKey() const { return klicAplikace_; }
    void SetApplicationKey(const std::wstring& key) { klicAplikace_ = key; }

    // Replaces the sequence with what the registry holds, in the order the
    // registry enumerates the subkeys. A missing key gives an empty store (0);
    // subkeys that cannot be opened are left out. A value that is missing or
    // malformed gives an empty text, or the default encoding profile.
    HRESULT Load();
    // Writes the whole sequence. Every name is checked first (CheckProfileName,
    // and no two equal ignoring case): E_INVALIDARG then, and the registry is
    // left as it was. A failure shows string 20042 with the system's text and
    // returns the code; the sequence in memory never changes.
    HRESULT Save();
    // Save without the message box.
    HRESULT SaveQuiet();
    // Removes one profile's subkey: 0 (also when it did not exist); the open
    // failure of "profily_zaznamu"; E_INVALIDARG for a name CheckProfileName
    // refuses (an empty one would remove every profile).
    HRESULT DeleteKey(const std::wstring& name);

    // The index of the profile named `name` ignoring case, or -1.
    int Find(const std::wstring& name) const;
    int Count() const { return static_cast<int>(profily_.size()); }
    // Throw E_INVALIDARG (as a long) for an index outside the sequence.
    const RecordingProfile& At(int index) const;
    RecordingProfile& At(int index);
    void Append(const RecordingProfile& profile) { profily_.push_back(profile); }
    // E_INVALIDARG for an index outside the sequence.
    HRESULT Erase(int index);

private:
    std::wstring klicAplikace_;
    std::vector<RecordingProfile> profily_;
};

// Command ranges of the generated profile menus; i is the profile index.
inline constexpr UINT kPrikazyZaznamPodleProfilu = 52200;  // start a recording with profile i
inline constexpr UINT kPrikazySlozkaProfilu = 52400;       // show profile i's folder
inline constexpr UINT kPrikazyPrepnoutProfil = 52600;      // switch the view to profile i
inline constexpr UINT kPocetPrikazuProfilu = 200;

// The profile index a command of the range starting at firstCommandId
// means, or -1 when the command is outside the range or the index is not
// below Count().
int ProfileIndexFromCommand(const RecordingProfileStore& store, UINT command, UINT firstCommandId);

// The file a recording started with `profile` at local time `cas` goes to:
// "<folder>\<day>.<month>.<year> <hh>-<mm>-<ss>.wma", whatever the naming
// mode says. E_INVALIDARG for a profile without a folder (it would record
// into the drive root).
HRESULT ProfileRecordingFile(const RecordingProfile& profile, const SYSTEMTIME& cas, std::wstring& path);
