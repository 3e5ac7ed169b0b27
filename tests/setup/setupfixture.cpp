#include "tests/setup/setupfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace lorvo::setup::test {

QString writePermissionText()
{
    return u"It seems like you don't have write permission on the folder you have selected,\r\n"
           u"or some Lorvo application is currently running!\r\n\r\n"
           u"Please shutdown the application and try again!"_s;
}

QStringList appFileSources()
{
    return QString::fromUtf8(LORVO_SETUP_TEST_APPFILES).split(u'|');
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void PageRecorder::showPage(Page page)
{
    visible.insert(page);
    shown.append(page);
}

void PageRecorder::hidePage(Page page)
{
    visible.erase(page);
}

} // namespace lorvo::setup::test
