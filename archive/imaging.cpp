#include "archive/imaging.h"

using namespace Qt::StringLiterals;

namespace lorvo::archive {

int fncGetEncoderClsid(ImageCodec& codec, const QString& mimeType, QByteArray& encoder)
{
    const QList<QByteArray> encoders = codec.encoderMimeTypes();
    for (qsizetype i = 0; i < encoders.size(); ++i) {
        if (QString::fromLatin1(encoders[i]).compare(mimeType, Qt::CaseInsensitive) == 0) {
            encoder = encoders[i];
            return int(i + 1);
        }
    }
    return -1;
}

bool subConvertToJPEG(ImageCodec& codec, const QString& source, const QString& target)
{
    constexpr int kQuality = 90;
    QByteArray encoder;
    if (fncGetEncoderClsid(codec, u"image/jpeg"_s, encoder) < 0)
        return false;
    return codec.save(source, target, encoder, kQuality);
}

} // namespace lorvo::archive
