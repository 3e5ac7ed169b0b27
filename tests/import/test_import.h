#pragma once

// The import of .msg and .pst files: the decompressor against the document's examples, the
// sample files as the programs see them once imported, re-imports and sync, and lorvo-store
// import as a scheduled job runs it. One test class; its groups live in test_import*.cpp.

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class ImportTest : public QObject
{
    Q_OBJECT

public:
    // A sample file of tests/data/outlook.
    static QString sample(const QString& name);
    // Runs lorvo-store with the test's profile; stdout, stderr and the exit code.
    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };
    static Run store(const QStringList& arguments);
    // The content of every store of the profile, as lorvo-store dumps it.
    static QJsonObject profileDump();

private slots:
    // test_import.cpp
    void lzfuReproducesTheWorkedExamples();
    void lzfuRefusesDamage_data();
    void lzfuRefusesDamage();
    void userFieldsComeFromPublicStringsOnly();
    void bodiesAndTextAsOutlookGivesThem_data();
    void bodiesAndTextAsOutlookGivesThem();
    void attachmentsArriveByteForByte();
    void attachedMessagesAreKeptAsMail();
    void dataFilesKeepTheirFolderTree();
    void itemsAreFoundAgainByTheirSource();
    void storesOfTheFirstSchemaStillOpen();
    void itemBodiesFollowOutlook();

    // test_import_tool.cpp
    void importingAgainChangesNothing();
    void syncRemovesExactlyWhatTheSourceLost();
    void aDumpOfAnImportedStoreBuildsTheSameStore();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void aFailureHalfWayChangesNothing();
};
