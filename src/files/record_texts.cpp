#include "files/record_texts.h"

#include "files/text_codecs.h"
#include "files/xml_scan.h"

namespace orvalis {

void DecodeDeferredTexts(PoiRecord &record)
{
    for (const auto &[field, bytes] : record.deferred) {
        QString &text = record.*kRecordTexts[field];
        switch (record.deferredAs) {
        case PoiRecord::Bytes::XmlRun:
        case PoiRecord::Bytes::ExactXmlRun:
            // A deferred run has no reference: what ElementTextAt would give.
            text = xml::XmlRunText(bytes, record.deferredAs == PoiRecord::Bytes::ExactXmlRun);
            break;
        case PoiRecord::Bytes::FileText:
            text = DecodeFileText(bytes);
            break;
        }
    }
    record.deferred.clear();
    record.deferredAs = {};
}

QString EncodedText::decoded() const
{
    return windows1252 ? DecodeWindows1252(bytes) : DecodeUtf8(bytes);
}

std::optional<EncodedText> DeferredText(const PoiRecord &record, int field, QByteArray &scratch)
{
    // A field given twice keeps its last text.
    for (auto it = record.deferred.rbegin(); it != record.deferred.rend(); ++it) {
        if (it->first != field)
            continue;
        const QByteArray &bytes = it->second;
        switch (record.deferredAs) {
        case PoiRecord::Bytes::XmlRun:
            return EncodedText{bytes, !IsStrictUtf8(bytes)};
        case PoiRecord::Bytes::ExactXmlRun:
            if (IsStrictUtf8(bytes))
                return EncodedText{bytes};
            scratch = DecodeUtf8(bytes).toUtf8();  // declared UTF-8 that is not: as decoded
            return EncodedText{scratch};
        case PoiRecord::Bytes::FileText: {
            EncodedText text;
            text.windows1252 = !FileTextIsUtf8(bytes, &text.bytes);
            return text;
        }
        }
    }
    return std::nullopt;
}

namespace {

// A text's UTF-8 appended: from its bytes, or from the decoded string when
// it has no surrogate (whose halves alone toUtf8 and TextBytes treat apart);
// false otherwise.
bool AppendTextUtf8(QByteArray &out, const std::optional<EncodedText> &deferred, const QString &text)
{
    if (deferred && deferred->windows1252) {
        AppendWindows1252AsUtf8(out, deferred->bytes);
        return true;
    }
    if (deferred) {
        out.append(deferred->bytes);
        return true;
    }
    for (const QChar c : text)
        if (c.isSurrogate())
            return false;
    AppendUtf8(out, text);
    return true;
}

}  // namespace

QByteArray JoinedNameBytes(const PoiRecord &record)
{
    thread_local QByteArray nameScratch, descScratch, joined;
    const std::optional<EncodedText> name = DeferredText(record, kNameText, nameScratch);
    const std::optional<EncodedText> desc = DeferredText(record, kDescText, descScratch);
    if (!name && !desc)
        return TextBytes(JoinedName(record));
    const bool hasDesc = desc ? !desc->isEmpty() : !record.desc.isEmpty();
    if (name && !hasDesc)
        return name->windows1252 ? TextBytesOfWindows1252(name->bytes) : TextBytesOfUtf8(name->bytes);
    // The name, " - " and the description as JoinedName puts them.
    joined.clear();
    if (name && desc && name->windows1252 && desc->windows1252) {
        joined.append(name->bytes).append(" - ").append(desc->bytes);
        return TextBytesOfWindows1252(joined);
    }
    bool plain = AppendTextUtf8(joined, name, record.name);
    joined.append(" - ");
    plain = plain && AppendTextUtf8(joined, desc, record.desc);
    if (plain)
        return TextBytesOfUtf8(joined);
    PoiRecord decoded = record;
    DecodeDeferredTexts(decoded);
    return TextBytes(JoinedName(decoded));
}

}  // namespace orvalis
