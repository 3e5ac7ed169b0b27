#include "archive/gui/frmmain.h"
#include "test_archive_window.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace lorvo::archive::test {

namespace {

template <class W> W* control(QWidget& window, const QString& name)
{
    W* w = window.findChild<W*>(name);
    if (!w)
        qWarning("missing control %s", qPrintable(name));
    return w;
}

QRadioButton* option(QWidget& window, const QString& name, int index)
{
    const auto options = window.findChildren<QRadioButton*>(name);
    for (QRadioButton* o : options) {
        if (o->property("index").toInt() == index)
            return o;
    }
    return nullptr;
}

} // namespace

void TestArchiveWindow::enablingRules()
{
    Archive a;
    a.logic.subSetCaptions();
    const MainState& s = a.logic.state();
    // Rule 1: the grouping follows the table-of-contents box; the collapse boxes do not.
    a.logic.checkClick(Check::ExtractIndexPage, 0);
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{false, false}));
    QVERIFY(s.check(Check::Collapse).enabled);
    a.logic.checkClick(Check::ExtractIndexPage, 1);
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{true, true}));
    // Rule 2.
    a.logic.optGroupClick(1);
    QVERIFY(!s.check(Check::Collapse).enabled);
    QVERIFY(!s.check(Check::CollapseInitially).enabled);
    a.logic.checkClick(Check::Collapse, 0); // a disabled box keeps its value for the user
    a.logic.optGroupClick(0);
    QVERIFY(s.check(Check::Collapse).enabled);
    QVERIFY(!s.check(Check::CollapseInitially).enabled); // left as it was
    // Rule 3.
    a.logic.checkClick(Check::Collapse, 1);
    QVERIFY(s.check(Check::CollapseInitially).enabled);
    a.logic.checkClick(Check::Collapse, 0);
    QVERIFY(!s.check(Check::CollapseInitially).enabled);
}

void TestArchiveWindow::generateCancelToggle()
{
    Archive a;
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();

    QString captionDuringRun;
    QString captionAfterCancel;
    bool cancelSeen = false;
    a.outline.during = [&](GenerationHost& host) {
        captionDuringRun = a.logic.state().generateCaption;
        QVERIFY(!host.cancelRequested());
        // The user clicks "Cancel.." while the generator yields...
        a.logic.cmdGenerateClick();
        captionAfterCancel = a.logic.state().generateCaption;
        cancelSeen = host.cancelRequested();
        // ...and "Generate" at once, before the run has stopped: no second run starts inside.
        a.logic.cmdGenerateClick();
        QVERIFY(a.logic.state().stopping);
    };
    a.logic.cmdGenerateClick();
    QCOMPARE(captionDuringRun, u"Cancel.."_s);
    QCOMPARE(captionAfterCancel, u"Generate"_s);
    QVERIFY(cancelSeen);
    QCOMPARE(a.outline.runs, 1);
    QCOMPARE(a.flat.runs, 0);
    QVERIFY(!a.logic.running());
    QVERIFY(!a.logic.state().stopping);
    QCOMPARE(a.logic.state().generateCaption, u"Generate"_s);

    // After the run a new one starts, with the options as the controls show them.
    a.outline.during = nullptr;
    a.logic.optNamingClick(1);
    a.logic.numberingEdited(u"5"_s);
    a.logic.optGroupClick(1);
    a.logic.cmdGenerateClick();
    QCOMPARE(a.flat.runs, 1);
    QCOMPARE(a.flat.options.namingScheme, 1);
    QCOMPARE(a.flat.options.numbering, u"5"_s);
    QCOMPARE(a.flat.options.groupIndex, 1);
}

void TestArchiveWindow::exitCancelsAndSaves()
{
    Archive a;
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    a.logic.formLoad();
    a.store.written.clear();
    bool cancelled = false;
    a.outline.during = [&](GenerationHost& host) {
        QVERIFY(a.ends([&] { a.logic.cmdExitClick(); }));
        cancelled = host.cancelRequested();
    };
    a.logic.cmdGenerateClick();
    QVERIFY(cancelled);
    QVERIFY(a.t.end.ended);
    QCOMPARE(a.store.written, defaultWrites());
    // The window closing as the program ends stores nothing twice.
    a.logic.formUnload();
    QCOMPARE(a.store.written.size(), defaultWrites().size());
}

void TestArchiveWindow::leftOutArticlesNamedInOneMessage()
{
    Archive a;
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    a.logic.formLoad();
    QList<LeftOutArticle> leftOut;
    for (int i = 1; i <= 20; ++i)
        leftOut.append(
            {u"Article %1"_s.arg(i), u"Permission denied: /site/Article %1.htm"_s.arg(i)});
    a.outline.during = [&](GenerationHost& host) { host.reportLeftOut(leftOut); };
    a.logic.cmdGenerateClick();
    QCOMPARE(a.t.dialogs.messages().size(), 1);
    const lorvo::test::Recorded m = a.t.dialogs.messages().first();
    QCOMPARE(m.title, u"LorvoArchive"_s);
    QCOMPARE(m.icon, Icon::Exclamation);
    QVERIFY2(m.text.startsWith(u"These articles were left out, because their pages could not be "
                               "written:\r\n\r\n- Article 1 (Permission denied: /site/Article "
                               "1.htm)\r\n"_s),
             qPrintable(m.text));
    QVERIFY(m.text.contains(u"- Article 15 ("_s));
    QVERIFY(!m.text.contains(u"Article 16"_s));
    QVERIFY(m.text.endsWith(u"\r\n... and 5 more."_s));
    QVERIFY(!a.t.end.ended);
}

void TestArchiveWindow::browseDestination()
{
    Archive a;
    a.logic.subSetCaptions();
    a.logic.destinationEdited(u"/srv/old"_s);
    const QString chosen = a.t.path(u"site"_s);
    QDir().mkpath(chosen);
    a.t.dialogs.answerBrowse(QString()).answerBrowse(u"   "_s).answerBrowse(chosen);
    a.logic.cmdBrowseDestinationClick();
    QCOMPARE(a.logic.state().destination, u"/srv/old"_s);
    a.logic.cmdBrowseDestinationClick();
    QCOMPARE(a.logic.state().destination, u"/srv/old"_s);
    a.logic.cmdBrowseDestinationClick();
    QCOMPARE(a.logic.state().destination, chosen);
    const auto& browse = a.t.dialogs.requests.first();
    QCOMPARE(browse.kind, lorvo::test::Recorded::Browse);
    QCOMPARE(browse.text,
             u"Please select a valid file folder to place all the generated webpages."_s);
    QCOMPARE(browse.defaultText, u"/srv/old"_s);
}

void TestArchiveWindow::webLinkOpensVendorPage()
{
    Archive a;
    FrmMain window(a.logic);
    auto* link = control<QLabel>(window, u"lblWebLink"_s);
    QVERIFY(link);
    QVERIFY(link->text().contains(vendorWebAddress()));
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(a.t.shell.opened, QStringList{vendorWebAddress()});
}

void TestArchiveWindow::windowControlsAndDesignState()
{
    Archive a;
    FrmMain window(a.logic);
    QCOMPARE(window.windowTitle(), u"Archive"_s);
    const QList<std::pair<QString, QString>> buttons{{u"cmdBrowseDestination"_s, u"..."_s},
                                                     {u"cmdGenerate"_s, u"Generate"_s},
                                                     {u"cmdExit"_s, u"Exit"_s}};
    for (const auto& [name, text] : buttons)
        QCOMPARE(control<QPushButton>(window, name)->text(), text);
    const QList<std::pair<QString, QString>> checks{
        {u"chkExtractIndexPage"_s, u"Generate Table of Content (index.htm)"_s},
        {u"chkCollapse"_s, u"Collapsible Outline"_s},
        {u"chkCollapseInitially"_s, u"Collapse Initially"_s},
        {u"chkAttachments"_s, u"Include Attachments"_s},
        {u"chkRun"_s, u"Run index.htm when done"_s},
        {u"chkOverwrite"_s, u"Overwrite files"_s},
        {u"chkSelectAllCategory"_s, QString()},
        {u"chkSelectAllType"_s, QString()}};
    for (const auto& [name, text] : checks) {
        auto* box = control<QCheckBox>(window, name);
        QVERIFY(box);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->isChecked(), name == u"chkExtractIndexPage"_s);
    }
    const QList<std::pair<QString, QString>> labels{
        {u"Label1"_s, u"This tool archives KB items from the public folder into webpages ready for "
                      u"publication."_s},
        {u"Label2"_s, u"Select the folder to place the web pages."_s},
        {u"Label3"_s, u"Group generated web KB Articles by"_s},
        {u"Label4"_s, u"Problem Category"_s},
        {u"Label5"_s, u"Problem Type"_s}};
    for (const auto& [name, text] : labels)
        QCOMPARE(control<QLabel>(window, name)->text(), text);
    QCOMPARE(control<QGroupBox>(window, u"frameSelect"_s)->title(),
             u"Select Problem Categories && Types"_s);
    QCOMPARE(control<QGroupBox>(window, u"fNaming"_s)->title(), u"Naming scheme of webpage"_s);
    QCOMPARE(control<QGroupBox>(window, u"frameOtherSettings"_s)->title(), u"Other Settings"_s);
    QVERIFY(control<QGroupBox>(window, u"fTOC"_s));
    QCOMPARE(option(window, u"optGroup"_s, 0)->text(), u"Problem Category && Type"_s);
    QCOMPARE(option(window, u"optGroup"_s, 1)->text(), u"None"_s);
    QCOMPARE(option(window, u"optNaming"_s, 0)->text(), u"Use subject"_s);
    QCOMPARE(option(window, u"optNaming"_s, 1)->text(), u"Use incremental numbering"_s);
    QVERIFY(option(window, u"optGroup"_s, 0)->isChecked());
    QVERIFY(option(window, u"optNaming"_s, 0)->isChecked());
    QCOMPARE(control<QLineEdit>(window, u"txtNumbering"_s)->text(), u"1000"_s);
    QCOMPARE(control<QLineEdit>(window, u"txtDestination"_s)->text(), QString());
    QVERIFY(control<QListWidget>(window, u"lstProblemCategory"_s));
    QCOMPARE(control<QListWidget>(window, u"lstProblemType"_s)->selectionMode(),
             QAbstractItemView::MultiSelection);
    QVERIFY(control<QProgressBar>(window, u"pb"_s)->isHidden());
}

void TestArchiveWindow::windowShowsLoadedState()
{
    Archive a;
    a.storeSetting(u"optGroup"_s, u"1"_s);
    a.storeSetting(u"iNumbering"_s, u"250"_s);
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}, TestItem{u"hardware"_s, u"Slow"_s}});
    FrmMain window(a.logic);
    QVERIFY(window.load());
    QCOMPARE(window.windowTitle(), u"Lorvo for Outlook (1.2.3)"_s);
    QCOMPARE(control<QLineEdit>(window, u"txtNumbering"_s)->text(), u"250"_s);
    QVERIFY(option(window, u"optGroup"_s, 1)->isChecked());
    QVERIFY(!control<QCheckBox>(window, u"chkCollapse"_s)->isEnabled());
    auto* categories = control<QListWidget>(window, u"lstProblemCategory"_s);
    QCOMPARE(categories->count(), 2);
    QCOMPARE(categories->item(0)->text(), u"hardware"_s);
    QCOMPARE(categories->selectedItems().size(), 2);
    QVERIFY(control<QCheckBox>(window, u"chkSelectAllCategory"_s)->isChecked());

    // Clicking the select-all box clears the list; the user's row click reaches the logic.
    control<QCheckBox>(window, u"chkSelectAllCategory"_s)->click();
    QCOMPARE(categories->selectedItems().size(), 0);
    categories->item(1)->setSelected(true);
    QVERIFY(a.collection.categories.entries()[1].selected);
    QVERIFY(!a.collection.categories.entries()[0].selected);
    control<QCheckBox>(window, u"chkSelectAllCategory"_s)->click();
    QCOMPARE(categories->selectedItems().size(), 2);

    // Typing in the destination reaches the logic.
    QTest::keyClicks(control<QLineEdit>(window, u"txtDestination"_s), u"/srv/w"_s);
    QCOMPARE(a.logic.state().destination, u"/srv/w"_s);
}

void TestArchiveWindow::numberBoxTakesDigitsOnly()
{
    Archive a;
    FrmMain window(a.logic);
    auto* box = control<QLineEdit>(window, u"txtNumbering"_s);
    box->clear();
    QTest::keyClicks(box, u"a 1-b2"_s);
    QCOMPARE(box->text(), u"12"_s);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), u"1"_s);
    QTest::keyClicks(box, u"234567"_s);
    QCOMPARE(box->text(), u"12345"_s);
    QCOMPARE(a.logic.state().numbering, u"12345"_s);
}

void TestArchiveWindow::cancelButtonShowsGenerateAtOnce()
{
    Archive a;
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    FrmMain window(a.logic);
    QVERIFY(window.load());
    auto* generate = control<QPushButton>(window, u"cmdGenerate"_s);
    auto* progress = control<QProgressBar>(window, u"pb"_s);
    QString duringRun;
    QString afterCancel;
    bool progressShown = false;
    a.outline.during = [&](GenerationHost& host) {
        host.beginProgress(3);
        host.setProgress(1);
        progressShown = !progress->isHidden() && progress->value() == 1;
        duringRun = generate->text();
        generate->click();
        host.processEvents();
        afterCancel = generate->text();
        // The cancelled run is still finishing: a click now starts nothing.
        generate->click();
        QVERIFY(host.cancelRequested());
        host.endProgress();
    };
    generate->click();
    QVERIFY(progressShown);
    QCOMPARE(duringRun, u"Cancel.."_s);
    QCOMPARE(afterCancel, u"Generate"_s);
    QCOMPARE(a.outline.runs, 1);
    QVERIFY(generate->isEnabled());
    QVERIFY(progress->isHidden());
}

void TestArchiveWindow::closingWindowSavesSettings()
{
    Archive a;
    a.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    {
        FrmMain window(a.logic);
        QVERIFY(window.load());
        a.store.written.clear();
        window.close();
        QVERIFY(a.t.end.ended);
        QCOMPARE(a.store.written, defaultWrites());
    }

    // Exit does the same through its own button.
    Archive b;
    b.showFolder({TestItem{u"Network"_s, u"Outage"_s}});
    FrmMain window(b.logic);
    QVERIFY(window.load());
    b.store.written.clear();
    control<QCheckBox>(window, u"chkRun"_s)->click();
    control<QCheckBox>(window, u"chkSearch"_s)->click();
    QTest::keyClicks(control<QLineEdit>(window, u"txtSitemapBase"_s), u"https://kb/"_s);
    control<QPushButton>(window, u"cmdExit"_s)->click();
    QVERIFY(b.t.end.ended);
    QStringList expected = defaultWrites();
    expected[5] = u"RunTOC=0"_s;
    expected[10] = u"chkSearch=1"_s;
    expected[11] = u"SitemapBase=https://kb/"_s;
    QCOMPARE(b.store.written, expected);
}

} // namespace lorvo::archive::test
