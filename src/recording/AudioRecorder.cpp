#include "recording/AudioRecorder.h"

#include "app/Chyby.h"
#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/MediaLayer.h"
#include "recording/AudioCaptureDeviceList.h"

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

HRESULT AudioRecorder::Start(const std::wstring& fileName)
{
    try {
        if (writer_) {
            HRESULT hr = Stop();
            if (FAILED(hr))
                return hr;
        }
        Krok(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder_)));
        Krok(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph_)));
        Krok(builder_->SetFiltergraph(graph_.Get()));

        HRESULT hr = BindCaptureDevice(device_, capture_);
        if (FAILED(hr))
            VyhoditKod(hr);
        Krok(graph_->AddFilter(capture_.Get(), L"Capture"));
        Krok(graph_.As(&control_));

        outputFile_ = fileName;
        Krok(mirvak::direct_show::SetOutputFileNameAsf(builder_.Get(), fileName.c_str(), &writer_));

        Krok(writer_.As(&writerConfig_));
        // A failed load leaves no profile; the writer must not be configured with none.
        hr = profile_.Profile() ? writerConfig_->ConfigureFilterUsingProfile(profile_.Profile()) : E_NOINTERFACE;
        writerConfig_.Reset();
        if (FAILED(hr))
            VyhoditKod(hr);

        Krok(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, capture_.Get(), nullptr, writer_.Get()));
        Krok(control_->Run());
        return S_OK;
    } catch (long code) {
        TearDown();
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
    if (graph_ && capture_)
        graph_->RemoveFilter(capture_.Get());
    capture_.Reset();
    writerConfig_.Reset();
    control_.Reset();
    graph_.Reset();
    builder_.Reset();
}

HRESULT AudioRecorder::Stop()
{
    if (!writer_)
        return S_OK;
    if (control_)
        control_->StopWhenReady();
    if (graph_)
        graph_->RemoveFilter(writer_.Get());
    writer_.Reset();
    HRESULT hr = S_OK;
    if (graph_ && capture_)
        hr = graph_->RemoveFilter(capture_.Get());
    capture_.Reset();
    control_.Reset();
    graph_.Reset();
    builder_.Reset();
    return hr;
}
