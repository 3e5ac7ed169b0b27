#pragma once

// Image conversion (modGDIPlusAPI): the imaging library as a seam, the lookup of an encoder by
// MIME type and the re-encoding of bitmap attachments as JPEG.

#include <QByteArray>
#include <QList>
#include <QString>

namespace lorvo::archive {

// The imaging library: started by the window at load, shut down at unload.
class ImageCodec
{
public:
    virtual ~ImageCodec() = default;
    /// Starts the library; false when it is missing or cannot write JPEG files.
    virtual bool startup() = 0;
    /// Ends what startup began; harmless when it never started.
    virtual void shutdown() = 0;
    /// The MIME types of the library's encoders, in the library's own order.
    virtual QList<QByteArray> encoderMimeTypes() = 0;
    /// Loads the image at source and writes it whole to target with the encoder of that MIME
    /// type at quality (0 to 100); false when either step failed (target is then untouched).
    virtual bool save(const QString& source, const QString& target, const QByteArray& encoderMime,
                      int quality) = 0;
};

/// The 1-based position of the encoder whose MIME type equals mimeType without regard to case,
/// with encoder set to its identity (its MIME type as the library names it); -1 when none matches
/// (encoder is then left as it was).
int fncGetEncoderClsid(ImageCodec& codec, const QString& mimeType, QByteArray& encoder);

/// Writes the image at source as a JPEG file of quality 90 at target. Returns whether the JPEG
/// was written, so that the caller keeps the source when it was not.
bool subConvertToJPEG(ImageCodec& codec, const QString& source, const QString& target);

/// Where the user can get the imaging library when it is missing.
inline QString imagingDownloadAddress()
{
    return QStringLiteral("https://lorvo.example/imaging");
}

} // namespace lorvo::archive
