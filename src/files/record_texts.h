#pragma once

#include "files/poi_record.h"
#include "files/text_codecs.h"

#include <QByteArray>
#include <optional>

namespace orvalis {

// The text a reader left undecoded in `field` (an index into kRecordTexts),
// the one DecodeDeferredTexts would give, as a view of the record's bytes;
// an XML run's is decided by the writer on its way (Utf8ElseWindows1252).
// Nothing when the field's text is decoded already (or there is none).
std::optional<EncodedText> DeferredText(const PoiRecord &record, int field);

// A field's text whether the reader left its bytes or decoded it: whether it
// has one, and the text (decoded now when it was left).
bool HasText(const PoiRecord &record, int field);
QString RecordText(const PoiRecord &record, int field);

// The bytes of an OV2 text, TextBytes(JoinedName(record)), made from the
// bytes of the deferred texts without decoding them.
QByteArray JoinedNameBytes(const PoiRecord &record);

}  // namespace orvalis
