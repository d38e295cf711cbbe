// The recording engine: a DirectShow graph from the chosen audio input
// device into a Windows Media ASF writer that encodes with the loaded
// profile. No user interface: every operation returns an HRESULT.
#pragma once

#include "recording/AudioCaptureDevice.h"
#include "recording/EncodingProfile.h"

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

struct IConfigAsfWriter;

class AudioRecorder {
public:
    // Throws (a long) when no profile manager can be created.
    AudioRecorder();
    ~AudioRecorder();
    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    // 0 when the graph runs; otherwise the failing step's HRESULT, with the
    // recorder left idle and the file removed when this start created it.
    // E_NOINTERFACE when no profile is loaded. It does not wait for the
    // device's first sound: a device that never delivers any is reported
    // later as a failure (TakeFailure) while SoundArrived() is still false.
    HRESULT Start(const std::wstring& fileName);
    // 0 when nothing was recording or the recording ended well; else why it
    // did not: a failure the graph reported (writing, the device) or of the
    // stop itself. The file is complete, as far as it was written, when it
    // returns.
    HRESULT Stop();
    // The graph's events are announced by posting `message` to `window`;
    // the window then calls TakeFailure.
    void SetNotifyWindow(HWND window, UINT message);
    // Reads the graph's pending events: the failure one reported (writing
    // failed, the device was lost or stopped delivering sound), else 0.
    HRESULT TakeFailure();
    bool IsRecording() const { return writer_ != nullptr; }
    // Sound has reached the writer since Start (as far as the events read
    // by TakeFailure tell).
    bool SoundArrived() const { return soundArrived_; }
    // Stops a recording whose start came to nothing (no sound ever
    // arrived) and removes its file when Start created it.
    void DiscardStart();
    // While recording, the input level is posted to `window` as `message`
    // (see mirvak::direct_show::CreateLevelMeter); set before Start.
    void SetLevelWindow(HWND window, UINT message);

    void SetDevice(const AudioCaptureDevice& device);
    const AudioCaptureDevice& Device() const { return device_; }
    // E_INVALIDARG for a path that is missing or a folder (the profile loaded
    // before stays); otherwise Profile().LoadFromFile(path).
    HRESULT LoadCustomProfile(const std::wstring& path);

    EncodingProfile& Profile() { return profile_; }
    const std::wstring& OutputFile() const { return outputFile_; }
    const std::wstring& CustomProfileFile() const { return customProfileFile_; }

private:
    void TearDown();
    void DropEvents();

    Microsoft::WRL::ComPtr<IBaseFilter> capture_;
    Microsoft::WRL::ComPtr<IBaseFilter> meter_;
    Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> builder_;
    Microsoft::WRL::ComPtr<IBaseFilter> writer_;
    Microsoft::WRL::ComPtr<IConfigAsfWriter> writerConfig_;
    Microsoft::WRL::ComPtr<IGraphBuilder> graph_;
    Microsoft::WRL::ComPtr<IMediaControl> control_;
    Microsoft::WRL::ComPtr<IMediaEventEx> events_;
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;
    HWND levelWindow_ = nullptr;
    UINT levelMessage_ = 0;
    bool soundArrived_ = false;
    bool createdFile_ = false;   // the running recording's file is new
    EncodingProfile profile_;
    AudioCaptureDevice device_;
    std::wstring outputFile_;
    std::wstring customProfileFile_;
};
