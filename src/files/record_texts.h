#pragma once

#include "files/poi_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace orvalis {

// A text as the bytes that hold it: UTF-8, or Windows-1252 (every character
// of the text fits the code page then).
struct EncodedText {
    QByteArrayView bytes;
    bool windows1252 = false;
    bool isEmpty() const { return bytes.isEmpty(); }
    QString decoded() const;
};

// The text a reader left undecoded in `field` (an index into kRecordTexts),
// the one DecodeDeferredTexts would give, as bytes: a view of the record or,
// rarely, of `scratch`. Nothing when the field's text is decoded already (or
// there is none).
std::optional<EncodedText> DeferredText(const PoiRecord &record, int field, QByteArray &scratch);

// The bytes of an OV2 text, TextBytes(JoinedName(record)), made from the
// bytes of the deferred texts without decoding them.
QByteArray JoinedNameBytes(const PoiRecord &record);

}  // namespace orvalis
