// The audio capture devices of the machine, sorted and made unambiguous for
// the user, and the binding of a remembered device to its capture filter.
#pragma once

#include "recording/AudioCaptureDevice.h"

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <thread>
#include <vector>

class AudioCaptureDeviceList {
public:
    // Fills the list from the DirectShow audio input category. 0 also when
    // there is no device; otherwise the failing call's HRESULT (the devices
    // read before a failing property bag stay, unsorted).
    HRESULT Enumerate();

    void Clear() { devices_.clear(); }
    int Count() const { return static_cast<int>(devices_.size()); }
    // Both throw E_INVALIDARG (as a long) for an index outside the list.
    const AudioCaptureDevice& At(int index) const;
    void CopyAt(int index, AudioCaptureDevice& out) const;

    // Appends a device as enumeration found it; SortAndNumber finishes the
    // list. Enumerate uses these; tests fill lists the system cannot give.
    void Add(const AudioCaptureDevice& device) { devices_.push_back(device); }
    // Sorts by friendly name ignoring case and gives repeated names the
    // suffixes " #2", " #3", ...
    void SortAndNumber();

private:
    std::vector<AudioCaptureDevice> devices_;
};

// Enumerate on a thread of its own (with COM of its own), so that a window
// can show meanwhile; the thread touches nothing but its own list, and Take
// joins it and hands the list over. Destroying the object joins it too.
class AudioCaptureDeviceEnumeration {
public:
    AudioCaptureDeviceEnumeration() = default;
    ~AudioCaptureDeviceEnumeration();
    AudioCaptureDeviceEnumeration(const AudioCaptureDeviceEnumeration&) = delete;
    AudioCaptureDeviceEnumeration& operator=(const AudioCaptureDeviceEnumeration&) = delete;

    void Start();
    // The enumerated list once the thread has ended; null when no
    // enumeration was started since the last Take.
    std::unique_ptr<AudioCaptureDeviceList> Take();

private:
    std::thread thread_;
    std::unique_ptr<AudioCaptureDeviceList> list_;
};

// Which of the devices, in the system's enumeration order (names without
// suffixes), a remembered device means; -1 for none. The stored device path
// decides when it is present and matches; otherwise the friendly name, and a
// name with a " #n" suffix the list gave means the n-th device of that base
// name (n-th in enumeration order, which the list's sort keeps).
int ChooseCaptureDevice(const std::vector<AudioCaptureDevice>& enumerated, const AudioCaptureDevice& wanted);

// Binds the remembered device's capture filter into `filter`: S_FALSE and
// nothing changed when `filter` is already held; E_INVALIDARG for an empty
// name; E_FAIL when no device matches; else the bind's HRESULT. The system's
// filter is used when it can capture, the built-in waveIn filter otherwise.
HRESULT BindCaptureDevice(const AudioCaptureDevice& device, Microsoft::WRL::ComPtr<IBaseFilter>& filter);
