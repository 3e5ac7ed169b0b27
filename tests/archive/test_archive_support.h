#pragma once

// The generators' building blocks: encoding helpers, table of contents and support files, safe
// item access, the word-processor stand-in and the body conversion. One test class; its groups of
// cases live in the test_archive_support_*.cpp files.

#include "shared/error.h"
#include "shared/outlook.h"

#include <QObject>
#include <QStringList>

// An item that answers from its fields and counts what it is asked; SaveAs and SaveAsData give
// the rich text the local Outlook gives.
class TestItem final : public outlook::Item
{
public:
    QString subject = QStringLiteral("Printer offline");
    QString html;
    bool failBody = false;
    bool failSave = false;
    bool emptySave = false; // SaveAs leaves an empty file
    QDateTime savedAt;      // the date SaveAs gives the file, when valid (a machine's clock)
    int bodyReads = 0;
    bool filesOnly = false; // SaveAsData refuses, as an item that saves files only
    QStringList saved;      // paths of SaveAs, in order; empty for SaveAsData

    QString EntryID() override { return QStringLiteral("test-item"); }
    QString MessageClass() override { return QStringLiteral("IPM.Post.HelpdeskKBArticle"); }
    QString Subject() override { return subject; }
    QString HTMLBody() override;
    QString Body() override { return {}; }
    QDateTime LastModificationTime() override { return {}; }
    outlook::AttachmentsPtr Attachments() override { return nullptr; }
    void SaveAs(const QString& path, qint32 type) override;
    QByteArray SaveAsData(qint32 type) override;
    std::optional<QVariant> FindUserProperty(const QString&) override { return std::nullopt; }
};

class ArchiveSupportTest : public QObject
{
    Q_OBJECT

private slots:
    // test_archive_support_encoding.cpp
    void windows1252KeepsEveryCharacter_data();
    void windows1252KeepsEveryCharacter();
    void windows1252AsTheCodecHasIt();
    void encodingSeesEveryPlace();
    void asciiHtmlReferencesEverythingElse();
    void htmlEscapeCoversQuotes();
    void caseBlindSearchAsQtFindsIt();
    void tagSearchAsARegularExpressionFindsIt();
    void hrefEncodeKeepsTheLinkOnTheFile_data();
    void hrefEncodeKeepsTheLinkOnTheFile();

    // test_archive_support_toc.cpp
    void tocHeadCarriesWhatThePagesNeed();
    void writeTocReplacesReadOnlyIndex();
    void writeTocFailureIsReported();
    void supportFilesWrittenFromResources_data();
    void supportFilesWrittenFromResources();
    void supportFilesReplaceExistingAndKeepImages();
    void supportFileFailureIsReported();
    void fileNameAfterLastSeparator_data();
    void fileNameAfterLastSeparator();

    // test_archive_support_pagewriter.cpp
    void pageWriterKeepsTheOrder();
    void pageWriterHoldsFewPages();
    void pageWriterWritesWhatIsQueuedWhenItGoes();

    // test_archive_support_safeitem.cpp
    void safeComponentAbsentReadsOutlookDirectly();
    void safeComponentPresentWrapsEveryCall();
    void safeComponentRefusingTheKeyIsNotUsed();
    void safeComponentOfAnotherVersionIsNotUsed();
    void safeWrapperFailuresFallBackToTheItem();
    void safeComponentPathHasOneSeparator();
    void directReadFailureGivesEmptyBody();

    // test_archive_support_rtf.cpp
    void outlookRtfGivesBackTheHtml();
    void rtfControlWordsAndCodePages();
    void unreadableRtfGivesNothing_data();
    void unreadableRtfGivesNothing();
    void filteredHtmlShapeAndPictures();

    // test_archive_support_conversion.cpp
    void filteredWordHtmlCuts_data();
    void filteredWordHtmlCuts();
    void convertBodyEndToEnd();
    void convertBodyKeepsAStandingPage();
    void convertBodyWithoutWordProcessor();
    void wordProcessorLivesForTheRun();
    void convertBodyFailures();
    void workingFolderClearsWhatARunLeft();
    void inlinePicturesLookedForCaseBlind();
};
