// The load and save procedure of an RXML store, shared by the FTP places, the
// SMTP accounts and the contacts: a store is described by its header text,
// its item element and its fields (in alphabetical order of element names).
#pragma once

#include "stores/rxml/Rxml.h"

#include <algorithm>
#include <string>
#include <vector>

// One field of a record: a text, or a boolean written as 0/1 and read as true
// only for the exact text "1".
template <typename Record>
struct RxmlField {
    const wchar_t* element;
    std::wstring Record::*text = nullptr;
    bool Record::*flag = nullptr;
};

template <typename Record>
struct RxmlStoreFormat {
    const wchar_t* header;  // text of the `rxml_data` block's `nazev`; nullptr: no header block
    const wchar_t* item;    // item element
    std::vector<RxmlField<Record>> fields;  // alphabetical order of `element`
    std::wstring Record::*sortKey;
};

// Clears `list`, then loads it from `path` and sorts it by the sort key.
// E_INVALIDARG when the file does not exist, the reader's error when it cannot
// be read (the list stays empty). Every item starts from an empty record, so a
// missing element never carries a value over from the item before.
template <typename Record>
RxmlResult LoadRxmlStore(const std::wstring& path, const RxmlStoreFormat<Record>& format,
                         std::vector<Record>& list)
{
    list.clear();
    if (!rxml::SouborExistuje(path))
        return rxml::kEInvalidArg;
    RxmlReader reader;
    RxmlResult hr = reader.Load(path);
    if (hr < 0)
        return hr;
    std::vector<Record> loaded;
    while (reader.FindNextItem(format.item) == rxml::kOk) {
        Record record{};
        for (const RxmlField<Record>& field : format.fields) {
            if (field.flag) {
                std::wstring text;
                if (reader.ReadField(field.element, text) == rxml::kOk)
                    record.*field.flag = text == L"1";
            } else {
                reader.ReadField(field.element, record.*field.text);
            }
        }
        loaded.push_back(std::move(record));
    }
    std::stable_sort(loaded.begin(), loaded.end(), [&](const Record& a, const Record& b) {
        return rxml::PorovnatBezVelikosti(a.*format.sortKey, b.*format.sortKey) < 0;
    });
    list = std::move(loaded);
    return rxml::kOk;
}

// Writes `list` in its order to `path`; the previous file is replaced only
// when every line was written. Any failing write ends the save with its error.
template <typename Record>
RxmlResult SaveRxmlStore(const std::wstring& path, const RxmlStoreFormat<Record>& format,
                         const std::vector<Record>& list)
{
    RxmlWriter writer;
    RxmlResult hr = writer.Create(path);
    if (hr < 0)
        return hr;
    if (format.header) {
        if ((hr = writer.BeginElement(L"rxml_data")) < 0 || (hr = writer.WriteText(L"nazev", format.header)) < 0 ||
            (hr = writer.EndElement()) < 0)
            return hr;
    }
    for (const Record& record : list) {
        if ((hr = writer.BeginElement(format.item)) < 0)
            return hr;
        for (const RxmlField<Record>& field : format.fields) {
            hr = field.flag ? writer.WriteInt(field.element, record.*field.flag ? 1 : 0)
                            : writer.WriteText(field.element, record.*field.text);
            if (hr < 0)
                return hr;
        }
        if ((hr = writer.EndElement()) < 0)
            return hr;
    }
    return writer.Close();
}
