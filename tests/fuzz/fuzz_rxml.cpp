// libFuzzer target for the RXML reader: any bytes as a store file, read the
// way every store reads its items and fields.
#include "stores/rxml/Rxml.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RxmlReader reader;
    reader.LoadBytes(data, size);
    if (reader.Text().size() != size / 2)
        std::abort();
    const wchar_t* polozky[] = {L"ftp_misto", L"kontakt", L"smtp_ucet"};
    const wchar_t* pole[] = {L"adresa", L"heslo", L"nazev", L"pasivni_rezim", L"email", L"id"};
    for (const wchar_t* polozka : polozky) {
        RxmlReader r;
        r.LoadText(reader.Text());
        int32_t pred = r.Position();
        while (r.FindNextItem(polozka) == 0) {
            // The position only moves forward, and the item lies inside the text.
            if (r.Position() < pred || r.Item().size() > r.Text().size())
                std::abort();
            pred = r.Position();
            for (const wchar_t* p : pole) {
                std::wstring text;
                RxmlResult hr = r.ReadField(p, text);
                if (hr == 0 && text.size() > r.Item().size())
                    std::abort();
            }
        }
    }
    return 0;
}
