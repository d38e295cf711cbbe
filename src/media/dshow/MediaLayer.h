// The one place that decides between a system DirectShow component and the
// built-in one. The recorder calls these where it would call the system
// directly; on Windows with Windows Media the system's components are used,
// and the built-in filters only where the system has none (as under Wine).
#pragma once

#include <windows.h>
#include <dshow.h>

namespace mirvak::direct_show {

// Binds the device's capture filter (IMoniker::BindToObject). When that fails
// or the filter offers no output pin, returns instead the built-in waveIn
// capture filter for the device's "WaveInID" (named by its "FriendlyName").
// Returns the system bind's result when there is no WaveInID to fall back on.
HRESULT BindCaptureFilter(IMoniker* moniker, IBaseFilter** out);

// Does what ICaptureGraphBuilder2::SetOutputFileName(&MEDIASUBTYPE_Asf, file,
// writer, NULL) does: gives a Windows Media ASF writer for `file`, already in
// the builder's filter graph. The system's writer when SetOutputFileName
// succeeds; otherwise the built-in writer, given the file name and added to
// the graph as "ASF Writer". The builder must have its filter graph set.
HRESULT SetOutputFileNameAsf(ICaptureGraphBuilder2* builder, const wchar_t* file, IBaseFilter** writer);

// Connects capture filter -> level meter -> writer, all in the builder's
// graph: the meter's output to the writer's first free input first, so the
// meter offers the capture filter the type the writer prefers; when the
// capture filter cannot be connected that way, it is connected first with
// a type of its own choice, which the meter then passes on to the writer.
// A system capture pin is asked for buffers of about 50 ms, so the level
// is measured in steps the eye can follow.
HRESULT ConnectThroughMeter(ICaptureGraphBuilder2* builder, IBaseFilter* capture, IBaseFilter* meter,
                            IBaseFilter* writer);

// The built-in filters themselves.
HRESULT CreateBuiltInCaptureFilter(UINT waveInId, const wchar_t* name, IBaseFilter** out);
HRESULT CreateBuiltInAsfWriter(IBaseFilter** out);

// True when the filter has at least one output pin.
bool HasOutputPin(IBaseFilter* filter);

} // namespace mirvak::direct_show
