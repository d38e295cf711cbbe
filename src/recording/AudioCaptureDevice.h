// One audio capture device as the program knows it.
#pragma once

#include <string>

struct AudioCaptureDevice {
    std::wstring friendlyName;
    std::wstring description;
    std::wstring devicePath;
};
