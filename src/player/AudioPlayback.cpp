#include "player/AudioPlayback.h"

#include <oleauto.h>

using Microsoft::WRL::ComPtr;

namespace {

// A failing step of Open: E_FAIL stands in for a call that failed without a code.
struct Selhani {
    HRESULT hr;
};

void Over(HRESULT hr)
{
    if (FAILED(hr))
        throw Selhani{hr};
}

// A BSTR owned for the length of one call.
class Bstr {
public:
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())))
    {
        if (!b_)
            throw Selhani{E_OUTOFMEMORY};
    }
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }

private:
    BSTR b_;
};

bool MaPripojenyVstup(IBaseFilter* filtr)
{
    ComPtr<IEnumPins> piny;
    if (FAILED(filtr->EnumPins(&piny)))
        return false;
    ComPtr<IPin> pin;
    while (piny->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION smer;
        if (FAILED(pin->QueryDirection(&smer)) || smer != PINDIR_INPUT)
            continue;
        ComPtr<IPin> protejsek;
        if (SUCCEEDED(pin->ConnectedTo(&protejsek)))
            return true;
    }
    return false;
}

} // namespace

HRESULT AudioPlayback::BuildGraph()
{
    Release();
    Over(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
    Over(graph.As(&control));
    // control.h gives these two no __uuidof, so ask by IID.
    Over(graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(events.ReleaseAndGetAddressOf())));
    Over(graph.As(&seeking));
    Over(graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(basicAudio.ReleaseAndGetAddressOf())));
    if (notifyWindow && IsWindow(notifyWindow))
        Over(events->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow), WM_UDALOST_GRAFU, 0));
    Over(CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mediaDet)));
    return S_OK;
}

HRESULT AudioPlayback::RenderAudio(IBaseFilter* source)
{
    ComPtr<IBaseFilter> renderer;
    Over(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&renderer)));
    Over(graph->AddFilter(renderer.Get(), L"Audio Renderer"));
    ComPtr<IFilterGraph2> graph2;
    Over(graph.As(&graph2));

    // Only to the renderer added above: a file's video streams are never shown.
    bool vykresleno = false;
    ComPtr<IEnumPins> piny;
    Over(source->EnumPins(&piny));
    ComPtr<IPin> pin;
    while (piny->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION smer;
        if (FAILED(pin->QueryDirection(&smer)) || smer != PINDIR_OUTPUT)
            continue;
        if (SUCCEEDED(graph2->RenderEx(pin.Get(), AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr)))
            vykresleno = true;
    }
    if (!MaPripojenyVstup(renderer.Get()))
        graph->RemoveFilter(renderer.Get());
    return vykresleno ? S_OK : VFW_E_CANNOT_RENDER;
}

HRESULT AudioPlayback::Open(const std::wstring& soubor)
{
    try {
        Over(BuildGraph());
        endOfStream = false;

        // The detector refuses files it cannot read before the graph is tried.
        Over(mediaDet->put_Filename(Bstr(soubor).Get()));
        long proudu = 0;
        Over(mediaDet->get_OutputStreams(&proudu));
        if (proudu < 1)
            throw Selhani{E_INVALIDARG};
        HRESULT posledni = S_OK;
        for (long i = 0; i < proudu; ++i) {
            posledni = mediaDet->put_CurrentStream(i);
            if (FAILED(posledni))
                break;
            GUID typ{};
            posledni = mediaDet->get_StreamType(&typ);
            if (FAILED(posledni) || typ == MEDIATYPE_Video)
                break;
        }
        Over(posledni);

        ComPtr<IBaseFilter> source;
        Over(graph->AddSourceFilter(soubor.c_str(), nullptr, &source));
        Over(RenderAudio(source.Get()));
        Over(seeking->GetCapabilities(&capabilities));
        Over(basicAudio->put_Volume(volume));

        state = Zastaveno;
        LONGLONG delka = 0;
        if (SUCCEEDED(seeking->GetDuration(&delka)))
            duration = delka;
        path = soubor;
        // Under Wine Run answers S_FALSE while the graph is still on its way to
        // running; that is a started playback too.
        Over(Play());
        return S_OK;
    } catch (const Selhani& s) {
        Release();
        return s.hr;
    }
}

void AudioPlayback::Release()
{
    if (events) {
        events->SetNotifyWindow(0, 0, 0);
        DrainEvents();
    }
    if (control)
        control->Stop();
    mediaDet.Reset();
    graph.Reset();
    control.Reset();
    events.Reset();
    seeking.Reset();
    basicAudio.Reset();
    capabilities = 0;
    state = BezSouboru;
    ResetPath();
}

void AudioPlayback::ResetPath()
{
    path.clear();
    duration = 0;
}

HRESULT AudioPlayback::Seek(LONGLONG position)
{
    if (!control || !seeking)
        return E_UNEXPECTED;
    HRESULT hr = seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    if (SUCCEEDED(hr) && state == Zastaveno) {
        // Let the graph settle on the new position and stay stopped.
        control->StopWhenReady();
    }
    return hr;
}

HRESULT AudioPlayback::StepForward()
{
    if (state == BezSouboru)
        return S_FALSE;
    if (!seeking)
        return E_NOINTERFACE;
    if (duration == 0)
        return E_HANDLE;
    LONGLONG pozice = 0;
    HRESULT hr = seeking->GetCurrentPosition(&pozice);
    if (FAILED(hr))
        return hr;
    LONGLONG cil = pozice + step;
    if (cil >= duration)
        return S_FALSE;
    return Seek(cil);
}

HRESULT AudioPlayback::StepBack()
{
    if (state == BezSouboru)
        return S_FALSE;
    if (!seeking)
        return E_NOINTERFACE;
    if (duration == 0)
        return E_HANDLE;
    LONGLONG pozice = 0;
    HRESULT hr = seeking->GetCurrentPosition(&pozice);
    if (FAILED(hr))
        return hr;
    LONGLONG cil = pozice - step;
    if (cil < 0)
        return S_FALSE;
    return Seek(cil);
}

HRESULT AudioPlayback::Play()
{
    if (state != Pozastaveno && state != Zastaveno)
        return S_FALSE;
    HRESULT hr = control->Run();
    if (FAILED(hr))
        return hr;
    state = Hraje;
    return S_OK;
}

HRESULT AudioPlayback::Pause()
{
    if (state != Hraje)
        return S_FALSE;
    HRESULT hr = control->Pause();
    if (FAILED(hr))
        return hr;
    state = Pozastaveno;
    return S_OK;
}

HRESULT AudioPlayback::Stop()
{
    // Stop always stops (paused too) and goes back to the start.
    if (state == BezSouboru || !control)
        return S_FALSE;
    if (state != Zastaveno) {
        HRESULT hr = control->StopWhenReady();
        if (FAILED(hr))
            return hr;
        state = Zastaveno;
    }
    return Seek(0);
}

int AudioPlayback::DrainEvents()
{
    if (!events)
        return 0;
    int pocet = 0;
    long kod = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events->GetEvent(&kod, &p1, &p2, 0) == S_OK) {
        if (kod == EC_COMPLETE)
            endOfStream = true;
        events->FreeEventParams(kod, p1, p2);
        ++pocet;
    }
    return pocet;
}

HRESULT AudioPlayback::Position(LONGLONG* position) const
{
    *position = 0;
    if (!seeking)
        return E_UNEXPECTED;
    return seeking->GetCurrentPosition(position);
}
