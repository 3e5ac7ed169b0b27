#pragma once

#include "tests/archive/test_generators_fixture.h"

#include <QObject>

class GeneratorsTest : public QObject
{
    Q_OBJECT

private slots:
    // The page and its parts.
    void strippedNames_data();
    void strippedNames();
    void nothingLeftGivesNullName();
    void pageNames();
    void longPathsAreCut();
    void headerAndLinks();
    void articleTextIsEscaped();
    void pageSteps_data();
    void pageSteps();
    void attachmentsAndBackLinkAppended();
    void writeHonoursOverwrite();
    void pageIsWindows1252WithReferences();
    void writeFailureGoesToTheCaller();
    void declaredCharsetMatchesBytes();

    // The table of contents' lines.
    void tocLines();

    // Flat generation.
    void flatWritesEveryArticle();
    void flatCaseDuplicateSubjects();
    void flatNamesCleanToSameFile();
    void flatNullNames();
    void flatNumberedNames();
    void flatOverwriteOff();
    void flatCancel();
    void flatEmptyFolder();
    void flatNoArticles();
    void flatEscapesAndEncodes();
    void flatRefusesBadInput();
    void flatBackLinkAndOpening();
    void flatLargeNumbers();
    void flatTakesTheArticleClassInAnyLetterCase();

    // Attachments and conversion.
    void attachmentsSaved();
    void failedBitmapConversionKeepsBitmap();
    void hostileAttachmentExtension();
    void keptPagesSurviveConversion();
    void inlinePicturesWrittenBesideThePage();
    void inlinePicturesShowInTheBrowser();

    // Outline generation.
    void outlineMarkupCollapsible();
    void outlineMarkupPlain();
    void outlineNumberingAcrossPasses();
    void outlineOverwriteOffKeepsHeaders();
    void outlineDuplicatesAndUnmatched();
    void outlineCancelBetweenPasses();
    void outlineEmptyFolder();
    void outlineEmptyCategoryList();
    void outlineEscapesText();
    void outlineNumberLimitAtItsBoundary();

    // The published site: unchanged files, search page, sitemap.
    void siteUnchangedWithOptionsOff();
    void siteUnchangedInEveryMode();
    void bodyText();
    void searchIndexIsInert();
    void sitemapBases_data();
    void sitemapBases();
    void sitemapIsWellFormed();
    void siteWithSearchAndSitemap();
    void sitemapBaseRefused();
    void siteDates();

    // Robustness: hostile input, changes under a run, interrupted and concurrent runs.
    void longNamesFitTheFileSystem();
    void unwritablePageIsLeftOut();
    void leftOutNamedInTheirOrder();
    void outlineMatchesTrimmedFields();
    void keptPagesKeepTheirAttachments();
    void itemDeletedDuringTheRun();
    void existingPageFoundWithoutRegardToCase();
    void pagesOfTheRunCountOnceWritten();
    void destinationTooLongIsRefused();
    void dotNamesAndControlCharacters();
    void nullNamesStayWithTheirArticle();
    void workingFilesNeverTakeAPageName();
    void oneRunAtATimePerDestination();
    void exitDuringARunEndsIt();
};
