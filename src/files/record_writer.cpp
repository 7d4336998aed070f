#include "files/record_writer.h"

namespace orvalis {

RecordWriter::RecordWriter(const PoiCodec &codec, const RecordWriteOptions &options, RecordOutput output)
    : format_(codec.recordWriter(options)), out_(std::move(output))
{
}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::spoolFailed() const
{
    return format_->spoolFailed();
}

QString RecordWriter::failure() const
{
    return format_->failure();
}

QString RecordWriter::note() const
{
    return format_->note();
}

void RecordWriter::start(const XmlNamespaces &namespaces)
{
    format_->start(out_, namespaces);
}

bool RecordWriter::append(const PoiRecord &r)
{
    const bool ok = format_->append(out_, r);
    written_ += ok;
    out_.flushIfFull();
    return ok;
}

int RecordWriter::finish()
{
    format_->finish(out_);
    out_.flush();
    return written_;
}

}  // namespace orvalis
