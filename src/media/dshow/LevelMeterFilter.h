// Built-in pass-through filter between a capture filter and a writer that
// measures the audio on its way into the file: the peak of every 100 ms is
// posted to a window, so the window can show the input level without a
// timer or a lock in the streaming thread's way. It changes nothing: it
// passes each sample on when the writer takes the capture filter's
// allocator and copies it otherwise, so it works between the system's
// filters as well as between the built-in ones.
#pragma once

#include "media/dshow/DShowBase.h"

namespace mirvak::direct_show {

// {5D1E6C0B-7A2F-4E61-9C3B-2B8F0A6D41E7}
extern const CLSID CLSID_TonbarLevelMeter;

// Graph event of the meter: the first sample with sound passed through it
// since the graph last left the stopped state (param1 and param2 are 0).
constexpr long EC_TONBAR_FIRST_SAMPLE = EC_USER + 0x2010;

// Audio one peak covers, and the peaks a level message carries.
constexpr DWORD kLevelWindowMs = 100;
constexpr DWORD kLevelWindowsPerMessage = 2;
// The peak of full scale.
constexpr DWORD kLevelFullScale = 32768;

// Creates the meter. For every two kLevelWindowMs of audio that pass it posts
// `message` to `window` with the peak of each over all channels, in
// 0..kLevelFullScale: the earlier in LOWORD(WPARAM), the later in
// HIWORD(WPARAM); LPARAM = kLevelWindowsPerMessage. A null window gets
// nothing.
//
// Pins "In" and "Out" carry the same PCM type (8, 16, 24 or 32-bit integer,
// or 32-bit float): the pin connected second offers and accepts only the
// type of the first, so connecting the output to the writer first lets the
// capture filter deliver what the writer prefers.
HRESULT CreateLevelMeter(HWND window, UINT message, IBaseFilter** out);

} // namespace mirvak::direct_show
