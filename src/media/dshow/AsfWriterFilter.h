// Built-in DirectShow renderer that writes a Windows Media Audio file: one
// input pin for 16-bit PCM, encoded with WmaEncoder and written by AsfWriter.
// It plays the part of the system's Windows Media ASF writer where there is
// none: IFileSinkFilter names the file, IConfigAsfWriter takes the profile.
#pragma once

#include "media/dshow/DShowBase.h"

#include <wmsdkidl.h>

// The MinGW headers have no dshowasf.h; the interface as Windows declares it.
#ifndef __IConfigAsfWriter_INTERFACE_DEFINED__
#define __IConfigAsfWriter_INTERFACE_DEFINED__
MIDL_INTERFACE("45086030-F7E4-486A-B504-826BB5792A3B")
IConfigAsfWriter : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD dwProfileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* pdwProfileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID guidProfile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* pProfileGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* pProfile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** ppProfile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL bIndexFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* pbIndexFile) = 0;
};
__CRT_UUID_DECL(IConfigAsfWriter, 0x45086030, 0xf7e4, 0x486a, 0xb5, 0x04, 0x82, 0x6b, 0xb5, 0x79, 0x2a, 0x3b)
#endif

namespace mirvak::direct_show {

// {261AC5E3-3F3E-49B8-BFA6-9981BE6B04FD}
extern const CLSID CLSID_TonbarAsfWriter;

// Creates the writer filter, stopped, with no file and no profile.
//
// Behaviour: ConfigureFilterUsingProfile reads the profile's audio stream
// (bit rate, rate, channels) through IWMProfile/IWMStreamConfig/
// IWMMediaProps alone; a null profile or one without a usable audio stream
// gives E_INVALIDARG and keeps the previous configuration. The input pin
// prefers PCM at the profile's rate and channels and converts other 16-bit
// PCM (1 or 2 channels, 8-96 kHz). Leaving the stopped state creates the
// file (shared for reading, so it can be played while it grows) and writes
// the header; every sample is encoded and written at once; Stop flushes the
// encoder, completes the header and index, and closes the file.
HRESULT CreateAsfWriterFilter(IBaseFilter** out);

} // namespace mirvak::direct_show
