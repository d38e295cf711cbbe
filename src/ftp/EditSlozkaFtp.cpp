#include "ftp/EditSlozkaFtp.h"

#include "resources/resource.h"

namespace mirvak::ftp {

void EditSlozkaFtp::Browse()
{
    PostMessageW(Parent(), winapi::WM_PROCHAZET_FTP, 0, 0);
}

UINT EditSlozkaFtp::TooltipTextId() const
{
    return IDS_TIP_VYBRAT_SLOZKU_FTP;
}

} // namespace mirvak::ftp
