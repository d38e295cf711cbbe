#include "recording/AudioRecorder.h"

#include "app/Chyby.h"
#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/LevelMeterFilter.h"
#include "media/dshow/MediaLayer.h"
#include "recording/AudioCaptureDeviceList.h"

// The system's audio capture filter reports a device error with this event.
#ifndef EC_SNDDEV_IN_ERROR
#define EC_SNDDEV_IN_ERROR 0x200
#endif

namespace {

// A step of Start fails on anything but S_OK, success codes included.
void Krok(HRESULT hr)
{
    if (hr != S_OK)
        VyhoditKod(hr);
}

} // namespace

AudioRecorder::AudioRecorder() = default;

AudioRecorder::~AudioRecorder() = default;

void AudioRecorder::SetDevice(const AudioCaptureDevice& device)
{
    device_.friendlyName = device.friendlyName;
    device_.description = device.description;
    device_.devicePath = device.devicePath;
}

HRESULT AudioRecorder::LoadCustomProfile(const std::wstring& path)
{
    DWORD atributy = GetFileAttributesW(path.c_str());
    if (path.empty() || atributy == INVALID_FILE_ATTRIBUTES || (atributy & FILE_ATTRIBUTE_DIRECTORY))
        return E_INVALIDARG;
    customProfileFile_ = path;
    return profile_.LoadFromFile(path.c_str());
}

void AudioRecorder::SetNotifyWindow(HWND window, UINT message)
{
    notifyWindow_ = window;
    notifyMessage_ = message;
}

void AudioRecorder::SetLevelWindow(HWND window, UINT message)
{
    levelWindow_ = window;
    levelMessage_ = message;
}

HRESULT AudioRecorder::TakeFailure()
{
    if (!events_)
        return S_OK;
    HRESULT failure = S_OK;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events_->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        HRESULT hr = S_OK;
        switch (code) {
        case EC_ERRORABORT:
        case EC_ERRORABORTEX:
        case EC_STREAM_ERROR_STOPPED:
            hr = FAILED(static_cast<HRESULT>(p1)) ? static_cast<HRESULT>(p1) : E_FAIL;
            break;
        case EC_DEVICE_LOST:
            if (p2 == 0)
                hr = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
            break;
        case EC_SNDDEV_IN_ERROR:
            hr = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
            break;
        case mirvak::direct_show::EC_TONBAR_FIRST_SAMPLE:
            soundArrived_ = true;
            break;
        default:
            break;
        }
        events_->FreeEventParams(code, p1, p2);
        if (SUCCEEDED(failure))
            failure = hr;
    }
    return failure;
}

HRESULT AudioRecorder::Start(const std::wstring& fileName)
{
    // Only a file this start creates may be removed when it fails.
    const bool existed = GetFileAttributesW(fileName.c_str()) != INVALID_FILE_ATTRIBUTES;
    try {
        if (writer_) {
            HRESULT hr = Stop();
            if (FAILED(hr))
                return hr;
        }
        soundArrived_ = false;
        createdFile_ = !existed;
        Krok(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder_)));
        Krok(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph_)));
        Krok(builder_->SetFiltergraph(graph_.Get()));

        HRESULT hr = BindCaptureDevice(device_, capture_);
        if (FAILED(hr))
            VyhoditKod(hr);
        Krok(graph_->AddFilter(capture_.Get(), L"Capture"));
        Krok(graph_.As(&control_));
        // The MinGW headers give IMediaEventEx no __uuidof: ask by its IID.
        Krok(graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(events_.ReleaseAndGetAddressOf())));
        if (notifyWindow_)
            Krok(events_->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow_), notifyMessage_, 0));

        outputFile_ = fileName;
        Krok(mirvak::direct_show::SetOutputFileNameAsf(builder_.Get(), fileName.c_str(), &writer_));

        Krok(writer_.As(&writerConfig_));
        // A failed load leaves no profile; the writer must not be configured with none.
        hr = profile_.Profile() ? writerConfig_->ConfigureFilterUsingProfile(profile_.Profile()) : E_NOINTERFACE;
        writerConfig_.Reset();
        if (FAILED(hr))
            VyhoditKod(hr);

        // The level is measured on the way into the file.
        Krok(mirvak::direct_show::CreateLevelMeter(levelWindow_, levelMessage_, &meter_));
        Krok(graph_->AddFilter(meter_.Get(), L"Level"));
        Krok(mirvak::direct_show::ConnectThroughMeter(builder_.Get(), capture_.Get(), meter_.Get(), writer_.Get()));
        Krok(control_->Run());
        // A graph may report success although a filter failed to run (Wine's
        // does): every filter must be running, else the filter's reason
        // fails the start.
        for (IBaseFilter* filter : {capture_.Get(), meter_.Get(), writer_.Get()}) {
            FILTER_STATE state = State_Stopped;
            if (FAILED(filter->GetState(0, &state)) || state != State_Running) {
                HRESULT why = TakeFailure();
                VyhoditKod(FAILED(why) ? why : E_FAIL);
            }
        }
        return S_OK;
    } catch (long code) {
        TearDown();
        if (!existed)
            DeleteFileW(fileName.c_str());
        return KodNeboFail(code);
    }
}

void AudioRecorder::TearDown()
{
    if (control_)
        control_->StopWhenReady();
    if (graph_ && writer_)
        graph_->RemoveFilter(writer_.Get());
    writer_.Reset();
    if (graph_ && meter_)
        graph_->RemoveFilter(meter_.Get());
    meter_.Reset();
    if (graph_ && capture_)
        graph_->RemoveFilter(capture_.Get());
    capture_.Reset();
    writerConfig_.Reset();
    DropEvents();
    control_.Reset();
    graph_.Reset();
    builder_.Reset();
}

void AudioRecorder::DropEvents()
{
    if (events_)
        events_->SetNotifyWindow(0, 0, 0);
    events_.Reset();
}

HRESULT AudioRecorder::Stop()
{
    if (!writer_)
        return S_OK;
    HRESULT hr = S_OK;
    if (control_)
        hr = control_->StopWhenReady();
    // A failure reported while recording or while the writer completed the
    // file says more than the stop's own result.
    HRESULT failure = TakeFailure();
    if (FAILED(failure))
        hr = failure;
    if (graph_)
        graph_->RemoveFilter(writer_.Get());
    writer_.Reset();
    if (graph_ && meter_)
        graph_->RemoveFilter(meter_.Get());
    meter_.Reset();
    if (graph_ && capture_) {
        HRESULT removed = graph_->RemoveFilter(capture_.Get());
        if (SUCCEEDED(hr))
            hr = removed;
    }
    capture_.Reset();
    DropEvents();
    control_.Reset();
    graph_.Reset();
    builder_.Reset();
    return FAILED(hr) ? hr : S_OK;
}

void AudioRecorder::DiscardStart()
{
    const bool remove = createdFile_ && writer_;
    Stop();
    if (remove)
        DeleteFileW(outputFile_.c_str());
}
