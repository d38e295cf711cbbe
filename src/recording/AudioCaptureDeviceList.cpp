#include "recording/AudioCaptureDeviceList.h"

#include "app/Chyby.h"
#include "media/dshow/MediaLayer.h"

#include <oleauto.h>

#include <algorithm>
#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace {

// A VARIANT that clears itself.
struct Varianta {
    VARIANT v;
    Varianta() { VariantInit(&v); }
    ~Varianta() { VariantClear(&v); }
    Varianta(const Varianta&) = delete;
    Varianta& operator=(const Varianta&) = delete;
};

HRESULT CistText(IPropertyBag* bag, const wchar_t* nazev, std::wstring& out)
{
    Varianta hodnota;
    hodnota.v.vt = VT_BSTR;
    HRESULT hr = bag->Read(nazev, &hodnota.v, nullptr);
    if (FAILED(hr))
        return hr;
    if (hodnota.v.vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    out = hodnota.v.bstrVal ? hodnota.v.bstrVal : L"";
    return S_OK;
}

HRESULT VytvoritVyctovac(ComPtr<ICreateDevEnum>& vyctovac)
{
    return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&vyctovac));
}

// " #n" with n >= 2 in plain decimal at the end of the name: the base name
// and n; false when the name carries no such suffix.
bool RozdelitPripona(const std::wstring& jmeno, std::wstring& zaklad, unsigned& poradi)
{
    size_t mriz = jmeno.rfind(L" #");
    if (mriz == std::wstring::npos || mriz == 0)
        return false;
    const size_t cislice = mriz + 2;
    if (cislice >= jmeno.size() || jmeno[cislice] == L'0' || jmeno.size() - cislice > 9)
        return false;
    unsigned n = 0;
    for (size_t i = cislice; i < jmeno.size(); ++i) {
        if (jmeno[i] < L'0' || jmeno[i] > L'9')
            return false;
        n = n * 10 + static_cast<unsigned>(jmeno[i] - L'0');
    }
    if (n < 2)
        return false;
    zaklad = jmeno.substr(0, mriz);
    poradi = n;
    return true;
}

// The n-th (1-based) device whose name equals `jmeno`, exactly or ignoring case.
int NtyPodleJmena(const std::vector<AudioCaptureDevice>& zarizeni, const std::wstring& jmeno, unsigned n,
                  bool presne)
{
    unsigned nalezeno = 0;
    for (size_t i = 0; i < zarizeni.size(); ++i) {
        const std::wstring& kandidat = zarizeni[i].friendlyName;
        bool shoda = presne ? kandidat == jmeno : lstrcmpiW(kandidat.c_str(), jmeno.c_str()) == 0;
        if (shoda && ++nalezeno == n)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

AudioCaptureDeviceEnumeration::~AudioCaptureDeviceEnumeration()
{
    Take();
}

void AudioCaptureDeviceEnumeration::Start()
{
    Take();
    list_ = std::make_unique<AudioCaptureDeviceList>();
    thread_ = std::thread([list = list_.get()] {
        HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        try {
            list->Enumerate();   // a failure keeps what was read
        } catch (...) {
            list->Clear();
        }
        if (SUCCEEDED(com))
            CoUninitialize();
    });
}

std::unique_ptr<AudioCaptureDeviceList> AudioCaptureDeviceEnumeration::Take()
{
    if (thread_.joinable())
        thread_.join();
    return std::move(list_);
}

const AudioCaptureDevice& AudioCaptureDeviceList::At(int index) const
{
    if (index < 0 || index >= Count())
        VyhoditKod(E_INVALIDARG);
    return devices_[static_cast<size_t>(index)];
}

void AudioCaptureDeviceList::CopyAt(int index, AudioCaptureDevice& out) const
{
    const AudioCaptureDevice& d = At(index);
    out.friendlyName = d.friendlyName;
    out.description = d.description;
    out.devicePath = d.devicePath;
}

void AudioCaptureDeviceList::SortAndNumber()
{
    if (devices_.empty())
        return;
    // Names equal but for case are ordered exactly among themselves, so that
    // identical names end up next to each other; identical names keep the
    // enumeration order, which binding relies on to find "N #n" again.
    std::stable_sort(devices_.begin(), devices_.end(), [](const AudioCaptureDevice& a, const AudioCaptureDevice& b) {
        int c = lstrcmpiW(a.friendlyName.c_str(), b.friendlyName.c_str());
        if (c != 0)
            return c < 0;
        return wcscmp(a.friendlyName.c_str(), b.friendlyName.c_str()) < 0;
    });
    std::wstring posledni = devices_[0].friendlyName;
    int citac = 1;
    for (size_t i = 1; i < devices_.size(); ++i) {
        std::wstring& jmeno = devices_[i].friendlyName;
        if (jmeno == posledni) {
            ++citac;
            wchar_t pripona[16];
            swprintf(pripona, 16, L" #%d", citac);
            jmeno += pripona;
        } else {
            posledni = jmeno;
            citac = 1;
        }
    }
}

HRESULT AudioCaptureDeviceList::Enumerate()
{
    Clear();
    ComPtr<ICreateDevEnum> vyctovac;
    HRESULT hr = VytvoritVyctovac(vyctovac);
    if (FAILED(hr))
        return hr;
    ComPtr<IEnumMoniker> monikery;
    hr = vyctovac->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &monikery, 0);
    if (hr == S_OK && monikery) {
        ComPtr<IMoniker> moniker;
        while (monikery->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IPropertyBag> bag;
            hr = moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag));
            if (FAILED(hr))
                return hr;
            AudioCaptureDevice d;
            if (FAILED(CistText(bag.Get(), L"FriendlyName", d.friendlyName)))
                continue;
            CistText(bag.Get(), L"Description", d.description);
            CistText(bag.Get(), L"DevicePath", d.devicePath);
            Add(d);
        }
    }
    SortAndNumber();
    return S_OK;
}

int ChooseCaptureDevice(const std::vector<AudioCaptureDevice>& enumerated, const AudioCaptureDevice& wanted)
{
    if (!wanted.devicePath.empty()) {
        for (size_t i = 0; i < enumerated.size(); ++i) {
            if (lstrcmpiW(enumerated[i].devicePath.c_str(), wanted.devicePath.c_str()) == 0)
                return static_cast<int>(i);
        }
    }
    const std::wstring& jmeno = wanted.friendlyName;
    if (jmeno.empty())
        return -1;
    // A real device may carry a name that looks suffixed: the whole name first.
    int i = NtyPodleJmena(enumerated, jmeno, 1, true);
    if (i < 0)
        i = NtyPodleJmena(enumerated, jmeno, 1, false);
    if (i >= 0)
        return i;
    std::wstring zaklad;
    unsigned poradi = 0;
    if (!RozdelitPripona(jmeno, zaklad, poradi))
        return -1;
    i = NtyPodleJmena(enumerated, zaklad, poradi, true);
    if (i < 0)
        i = NtyPodleJmena(enumerated, zaklad, poradi, false);
    return i;
}

HRESULT BindCaptureDevice(const AudioCaptureDevice& device, ComPtr<IBaseFilter>& filter)
{
    if (filter)
        return S_FALSE;
    if (device.friendlyName.empty())
        return E_INVALIDARG;
    ComPtr<ICreateDevEnum> vyctovac;
    HRESULT hr = VytvoritVyctovac(vyctovac);
    if (FAILED(hr))
        return hr;
    ComPtr<IEnumMoniker> monikery;
    hr = vyctovac->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &monikery, 0);
    if (!monikery)
        return FAILED(hr) ? hr : E_FAIL;
    monikery->Reset();

    // Every readable device in enumeration order, then the choice among them.
    std::vector<ComPtr<IMoniker>> kandidati;
    std::vector<AudioCaptureDevice> popisy;
    ComPtr<IMoniker> moniker;
    while (monikery->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))))
            continue;
        AudioCaptureDevice d;
        if (FAILED(CistText(bag.Get(), L"FriendlyName", d.friendlyName)))
            continue;
        CistText(bag.Get(), L"DevicePath", d.devicePath);
        kandidati.push_back(moniker);
        popisy.push_back(std::move(d));
    }
    int vybrany = ChooseCaptureDevice(popisy, device);
    if (vybrany < 0)
        return E_FAIL;
    ComPtr<IBaseFilter> f;
    hr = mirvak::direct_show::BindCaptureFilter(kandidati[static_cast<size_t>(vybrany)].Get(), &f);
    if (SUCCEEDED(hr))
        filter = f;
    return hr;
}
