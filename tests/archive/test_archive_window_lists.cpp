#include "shared/outlooksession.h"
#include "test_archive_window.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace lorvo::archive::test {

namespace {

QStringList selectedTexts(const ArticleList& list)
{
    QStringList result;
    for (const ListEntry& entry : list.entries()) {
        if (entry.selected)
            result.append(entry.text);
    }
    return result;
}

TestItem item(std::optional<QString> category, std::optional<QString> type)
{
    return TestItem{std::move(category), std::move(type)};
}

} // namespace

void TestArchiveWindow::listEntriesTrimmedUniqueSorted()
{
    ArticleList list;
    QCOMPARE(list.fncAddToListBox(u"Network"_s), 0);
    QCOMPARE(list.fncAddToListBox(u"  network "_s), -1);
    QCOMPARE(list.fncAddToListBox(u"NETWORK"_s), -1);
    QCOMPARE(list.fncAddToListBox(u"   "_s), -1);
    QCOMPARE(list.fncAddToListBox(QString()), -1);
    QCOMPARE(list.fncAddToListBox(u" printers\t"_s), 1);
    QCOMPARE(list.fncAddToListBox(u"Accounts"_s), 0);
    QCOMPARE(list.texts(), (QStringList{u"Accounts"_s, u"Network"_s, u"printers"_s}));
    // Each new entry is selected where it landed, not whatever is last.
    list.setAllSelected(false);
    QCOMPARE(list.fncAddToListBox(u"Backup"_s), 1);
    QCOMPARE(selectedTexts(list), QStringList{u"Backup"_s});
    list.setSelected(99, true);
    list.setSelected(-1, true);
    QCOMPARE(selectedTexts(list), QStringList{u"Backup"_s});
}

void TestArchiveWindow::fillsBothListsIndependently()
{
    Archive a;
    a.showFolder({item(u"Network"_s, u"Outage"_s), item(u" network "_s, std::nullopt),
                  item(u"NETWORK"_s, u"Slow"_s), item(std::nullopt, u"Printing"_s),
                  item(u"Hardware"_s, u"  "_s), item(std::nullopt, std::nullopt),
                  TestItem{u"Mail"_s, u"Question"_s, u"IPM.Note"_s}});
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();
    QVERIFY(!a.t.end.ended);
    QCOMPARE(a.collection.categories.texts(),
             (QStringList{u"Hardware"_s, u"Mail"_s, u"Network"_s}));
    QCOMPARE(a.collection.types.texts(),
             (QStringList{u"Outage"_s, u"Printing"_s, u"Question"_s, u"Slow"_s}));
    QCOMPARE(selectedTexts(a.collection.categories), a.collection.categories.texts());
    QCOMPARE(selectedTexts(a.collection.types), a.collection.types.texts());
    const MainState& s = a.logic.state();
    QCOMPARE(s.check(Check::SelectAllCategory).value, 1);
    QCOMPARE(s.check(Check::SelectAllType).value, 1);
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{true, true}));
    QCOMPARE(s.group, 0);
    QVERIFY(s.generateEnabled);
    QVERIFY(a.t.dialogs.requests.isEmpty());
    // The generators see the lists as the window shows them.
    QCOMPARE(a.logic.categories().size(), 3);
    QCOMPARE(a.logic.types().at(1).text, u"Printing"_s);
}

void TestArchiveWindow::noCategoriesForcesFlatGrouping()
{
    Archive a;
    a.showFolder({item(std::nullopt, u"Outage"_s), item(u"   "_s, std::nullopt)});
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();
    const MainState& s = a.logic.state();
    QVERIFY(a.collection.categories.isEmpty());
    QCOMPARE(a.collection.types.texts(), QStringList{u"Outage"_s});
    QCOMPARE(s.group, 1);
    QVERIFY(!s.groupEnabled[0]);
    QVERIFY(!s.check(Check::Collapse).enabled);
    QVERIFY(!s.check(Check::CollapseInitially).enabled);
    QCOMPARE(s.check(Check::SelectAllCategory).value, 0);
    QCOMPARE(s.check(Check::SelectAllType).value, 1);

    // Generate then runs the flat generator.
    a.logic.cmdGenerateClick();
    QCOMPARE(a.flat.runs, 1);
    QCOMPARE(a.outline.runs, 0);
}

void TestArchiveWindow::emptyFolderDisablesGenerate()
{
    Archive a;
    a.showFolder({});
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();
    const auto messages = a.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"You don't have any KB articles to convert into webpages!"_s);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, u"LorvoArchive"_s);
    const MainState& s = a.logic.state();
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{false, false}));
    QVERIFY(!s.generateEnabled);
    QVERIFY(!a.t.end.ended);
    a.logic.cmdGenerateClick();
    QCOMPARE(a.flat.runs + a.outline.runs, 0);
}

void TestArchiveWindow::picksFolderWhenNotKnowledgeBase()
{
    Archive a;
    // Case matters in the home page's last ten characters.
    a.showFolder({item(u"Network"_s, u"Outage"_s)}, u"file:///srv/kb/olorvo.htm"_s);
    QVERIFY(!ArticleCollection::isKnowledgeBaseFolder(a.t.rt->session().goCurrentFolder));
    OutlookSession& session = a.t.rt->session();
    const auto kb =
        lorvo::test::folderAtPath(*session.goNameSpace, u"\\\\KB Store\\Knowledge Base"_s);
    kb->SetWebViewURL(u"file:///srv/kb/OLorvo.htm"_s);
    session.goOutlook->ActiveExplorer()->SetCurrentFolder(
        session.goNameSpace->GetDefaultFolder(outlook::olFolderInbox));

    // Yes, a cancelled picker (asked again), Yes, the inbox (asked again), Yes, the folder.
    a.t.dialogs.answer(Answer::Yes).answerPick(QString());
    a.t.dialogs.answer(Answer::Yes).answerPick(u"\\\\Mailbox\\Inbox"_s);
    a.t.dialogs.answer(Answer::Yes).answerPick(u"\\\\KB Store\\Knowledge Base"_s);
    a.logic.subSetCaptions();
    QVERIFY(!a.ends([&] { a.logic.subPopulateLists(); }));
    QCOMPARE(a.t.dialogs.pendingAnswers(), 0);
    const auto messages = a.t.dialogs.messages();
    QCOMPARE(messages.size(), 3);
    for (const auto& m : messages) {
        QCOMPARE(m.text,
                 u"Failed to get Knowledge Base Folder!\r\nWould you like to select it now?"_s);
        QCOMPARE(m.buttons, Buttons::YesNo);
    }
    QCOMPARE(session.goCurrentFolder->EntryID(), kb->EntryID());
    QCOMPARE(a.collection.categories.texts(), QStringList{u"Network"_s});
}

void TestArchiveWindow::declinedPickEndsProgram()
{
    Archive a;
    a.showFolder({item(u"Network"_s, u"Outage"_s)}, u"file:///srv/kb/index.htm"_s);
    a.t.dialogs.answer(Answer::No);
    a.logic.subSetCaptions();
    QVERIFY(a.ends([&] { a.logic.subPopulateLists(); }));
    QVERIFY(a.t.end.ended);
    QCOMPARE(a.t.dialogs.messages().size(), 1);
    QVERIFY(a.collection.categories.isEmpty());
}

void TestArchiveWindow::unreadableFolder()
{
    Archive a;
    a.showFolder({item(u"Network"_s, u"Outage"_s)});
    // The store file is damaged while Outlook has it open.
    QFile store(a.t.path(u"kb.pst"_s));
    const qint64 size = store.size();
    QVERIFY(store.open(QIODevice::ReadWrite));
    QVERIFY(store.write(QByteArray(int(size), 'x')) == size);
    store.close();
    a.t.dialogs.answer(Answer::No);
    a.logic.subSetCaptions();
    // The user is told, asked to pick another folder, and No ends the program cleanly.
    QVERIFY(a.ends([&] { a.logic.subPopulateLists(); }));
    const auto messages = a.t.dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].text, u"Unable to connect to current Outlook folder!"_s);
    QCOMPARE(messages[1].text,
             u"Failed to get Knowledge Base Folder!\r\nWould you like to select it now?"_s);
    QVERIFY(a.collection.categories.isEmpty());
}

void TestArchiveWindow::selectAllBoxes()
{
    Archive a;
    a.showFolder({item(u"Network"_s, u"Outage"_s), item(u"Hardware"_s, u"Slow"_s),
                  item(u"Mail"_s, std::nullopt)});
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();
    const int revision = a.logic.state().listsRevision;

    // The user picks single entries; clearing the box still clears them all.
    a.logic.listSelectionChanged(ListId::Category, 1, false);
    a.logic.checkClick(Check::SelectAllCategory, 0);
    QVERIFY(selectedTexts(a.collection.categories).isEmpty());
    QCOMPARE(selectedTexts(a.collection.types), (QStringList{u"Outage"_s, u"Slow"_s}));
    a.logic.listSelectionChanged(ListId::Category, 2, true);
    QCOMPARE(selectedTexts(a.collection.categories), QStringList{u"Network"_s});
    a.logic.checkClick(Check::SelectAllCategory, 1);
    QCOMPARE(selectedTexts(a.collection.categories).size(), 3);
    a.logic.checkClick(Check::SelectAllType, 0);
    QVERIFY(selectedTexts(a.collection.types).isEmpty());
    // A grey box selects too.
    a.logic.checkClick(Check::SelectAllType, 2);
    QCOMPARE(selectedTexts(a.collection.types).size(), 2);
    QVERIFY(a.logic.state().listsRevision > revision);

    // Outline generation sees the selection.
    a.logic.checkClick(Check::SelectAllCategory, 0);
    a.logic.listSelectionChanged(ListId::Category, 0, true);
    QList<ListEntry> seen;
    a.outline.during = [&](GenerationHost& host) { seen = host.categories(); };
    a.logic.cmdGenerateClick();
    QCOMPARE(seen.size(), 3);
    QVERIFY(seen[0].selected);
    QVERIFY(!seen[1].selected && !seen[2].selected);
}

void TestArchiveWindow::manyItems()
{
    Archive a;
    QList<TestItem> items;
    for (int i = 0; i < 12000; ++i) {
        items.append(item(u"Category "_s + QString::number(i % 300),
                          i % 7 == 0 ? std::optional<QString>() : u"Type "_s + QString::number(i)));
        if (i % 1000 == 0)
            items.append(TestItem{std::nullopt, std::nullopt, u"IPM.Note"_s});
    }
    a.showFolder(items);
    a.logic.subSetCaptions();
    a.logic.subPopulateLists();
    QCOMPARE(a.collection.categories.count(), 300);
    QCOMPARE(a.collection.types.count(), 12000 - 12000 / 7 - 1);
    QCOMPARE(a.collection.categories.texts().first(), u"Category 0"_s);
    QCOMPARE(selectedTexts(a.collection.types).size(), a.collection.types.count());
}

} // namespace lorvo::archive::test
