#include "archive/imaging_qt.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace lorvo::archive {

bool QtImageCodec::startup()
{
    // Without a JPEG writer (the image-format plugin is missing) no bitmap can be converted.
    return QImageWriter::supportedImageFormats().contains(QByteArrayLiteral("jpeg"));
}

void QtImageCodec::shutdown() {}

QList<QByteArray> QtImageCodec::encoderMimeTypes()
{
    return QImageWriter::supportedMimeTypes();
}

bool QtImageCodec::save(const QString& source, const QString& target, const QByteArray& encoderMime,
                        int quality)
{
    const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(encoderMime);
    if (formats.isEmpty())
        return false;
    QImageReader reader(source);
    // The content decides the format, whatever the extension says (".BMP", ".bmp", none).
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, formats.first());
    writer.setQuality(quality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace lorvo::archive
