#include "shared/resources.h"

#include "shared/error.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace lorvo {

QByteArray loadResource(const QString& type, const QString& name)
{
    QFile file(u":/"_s + type + u'/' + name);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(err::FileNotFound, u"Resource not found: "_s + type + u'/' + name);
    return file.readAll();
}

} // namespace lorvo
