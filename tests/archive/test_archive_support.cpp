#include "test_archive_support.h"

#include "shared/rtf/writer.h"

#include <QSaveFile>
#include <QTest>

QString TestItem::HTMLBody()
{
    ++bodyReads;
    if (failBody)
        throw lorvo::Error(lorvo::err::PermissionDenied, QStringLiteral("Body refused"));
    return html;
}

void TestItem::SaveAs(const QString& path, qint32 type)
{
    if (failSave || type != outlook::olRTF)
        throw lorvo::Error(lorvo::err::PathFileAccess, QStringLiteral("Save refused"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw lorvo::Error(lorvo::err::PathNotFound, path);
    file.write(lorvo::rtf::itemToRtf({{QStringLiteral("From:"), QStringLiteral("Helpdesk")},
                                      {QStringLiteral("Subject:"), subject}},
                                     html));
    if (!file.commit())
        throw lorvo::Error(lorvo::err::PathFileAccess, path);
    saved.append(path);
}

QTEST_GUILESS_MAIN(ArchiveSupportTest)
