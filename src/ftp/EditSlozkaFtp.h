// The folder field of an FTP place: its "..." button asks the parent dialog
// (WM_APP + 2005, both parameters 0) to browse the server's folders.
#pragma once

#include "controls/Edit.h"

namespace mirvak::ftp {

class EditSlozkaFtp : public winapi::EditProchazeni {
public:
    void Browse() override;

protected:
    UINT TooltipTextId() const override;
};

} // namespace mirvak::ftp
