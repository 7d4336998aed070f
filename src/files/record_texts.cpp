#include "files/record_texts.h"

namespace orvalis {

void DecodeDeferredTexts(PoiRecord &record)
{
    for (const PoiRecord::DeferredSpan &span : record.deferred)
        record.*kRecordTexts[span.field] = DecodeText({record.deferredText(span), record.deferredAs});
    record.deferred.clear();
    record.deferredBytes.clear();
    record.deferredAs = PoiRecord().deferredAs;
}

std::optional<EncodedText> DeferredText(const PoiRecord &record, int field)
{
    // A field given twice keeps its last text.
    for (auto it = record.deferred.rbegin(); it != record.deferred.rend(); ++it)
        if (it->field == field)
            return EncodedText{record.deferredText(*it), record.deferredAs};
    return std::nullopt;
}

bool HasText(const PoiRecord &record, int field)
{
    // Bytes decode to an empty text only when there are none.
    const std::optional<EncodedText> bytes = DeferredText(record, field);
    return bytes ? !bytes->isEmpty() : !(record.*kRecordTexts[field]).isEmpty();
}

QString RecordText(const PoiRecord &record, int field)
{
    const std::optional<EncodedText> bytes = DeferredText(record, field);
    return bytes ? DecodeText(*bytes) : record.*kRecordTexts[field];
}

namespace {

// A decoded text as UTF-8 in `scratch`, when it has no surrogate (whose
// halves alone toUtf8 and TextBytes treat apart).
std::optional<EncodedText> PlainUtf8(const QString &text, QByteArray &scratch)
{
    for (const QChar c : text)
        if (c.isSurrogate())
            return std::nullopt;
    scratch.clear();
    AppendUtf8(scratch, text);
    return EncodedText{scratch};
}

}  // namespace

QByteArray JoinedNameBytes(const PoiRecord &record)
{
    std::optional<EncodedText> name = DeferredText(record, kNameText);
    std::optional<EncodedText> desc = DeferredText(record, kDescText);
    if (!name && !desc)
        return TextBytes(JoinedName(record));
    // The one decoded already, as UTF-8.
    thread_local QByteArray scratch;
    if (!name)
        name = PlainUtf8(record.name, scratch);
    else if (!desc)
        desc = PlainUtf8(record.desc, scratch);
    if (!name || !desc)
        return TextBytes(JoinedName(record));
    return desc->isEmpty() ? TextBytesOf(*name) : TextBytesOf(*name, " - ", *desc);
}

}  // namespace orvalis
