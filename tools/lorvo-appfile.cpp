// lorvo-appfile: makes the setup's application files from their readable sources at build time.
//
//   lorvo-appfile picture NAME OUT        draw a picture (.gif, .pdf, or any format Qt writes)
//   lorvo-appfile utf16 IN OUT            UTF-8 text to UTF-16LE with byte-order mark and CRLF
//   lorvo-appfile empty-store IN OUT      a store manifest with the folders of IN and no items

#include "setup/appfiles/pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "lorvo-appfile: " << message << Qt::endl;
    return 1;
}

std::optional<QByteArray> readAll(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read %1: %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

QString writeAll(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return u"cannot write %1: %2"_s.arg(path, file.errorString());
    return {};
}

// Windows Notepad's "Unicode": little-endian UTF-16 with a byte-order mark, CRLF line ends.
QString toUtf16(const QString& in, const QString& out)
{
    QString error;
    const auto bytes = readAll(in, error);
    if (!bytes)
        return error;
    auto decode = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(*bytes);
    if (decode.hasError())
        return u"%1 is not UTF-8"_s.arg(in);
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n').replace(u"\n"_s, u"\r\n"_s);
    auto encode = QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return writeAll(out, encode(text));
}

// The same folder tree with every item removed, so the empty template cannot drift from the
// filled one.
QJsonObject withoutItems(QJsonObject folder)
{
    folder.remove(u"items"_s);
    QJsonArray subfolders;
    for (const QJsonValue& sub : folder.value(u"folders"_s).toArray())
        subfolders.append(withoutItems(sub.toObject()));
    if (!subfolders.isEmpty())
        folder.insert(u"folders"_s, subfolders);
    return folder;
}

QString emptyStore(const QString& in, const QString& out)
{
    QString error;
    const auto bytes = readAll(in, error);
    if (!bytes)
        return error;
    QJsonParseError parseError;
    const QJsonDocument manifest = QJsonDocument::fromJson(*bytes, &parseError);
    if (!manifest.isObject())
        return u"%1: %2 at offset %3"_s.arg(in, parseError.errorString()).arg(parseError.offset);
    return writeAll(out, QJsonDocument(withoutItems(manifest.object())).toJson());
}

} // namespace

int main(int argc, char* argv[])
{
    // Only drawing needs a GUI application (for fonts); a build machine has no display.
    const bool drawing = argc > 1 && qstrcmp(argv[1], "picture") == 0;
    if (drawing && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawing ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);

    QString error;
    if (args.size() == 3 && drawing)
        error = lorvo::appfiles::writePicture(args.at(1), args.at(2));
    else if (args.size() == 3 && args.at(0) == "utf16"_L1)
        error = toUtf16(args.at(1), args.at(2));
    else if (args.size() == 3 && args.at(0) == "empty-store"_L1)
        error = emptyStore(args.at(1), args.at(2));
    else
        error = u"usage: lorvo-appfile picture NAME OUT | utf16 IN OUT | empty-store IN OUT"_s;
    return error.isEmpty() ? 0 : fail(error);
}
