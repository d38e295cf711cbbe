// The files under the RXML reader and writer: Win32 in the program, POSIX in
// the native build. Internal to the stores core.
#pragma once

#include "stores/rxml/Rxml.h"

namespace rxml {

// Creates a fresh temporary file beside `cil`, not shared with anyone.
RxmlResult VytvoritDocasny(const std::wstring& cil, RxmlWriter::Soubor*& soubor);
RxmlResult ZapsatSoubor(RxmlWriter::Soubor* soubor, const uint8_t* data, size_t size);
// Flushes and closes the temporary file, then moves it over `cil`. Frees
// `soubor`; on failure the temporary file is removed and `cil` is untouched.
RxmlResult DokoncitSoubor(RxmlWriter::Soubor* soubor, const std::wstring& cil);
// Closes and removes the temporary file; frees `soubor`.
void ZahoditSoubor(RxmlWriter::Soubor* soubor);

// The whole file. E_FAIL when it cannot be opened, E_FILE_TOO_LARGE above the
// limit, else the failing call's error.
RxmlResult NacistSoubor(const std::wstring& path, std::vector<uint8_t>& bytes);

} // namespace rxml
