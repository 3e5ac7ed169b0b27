#pragma once

// The generators' building blocks: encoding helpers, table of contents and support files, safe
// item access, the word-processor stand-in and the body conversion. One test class; its groups of
// cases live in the test_archive_support_*.cpp files.

#include <QObject>

class ArchiveSupportTest : public QObject
{
    Q_OBJECT

private slots:
    // test_archive_support_encoding.cpp
    void windows1252KeepsEveryCharacter_data();
    void windows1252KeepsEveryCharacter();
    void asciiHtmlReferencesEverythingElse();
    void htmlEscapeCoversQuotes();
    void hrefEncodeKeepsTheLinkOnTheFile_data();
    void hrefEncodeKeepsTheLinkOnTheFile();
};
