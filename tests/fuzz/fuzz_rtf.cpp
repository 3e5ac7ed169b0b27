// libFuzzer target: any bytes through the RTF reader and the word processor's filtered HTML and
// cleanup; the same bytes as HTML through the writer and back. A crash, a sanitizer report or an
// HTML that does not come back whole is a finding.

#include "archive/conversion.h"
#include "archive/wordprocessor.h"
#include "shared/rtf/reader.h"
#include "shared/rtf/writer.h"

#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// Line breaks as the reader gives them back: each CR LF, CR or LF as CR LF.
QString withCrLf(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    text.replace(u"\n"_s, u"\r\n"_s);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArrayView bytes(data, qsizetype(size));

    if (const auto doc = lorvo::rtf::read(bytes)) {
        const QString html = lorvo::archive::filteredHtml(*doc, dir.filePath(u"1001.htm"_s));
        lorvo::archive::fncFilteredWordHTML(html);
    }

    // Whatever HTML the writer encapsulates, the reader takes back out unchanged.
    const QString html = QString::fromUtf8(bytes);
    const auto back = lorvo::rtf::read(lorvo::rtf::itemToRtf({{u"Subject:"_s, html}}, html));
    if (!back || (back->fromHtml && back->html != withCrLf(html)))
        std::abort();
    return 0;
}
