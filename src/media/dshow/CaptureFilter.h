// Built-in audio capture source filter over waveIn, for systems whose audio
// capture filter offers no output pin. Two output pins, "Capture" of
// category PIN_CATEGORY_CAPTURE and "Preview" of PIN_CATEGORY_PREVIEW, both
// delivering the same 16-bit PCM in samples of about 20 ms, time-stamped by
// the number of frames captured; once one is connected the other takes only
// its format.
#pragma once

#include "media/dshow/DShowBase.h"

namespace mirvak::direct_show {

// {72B32EB4-D263-422B-B259-D9C5D2BB9C81}
extern const CLSID CLSID_TonbarAudioCapture;

// Creates the filter for the waveIn device with this index (the device
// moniker's "WaveInID"). The name is what QueryFilterInfo reports until the
// graph names it.
HRESULT CreateCaptureFilter(UINT waveInId, const wchar_t* name, IBaseFilter** out);

} // namespace mirvak::direct_show
