#include "media/dshow/MediaLayer.h"

#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/CaptureFilter.h"

#include <oleauto.h>

#include <algorithm>
#include <string>

namespace mirvak::direct_show {

namespace {

// A VARIANT that clears itself.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
};

// The first pin of `filter` in direction `dir` that is not connected.
ComPtr<IPin> FreePin(IBaseFilter* filter, PIN_DIRECTION dir) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins)) || !pins) return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == dir && pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED)
            return pin;
        pin.Reset();
    }
    return nullptr;
}

// Cosmetic: a capture pin that negotiates its buffers is asked for short ones.
void SuggestShortBuffers(ICaptureGraphBuilder2* builder, IBaseFilter* capture, IPin* typed) {
    ComPtr<IPin> pin;
    ComPtr<IAMBufferNegotiation> negotiation;
    AM_MEDIA_TYPE mt{};
    if (FAILED(builder->FindPin(capture, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, TRUE, 0, &pin)) ||
        !pin || FAILED(pin.As(&negotiation)) || FAILED(typed->ConnectionMediaType(&mt)))
        return;
    if (mt.formattype == FORMAT_WaveFormatEx && mt.pbFormat && mt.cbFormat >= sizeof(WAVEFORMATEX)) {
        const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
        ALLOCATOR_PROPERTIES props{-1, static_cast<long>(wf->nAvgBytesPerSec / 20), -1, -1};
        props.cbBuffer -= props.cbBuffer % std::max<long>(1, wf->nBlockAlign);
        if (props.cbBuffer > 0) negotiation->SuggestAllocatorProperties(&props);
    }
    FreeMediaTypeContents(mt);
}

} // namespace

bool HasOutputPin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins)) || !pins) return false;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        bool output = SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT;
        pin.Reset();
        if (output) return true;
    }
    return false;
}

HRESULT CreateBuiltInCaptureFilter(UINT waveInId, const wchar_t* name, IBaseFilter** out) {
    return CreateCaptureFilter(waveInId, name, out);
}

HRESULT CreateBuiltInAsfWriter(IBaseFilter** out) { return CreateAsfWriterFilter(out); }

HRESULT BindCaptureFilter(IMoniker* moniker, IBaseFilter** out) {
    if (!moniker || !out) return E_POINTER;
    *out = nullptr;
    ComPtr<IBaseFilter> system;
    HRESULT bindHr = moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&system));
    if (SUCCEEDED(bindHr) && HasOutputPin(system.Get())) {
        *out = system.Detach();
        return bindHr;
    }

    ComPtr<IPropertyBag> bag;
    HRESULT hr = moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag));
    if (FAILED(hr)) return FAILED(bindHr) ? bindHr : hr;
    Variant id, name;
    id.v.vt = VT_I4;
    hr = bag->Read(L"WaveInID", &id.v, nullptr);
    if (FAILED(hr) || id.v.vt != VT_I4 || id.v.lVal < 0) return FAILED(bindHr) ? bindHr : VFW_E_NO_CAPTURE_HARDWARE;
    name.v.vt = VT_BSTR;
    std::wstring friendly = L"Audio Capture";
    if (SUCCEEDED(bag->Read(L"FriendlyName", &name.v, nullptr)) && name.v.vt == VT_BSTR && name.v.bstrVal)
        friendly = name.v.bstrVal;
    return CreateCaptureFilter(static_cast<UINT>(id.v.lVal), friendly.c_str(), out);
}

HRESULT ConnectThroughMeter(ICaptureGraphBuilder2* builder, IBaseFilter* capture, IBaseFilter* meter,
                            IBaseFilter* writer) {
    if (!builder || !capture || !meter || !writer) return E_POINTER;
    ComPtr<IGraphBuilder> graph;
    HRESULT hr = builder->GetFiltergraph(&graph);
    if (FAILED(hr)) return hr;
    if (!graph) return E_UNEXPECTED;
    ComPtr<IPin> meterOut = FreePin(meter, PINDIR_OUTPUT), writerIn = FreePin(writer, PINDIR_INPUT);
    if (!meterOut || !writerIn) return VFW_E_NOT_FOUND;
    if (SUCCEEDED(graph->ConnectDirect(meterOut.Get(), writerIn.Get(), nullptr))) {
        SuggestShortBuffers(builder, capture, meterOut.Get());
        hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, capture, nullptr, meter);
        if (SUCCEEDED(hr)) return S_OK;
        graph->Disconnect(meterOut.Get());
        graph->Disconnect(writerIn.Get());
    }
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, capture, nullptr, meter);
    if (FAILED(hr)) return hr;
    return graph->ConnectDirect(meterOut.Get(), writerIn.Get(), nullptr);
}

HRESULT SetOutputFileNameAsf(ICaptureGraphBuilder2* builder, const wchar_t* file, IBaseFilter** writer) {
    if (!builder || !file || !writer) return E_POINTER;
    *writer = nullptr;
    ComPtr<IBaseFilter> system;
    HRESULT hr = builder->SetOutputFileName(&MEDIASUBTYPE_Asf, file, &system, nullptr);
    if (SUCCEEDED(hr) && system) {
        *writer = system.Detach();
        return hr;
    }

    ComPtr<IGraphBuilder> graph;
    hr = builder->GetFiltergraph(&graph);
    if (FAILED(hr)) return hr;
    if (!graph) return E_UNEXPECTED;
    ComPtr<IBaseFilter> builtIn;
    hr = CreateAsfWriterFilter(&builtIn);
    if (FAILED(hr)) return hr;
    ComPtr<IFileSinkFilter> sink;
    hr = builtIn.As(&sink);
    if (SUCCEEDED(hr)) hr = sink->SetFileName(file, nullptr);
    if (SUCCEEDED(hr)) hr = graph->AddFilter(builtIn.Get(), L"ASF Writer");
    if (FAILED(hr)) return hr;
    *writer = builtIn.Detach();
    return S_OK;
}

} // namespace mirvak::direct_show
