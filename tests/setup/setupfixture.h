#pragma once

// What the setup's tests share: a runtime under the setup's title, the application files the test
// carries, and a page navigator that keeps track of which pages are visible.

#include "setup/modmain.h"
#include "tests/support/testsupport.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <set>

namespace lorvo::setup::test {

inline QString setupTitle()
{
    return QStringLiteral("First Run - Lorvo for Outlook");
}
inline QString invalidFolderText()
{
    return QStringLiteral(
        "The destination folder you have specified is invalid!\r\nPlease try again!");
}
QString writePermissionText();

/// The nine application files carried by the test, in their installation order (source paths).
QStringList appFileSources();
using lorvo::test::readAll; // the bytes of a file on disk
/// Writes a file, creating its folder.
void putFile(const QString& path, const QByteArray& bytes);

// Pages as a user would see them, without windows.
class PageRecorder final : public PageNavigator
{
public:
    void showPage(Page page) override;
    void hidePage(Page page) override;
    QObject* pageWindow(Page) override { return nullptr; }
    void processEvents() override { ++eventRuns; }

    std::set<Page> visible;
    QList<Page> shown; // every showPage, in order
    int eventRuns = 0;
};

} // namespace lorvo::setup::test
