#include "stores/rxml/Rxml.h"

#include "stores/rxml/RxmlSoubor.h"

#include <cwctype>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace rxml {

std::vector<uint8_t> KodovatUtf16(const std::wstring& text)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (wchar_t c : text) {
        uint32_t unit = static_cast<uint32_t>(c) & 0xFFFFu;
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

std::wstring DekodovatUtf16(const uint8_t* data, size_t size)
{
    std::wstring text(size / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return text;
}

int PorovnatBezVelikosti(const std::wstring& a, const std::wstring& b)
{
#ifdef _WIN32
    return lstrcmpiW(a.c_str(), b.c_str());
#else
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        wint_t x = std::towlower(static_cast<wint_t>(a[i]));
        wint_t y = std::towlower(static_cast<wint_t>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
#endif
}

} // namespace rxml

namespace {

std::wstring OteviraciZnacka(const std::wstring& name) { return L"<" + name + L">"; }
std::wstring UzaviraciZnacka(const std::wstring& name) { return L"</" + name + L">"; }

// The text strictly between the first `<name>` of `text` at or after `from`
// and the first `</name>` after it. npos in `start` when either is missing.
struct Nalez {
    size_t otevreni = std::wstring::npos;
    size_t zacatek = std::wstring::npos;
    size_t uzavreni = std::wstring::npos;
};

Nalez Najit(const std::wstring& text, const std::wstring& name, size_t from)
{
    Nalez n;
    std::wstring open = OteviraciZnacka(name);
    n.otevreni = text.find(open, from);
    if (n.otevreni == std::wstring::npos)
        return n;
    size_t close = text.find(UzaviraciZnacka(name), n.otevreni);
    if (close == std::wstring::npos)
        return n;
    n.uzavreni = close;
    // A name holding "<" could let the close tag overlap the open tag.
    n.zacatek = n.otevreni + open.size();
    if (n.zacatek > close)
        n.zacatek = close;
    return n;
}

} // namespace

RxmlWriter::RxmlWriter() = default;

RxmlWriter::~RxmlWriter() { Abandon(); }

bool RxmlWriter::IsOpen() const { return soubor_ != nullptr; }

void RxmlWriter::Abandon()
{
    if (soubor_) {
        rxml::ZahoditSoubor(soubor_);
        soubor_ = nullptr;
    }
    element_.clear();
    cil_.clear();
}

RxmlResult RxmlWriter::Create(const std::wstring& path)
{
    Abandon();
    RxmlResult hr = rxml::VytvoritDocasny(path, soubor_);
    if (hr < 0) {
        soubor_ = nullptr;
        return hr;
    }
    cil_ = path;
    return rxml::kOk;
}

RxmlResult RxmlWriter::Zapsat(const std::wstring& line)
{
    std::vector<uint8_t> bytes = rxml::KodovatUtf16(line);
    return rxml::ZapsatSoubor(soubor_, bytes.data(), bytes.size());
}

RxmlResult RxmlWriter::BeginElement(const std::wstring& name)
{
    if (!soubor_)
        return rxml::kEHandle;
    RxmlResult hr = EndElement();
    if (hr < 0)
        return hr;
    hr = Zapsat(L"<" + name + L">\r\n");
    if (hr < 0)
        return hr;
    element_ = name;
    return rxml::kOk;
}

RxmlResult RxmlWriter::WriteText(const std::wstring& name, const std::wstring& value)
{
    if (!soubor_ || element_.empty())
        return rxml::kEHandle;
    return Zapsat(L" <" + name + L">" + value + L"</" + name + L">\r\n");
}

RxmlResult RxmlWriter::WriteInt(const std::wstring& name, int32_t value)
{
    return WriteText(name, std::to_wstring(value));
}

RxmlResult RxmlWriter::EndElement()
{
    if (element_.empty())
        return rxml::kOk;
    if (!soubor_)
        return rxml::kEHandle;
    RxmlResult hr = Zapsat(L"</" + element_ + L">\r\n");
    if (hr < 0)
        return hr;
    element_.clear();
    return rxml::kOk;
}

RxmlResult RxmlWriter::Close()
{
    if (!soubor_)
        return rxml::kOk;
    RxmlResult hr = EndElement();
    if (hr < 0) {
        Abandon();
        return hr;
    }
    hr = rxml::DokoncitSoubor(soubor_, cil_);  // releases the file either way
    soubor_ = nullptr;
    cil_.clear();
    return hr;
}

RxmlResult RxmlReader::Load(const std::wstring& path)
{
    pozice_ = -1;
    text_.clear();
    polozka_.clear();
    std::vector<uint8_t> bytes;
    RxmlResult hr = rxml::NacistSoubor(path, bytes);
    if (hr < 0)
        return hr;
    LoadBytes(bytes.data(), bytes.size());
    return rxml::kOk;
}

void RxmlReader::LoadBytes(const uint8_t* data, size_t size)
{
    LoadText(rxml::DekodovatUtf16(data, size));
}

void RxmlReader::LoadText(std::wstring text)
{
    text_ = std::move(text);
    polozka_.clear();
    pozice_ = 0;
}

RxmlResult RxmlReader::FindNextItem(const std::wstring& name)
{
    if (pozice_ < 0 || static_cast<size_t>(pozice_) >= text_.size())
        return rxml::kNenalezeno;
    Nalez n = Najit(text_, name, static_cast<size_t>(pozice_));
    if (n.otevreni == std::wstring::npos)
        return rxml::kNenalezeno;
    pozice_ = static_cast<int32_t>(n.otevreni);
    if (n.uzavreni == std::wstring::npos)
        return rxml::kNenalezeno;
    pozice_ = static_cast<int32_t>(n.uzavreni);
    polozka_.assign(text_, n.zacatek, n.uzavreni - n.zacatek);
    return rxml::kOk;
}

RxmlResult RxmlReader::ReadField(const std::wstring& name, std::wstring& text) const
{
    if (pozice_ < 0 || polozka_.empty())
        return rxml::kEHandle;
    Nalez n = Najit(polozka_, name, 0);
    if (n.uzavreni == std::wstring::npos)
        return rxml::kNenalezeno;
    text.assign(polozka_, n.zacatek, n.uzavreni - n.zacatek);
    return rxml::kOk;
}
