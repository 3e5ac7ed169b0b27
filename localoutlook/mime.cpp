#include "localoutlook/mime.h"

using namespace Qt::StringLiterals;

namespace localoutlook {

QString oneLine(QString text)
{
    text.replace("\r\n"_L1, " "_L1);
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QByteArray mimeHeaderValue(const QString& value)
{
    const QString line = oneLine(value);
    for (QChar c : line) {
        if (c.unicode() >= 0x7F || c.unicode() < 0x20)
            return "=?UTF-8?B?" + line.toUtf8().toBase64() + "?=";
    }
    return line.toLatin1();
}

QByteArray base64Lines(const QByteArray& bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / 38 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + "\r\n";
    return out;
}

QString crlfLines(QString text)
{
    text.replace("\r\n"_L1, "\n"_L1);
    text.replace(u'\r', u'\n');
    text.replace(u'\n', "\r\n"_L1);
    return text;
}

} // namespace localoutlook
