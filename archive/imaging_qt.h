#pragma once

// The imaging library over Qt's image I/O (QImageReader, QImageWriter).

#include "archive/imaging.h"

namespace lorvo::archive {

class QtImageCodec final : public ImageCodec
{
public:
    bool startup() override;
    void shutdown() override;
    QList<QByteArray> encoderMimeTypes() override;
    bool save(const QString& source, const QString& target, const QByteArray& encoderMime,
              int quality) override;
};

} // namespace lorvo::archive
