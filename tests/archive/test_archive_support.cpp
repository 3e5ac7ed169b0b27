#include "test_archive_support.h"

#include "shared/rtf/writer.h"

#include <QSaveFile>
#include <QTest>

using namespace Qt::StringLiterals;

QString TestItem::HTMLBody()
{
    ++bodyReads;
    if (failBody)
        throw lorvo::Error(lorvo::err::PermissionDenied, u"Body refused"_s);
    return html;
}

QByteArray TestItem::SaveAsData(qint32 type)
{
    if (failSave || filesOnly || type != outlook::olRTF)
        throw lorvo::Error(lorvo::err::PathFileAccess, u"Save refused"_s);
    saved.append(QString());
    if (emptySave)
        return {};
    return lorvo::rtf::itemToRtf({{u"From:"_s, u"Helpdesk"_s}, {u"Subject:"_s, subject}}, html);
}

void TestItem::SaveAs(const QString& path, qint32 type)
{
    if (failSave || type != outlook::olRTF)
        throw lorvo::Error(lorvo::err::PathFileAccess, u"Save refused"_s);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw lorvo::Error(lorvo::err::PathNotFound, path);
    if (!emptySave)
        file.write(
            lorvo::rtf::itemToRtf({{u"From:"_s, u"Helpdesk"_s}, {u"Subject:"_s, subject}}, html));
    if (!file.commit())
        throw lorvo::Error(lorvo::err::PathFileAccess, path);
    if (savedAt.isValid()) {
        QFile written(path);
        if (!written.open(QIODevice::ReadWrite) ||
            !written.setFileTime(savedAt, QFileDevice::FileModificationTime))
            throw lorvo::Error(lorvo::err::PathFileAccess, path);
    }
    saved.append(path);
}

QTEST_GUILESS_MAIN(ArchiveSupportTest)
