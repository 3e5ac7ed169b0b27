#include "shared/resources.h"

#include "shared/error.h"

#include <QFile>

namespace lorvo {

QByteArray loadResource(const QString& type, const QString& name)
{
    QFile file(QLatin1Char(':') + QLatin1Char('/') + type + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(err::FileNotFound,
                    QStringLiteral("Resource not found: ") + type + QLatin1Char('/') + name);
    return file.readAll();
}

} // namespace lorvo
