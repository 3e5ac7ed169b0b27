#pragma once

// A knowledge-base folder in a local Outlook, the window stand-in and both generators: what a
// test of a generation run starts from.

#include "archive/collection.h"
#include "archive/generation.h"
#include "archive/generators.h"
#include "archive/imaging_qt.h"
#include "shared/errorhandling.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace gentest {

// The window as a generator sees it: options and lists as a test sets them; the caption, the
// progress and every yield recorded; a hook that runs at each yield (where a user clicks Cancel).
class TestHost final : public lorvo::archive::GenerationHost
{
public:
    lorvo::archive::GenerationOptions opts;
    QList<lorvo::archive::ListEntry> categoryList;
    QList<lorvo::archive::ListEntry> typeList;
    std::function<void(TestHost&)> onEvents;

    bool cancel = false;
    int yields = 0;
    int progressMaximum = -1;
    QList<int> progress;
    bool progressShown = false;
    QString caption = QStringLiteral("Cancel..");

    lorvo::archive::GenerationOptions options() override { return opts; }
    QList<lorvo::archive::ListEntry> categories() override { return categoryList; }
    QList<lorvo::archive::ListEntry> types() override { return typeList; }
    void processEvents() override
    {
        ++yields;
        if (onEvents)
            onEvents(*this);
    }
    bool cancelRequested() override { return cancel; }
    void clearCancel() override { cancel = false; }
    void setGenerateCaption(const QString& text) override { caption = text; }
    void beginProgress(int maximum) override
    {
        progressMaximum = maximum;
        progressShown = true;
    }
    void setProgress(int value) override { progress.append(value); }
    void endProgress() override { progressShown = false; }
    QObject* ownerWindow() override { return nullptr; }
    void reportLeftOut(const QList<lorvo::archive::LeftOutArticle>& articles) override
    {
        leftOut += articles;
        ++leftOutReports;
    }
    QList<lorvo::archive::LeftOutArticle> leftOut;
    int leftOutReports = 0;
};

// One article of a test folder, as the store manifest takes it.
QJsonObject article(const QString& subject, const QString& category = {}, const QString& type = {},
                    const QString& html = {}, const QJsonArray& attachments = {});
// An attachment with inline data.
QJsonObject attachment(const QString& displayName, const QByteArray& data);

// Every file below a folder, relative to it, sorted.
QStringList filesBelow(const QString& folder);

// A runtime whose Outlook shows a knowledge-base folder holding the given items, a destination
// folder, the window stand-in and both generators.
class Archive
{
public:
    /// filesDir: where the items' "htmlBodyFile" and attachment "file" entries are found.
    explicit Archive(const QJsonArray& items, const QString& filesDir = {});

    lorvo::test::TestRuntime t;
    QString dest;
    TestHost host;

    /// Runs one generator; false when it ended the program.
    bool flat();
    bool outline();

    /// index.htm as text (Windows-1252), or empty when missing.
    QString index() const;
    /// A page as text, or empty when missing.
    QString page(const QString& name) const;
    QByteArray bytes(const QString& relative) const;
    bool exists(const QString& relative) const;
    /// The .htm files of the destination other than index.htm, sorted.
    QStringList pages() const;
    /// The part of index.htm after its head.
    QString lists() const;

private:
    bool run(lorvo::archive::ArticleGenerator& generator);

    lorvo::archive::ArticleCollection m_collection;
    lorvo::archive::QtImageCodec m_codec;
    std::unique_ptr<lorvo::archive::Generators> m_generators;
};

} // namespace gentest
