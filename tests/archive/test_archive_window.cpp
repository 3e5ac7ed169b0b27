#include "test_archive_window.h"

#include "archive/imaging.h"
#include "localoutlook/store.h"
#include "shared/outlooksession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSettings>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace lorvo::archive::test {

namespace {

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, u"Tervane"_s, u"Outlook Lorvo"_s);
}

} // namespace

SettingsBackend::Status RecordingSettings::read(const QString& application, const QString& section,
                                                const QString& key, std::optional<QVariant>& value)
{
    return real.read(application, section, key, value);
}

SettingsBackend::Status RecordingSettings::write(const QString& application, const QString& section,
                                                 const QString& key, const QString& value)
{
    written.append(key + u'=' + value);
    return real.write(application, section, key, value);
}

void RecordingGenerator::generate(GenerationHost& host)
{
    ++runs;
    host.clearCancel();
    options = host.options();
    if (during)
        during(host);
    host.setGenerateCaption(u"Generate"_s);
}

Archive::Archive(ImageCodec* imaging) : codec(imaging ? *imaging : qtCodec) {}

void Archive::storeSetting(const QString& key, const QVariant& value)
{
    QSettings s = userSettings();
    s.setValue(u"Settings/"_s + key, value);
    s.sync();
}

QVariant Archive::storedSetting(const QString& key)
{
    return userSettings().value(u"Settings/"_s + key);
}

void Archive::showFolder(const QList<TestItem>& items, const QString& homePage)
{
    const QString storePath = t.path(u"kb.pst"_s);
    localoutlook::Store::build(storePath, u"KB Store"_s, [&](localoutlook::Store& s) {
        localoutlook::FolderRecord folder;
        folder.name = u"Knowledge Base"_s;
        folder.defaultItemType = outlook::olPostItem;
        folder.webViewUrl = homePage;
        const qint64 id = s.addFolder(s.topFolderId(), folder);
        int n = 0;
        for (const TestItem& item : items) {
            localoutlook::ItemRecord record;
            record.messageClass = item.messageClass;
            record.subject = u"Article "_s + QString::number(++n);
            const qint64 itemId = s.addItem(id, record);
            if (item.category)
                s.setField(itemId, u"Problem Category"_s, *item.category);
            if (item.type)
                s.setField(itemId, u"Problem Type"_s, *item.type);
        }
    });
    OutlookSession& session = t.rt->session();
    session.subConnectOutlook(outlook::olFolderInbox);
    session.goNameSpace->AddStore(storePath);
    const auto folder =
        lorvo::test::folderAtPath(*session.goNameSpace, u"\\\\KB Store\\Knowledge Base"_s);
    QVERIFY(folder);
    session.goOutlook->ActiveExplorer()->SetCurrentFolder(folder);
}

bool Archive::ends(const std::function<void()>& step)
{
    try {
        step();
        return false;
    } catch (const ProgramEnded&) {
        return true;
    }
}

QStringList defaultWrites()
{
    return {u"DestinationFolder="_s, u"iNamingScheme=0"_s,
            u"iNumbering=1000"_s,    u"GenerateTOC=1"_s,
            u"OverwriteFiles=1"_s,   u"RunTOC=1"_s,
            u"optGroup=0"_s,         u"chkAttachments=1"_s,
            u"chkCollapse=1"_s,      u"chkCollapseInitially=1"_s,
            u"chkSearch=0"_s,        u"SitemapBase="_s};
}

void TestArchiveWindow::settingsStoreErrors()
{
    Archive a;
    const auto raises = [](const std::function<void()>& f, qint32 number, const QString& text) {
        try {
            f();
        } catch (const Error& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.description(), text);
            return;
        }
        QFAIL("no error raised");
    };
    raises([&] { a.settings.subSaveSetting(u" "_s, u"k"_s, u"v"_s); }, qint32(0x800403E9),
           u"Section may not be empty"_s);
    raises([&] { a.settings.fncGetSetting(u"Settings"_s, u""_s, u"d"_s); }, qint32(0x800403EA),
           u"Key may not be empty"_s);
    Settings nameless(a.store, u"  "_s);
    raises([&] { nameless.fncGetSetting(u"Settings"_s, u"k"_s, u"d"_s); }, qint32(0x800403E8),
           u"AppName may not be empty"_s);

    // Missing section and missing value give the default; an empty value is a value.
    QCOMPARE(a.settings.fncGetSetting(u"Settings"_s, u"RunTOC"_s, u"1"_s), u"1"_s);
    a.settings.subSaveSetting(u"Settings"_s, u"iNumbering"_s, QString());
    QCOMPARE(a.settings.fncGetSetting(u"Settings"_s, u"iNumbering"_s, u"1000"_s), QString());
    QCOMPARE(a.settings.fncGetSetting(u"Settings"_s, u"RunTOC"_s, u"1"_s), u"1"_s);

    a.storeSetting(u"RunTOC"_s, QStringList{u"a"_s, u"b"_s});
    raises([&] { a.settings.fncGetSetting(u"Settings"_s, u"RunTOC"_s, u"1"_s); },
           qint32(0x80040000 + 2000 + 7), u"Registry data not a string"_s);
}

void TestArchiveWindow::firstStartDefaults()
{
    Archive a;
    a.logic.subSetCaptions();
    const MainState& s = a.logic.state();
    QCOMPARE(s.caption, u"Lorvo for Outlook (1.2.3)"_s);
    QCOMPARE(s.destination, QString());
    QCOMPARE(s.naming, 0);
    QCOMPARE(s.numbering, u"1000"_s);
    QCOMPARE(s.group, 0);
    for (Check c : {Check::ExtractIndexPage, Check::Overwrite, Check::Run, Check::Attachments,
                    Check::Collapse, Check::CollapseInitially}) {
        QCOMPARE(s.check(c).value, 1);
        QVERIFY(s.check(c).enabled);
    }
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{true, true}));
    // The search page and the sitemap are off unless chosen.
    QCOMPARE(s.check(Check::Search).value, 0);
    QCOMPARE(s.sitemapBase, QString());
    QVERIFY(a.logic.settingsLoaded());
    QVERIFY(a.t.dialogs.requests.isEmpty());
}

void TestArchiveWindow::restoresStoredValues()
{
    Archive a;
    const QString existing = a.t.path(u"web"_s);
    QDir().mkpath(existing);
    a.storeSetting(u"DestinationFolder"_s, existing);
    a.storeSetting(u"iNamingScheme"_s, u"1"_s);
    a.storeSetting(u"iNumbering"_s, u"42"_s);
    a.storeSetting(u"GenerateTOC"_s, u"0"_s);
    a.storeSetting(u"OverwriteFiles"_s, u"0"_s);
    a.storeSetting(u"RunTOC"_s, u"2"_s);
    a.storeSetting(u"chkCollapse"_s, u"0"_s);
    a.storeSetting(u"chkCollapseInitially"_s, u"0"_s);
    a.logic.subSetCaptions();
    const MainState& s = a.logic.state();
    QCOMPARE(s.destination, existing);
    QCOMPARE(s.naming, 1);
    QCOMPARE(s.numbering, u"42"_s);
    QCOMPARE(s.check(Check::ExtractIndexPage).value, 0);
    QCOMPARE(s.check(Check::Overwrite).value, 0);
    QCOMPARE(s.check(Check::Run).value, 2);
    // The table-of-contents box's click handler ran: no grouping without a table of contents.
    QCOMPARE(s.groupEnabled, (std::array<bool, 2>{false, false}));
    QCOMPARE(s.check(Check::Collapse).value, 0);
    QVERIFY(!s.check(Check::CollapseInitially).enabled);

    // A destination that is gone restores as an empty box.
    Archive b;
    b.storeSetting(u"DestinationFolder"_s, b.t.path(u"gone"_s));
    b.logic.subSetCaptions();
    QCOMPARE(b.logic.state().destination, QString());
}

void TestArchiveWindow::groupNoneRestoresOutlineDisabled()
{
    Archive a;
    a.storeSetting(u"optGroup"_s, u"1"_s);
    a.logic.subSetCaptions();
    const MainState& s = a.logic.state();
    QCOMPARE(s.group, 1);
    QVERIFY(!s.check(Check::Collapse).enabled);
    // The collapse box's own rule runs after the grouping and enables its partner again.
    QVERIFY(s.check(Check::CollapseInitially).enabled);

    Archive b;
    b.storeSetting(u"optGroup"_s, u"1"_s);
    b.storeSetting(u"chkCollapse"_s, u"0"_s);
    b.logic.subSetCaptions();
    QVERIFY(!b.logic.state().check(Check::Collapse).enabled);
    QVERIFY(!b.logic.state().check(Check::CollapseInitially).enabled);
}

void TestArchiveWindow::storedTextEndsAtItsTerminatingNull()
{
    // Values written with their terminating null, as some tools store registry strings.
    Archive a;
    const QString existing = a.t.path(u"web"_s);
    QDir().mkpath(existing);
    a.storeSetting(u"DestinationFolder"_s, QString(existing + QChar(0)));
    a.storeSetting(u"iNumbering"_s, QString(u"42"_s + QChar(0)));
    QCOMPARE(a.settings.fncGetSetting(u"Settings"_s, u"iNumbering"_s, u"1000"_s), u"42"_s);

    a.logic.subSetCaptions();
    QCOMPARE(a.logic.state().destination, existing);
    QCOMPARE(a.logic.state().numbering, u"42"_s);
}

void TestArchiveWindow::badStoredValuesFallBackToDefaults()
{
    Archive a;
    a.storeSetting(u"optGroup"_s, u"one"_s);
    a.storeSetting(u"iNamingScheme"_s, u"7"_s);
    a.storeSetting(u"iNumbering"_s, u"12ab"_s);
    a.storeSetting(u"GenerateTOC"_s, QStringList{u"a"_s, u"b"_s});
    a.storeSetting(u"RunTOC"_s, u"1.5"_s);
    a.storeSetting(u"chkAttachments"_s, QByteArray("\x01\x02", 2));
    a.storeSetting(u"OverwriteFiles"_s, u"0"_s); // a good value among the bad ones
    QVERIFY(!a.ends([&] { a.logic.subSetCaptions(); }));
    QVERIFY(a.t.dialogs.requests.isEmpty());
    const MainState& s = a.logic.state();
    QCOMPARE(s.group, 0);
    QCOMPARE(s.naming, 0);
    QCOMPARE(s.numbering, u"1000"_s);
    QCOMPARE(s.check(Check::ExtractIndexPage).value, 1);
    QCOMPARE(s.check(Check::Run).value, 1);
    QCOMPARE(s.check(Check::Attachments).value, 1);
    QCOMPARE(s.check(Check::Overwrite).value, 0);

    // The next save replaces the bad values and keeps the good one.
    a.logic.subSaveCaptions();
    QCOMPARE(a.storedSetting(u"GenerateTOC"_s), QVariant(u"1"_s));
    QCOMPARE(a.storedSetting(u"optGroup"_s), QVariant(u"0"_s));
    QCOMPARE(a.storedSetting(u"OverwriteFiles"_s), QVariant(u"0"_s));

    // A file that is not a settings file at all.
    Archive b;
    const QString file = userSettings().fileName();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile garbage(file);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("\x00\xff\xfe[[[Settings\n=\n\x01RunTOC", 24));
    garbage.close();
    QVERIFY(!b.ends([&] { b.logic.subSetCaptions(); }));
    QCOMPARE(b.logic.state().check(Check::Run).value, 1);
}

void TestArchiveWindow::unreadableSettingsFile()
{
    Archive a;
    // A folder where the settings file should be: it can be neither read nor replaced.
    const QString file = userSettings().fileName();
    QVERIFY(QDir().mkpath(file));
    QVERIFY(!a.ends([&] { a.logic.subSetCaptions(); }));
    QCOMPARE(a.logic.state().numbering, u"1000"_s);
    QVERIFY(a.t.dialogs.requests.isEmpty());

    try {
        a.settings.subSaveSetting(u"Settings"_s, u"RunTOC"_s, u"1"_s);
        QFAIL("an unwritable store took the value");
    } catch (const Error& e) {
        QCOMPARE(e.number(), qint32(0x80040000 + 2000 + 5));
        QCOMPARE(e.description(), u"Could not open/create registry section"_s);
    }
    // Storing on exit reports the failure rather than pretending it worked.
    QVERIFY(a.ends([&] { a.logic.subSaveCaptions(); }));
    QVERIFY(!a.t.dialogs.messages().isEmpty());
    QVERIFY(QFileInfo(file).isDir());
}

void TestArchiveWindow::savesValuesInOrder()
{
    Archive a;
    a.logic.subSetCaptions();
    a.logic.destinationEdited(u"/srv/web"_s);
    a.logic.numberingEdited(u"77"_s);
    a.logic.optNamingClick(1);
    a.logic.checkClick(Check::Run, 0);
    a.logic.optGroupClick(1);
    a.logic.checkClick(Check::Search, 1);
    a.logic.sitemapBaseEdited(u"https://kb.example.com/"_s);
    a.logic.subSaveCaptions();
    QCOMPARE(a.store.written,
             (QStringList{u"DestinationFolder=/srv/web"_s, u"iNamingScheme=1"_s, u"iNumbering=77"_s,
                          u"GenerateTOC=1"_s, u"OverwriteFiles=1"_s, u"RunTOC=0"_s, u"optGroup=1"_s,
                          u"chkAttachments=1"_s, u"chkCollapse=1"_s, u"chkCollapseInitially=1"_s,
                          u"chkSearch=1"_s, u"SitemapBase=https://kb.example.com/"_s}));
    QMap<QString, QVariant> saved;
    for (const char* name : kSettingNames)
        saved.insert(QString::fromLatin1(name), a.storedSetting(QString::fromLatin1(name)));
    QCOMPARE(saved.value(u"iNumbering"_s), QVariant(u"77"_s));

    // The values come back in the next run (the destination only where it exists).
    Archive b;
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        b.storeSetting(it.key(), it.value());
    b.logic.subSetCaptions();
    const MainState& s = b.logic.state();
    QCOMPARE(s.destination, QString());
    QCOMPARE(s.naming, 1);
    QCOMPARE(s.numbering, u"77"_s);
    QCOMPARE(s.check(Check::Run).value, 0);
    QCOMPARE(s.group, 1);
    QCOMPARE(s.check(Check::Search).value, 1);
    QCOMPARE(s.sitemapBase, u"https://kb.example.com/"_s);
    QCOMPARE(b.logic.options().search, 1);
    QCOMPARE(b.logic.options().sitemapBase, u"https://kb.example.com/"_s);
}

void TestArchiveWindow::missingImagingEndsWithoutStoring()
{
    MissingImaging missing;
    Archive a(&missing);
    a.storeSetting(u"RunTOC"_s, u"0"_s);
    a.t.dialogs.answer(Answer::Yes);
    QVERIFY(a.ends([&] { a.logic.formLoad(); }));
    const auto messages = a.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"You don't seem to have GDI+ installed! It is required for the Archive tool to "
             u"work.\r\n\r\nDo you want to download it Now?"_s);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].title, u"LorvoArchive"_s);
    QCOMPARE(a.t.shell.opened, QStringList{imagingDownloadAddress()});
    QVERIFY(a.t.end.ended);

    // The window closing afterwards stores nothing over the user's settings.
    a.logic.formUnload();
    QVERIFY(a.store.written.isEmpty());
    QCOMPARE(a.storedSetting(u"RunTOC"_s), QVariant(u"0"_s));

    // No: nothing opened, the program still ends.
    Archive b(&missing);
    b.t.dialogs.answer(Answer::No);
    QVERIFY(b.ends([&] { b.logic.formLoad(); }));
    QVERIFY(b.t.shell.opened.isEmpty());
    QVERIFY(!b.logic.settingsLoaded());
}

void TestArchiveWindow::bitmapBecomesJpeg()
{
    Archive a;
    QImage picture(37, 23, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (const QString& name : {u"1_1.bmp"_s, u"1_2.BMP"_s}) {
        const QString source = a.t.path(name);
        QVERIFY(picture.save(source, "BMP"));
        const QString target = a.t.path(QFileInfo(name).completeBaseName() + u".jpg"_s);
        QVERIFY(subConvertToJPEG(a.codec, source, target));
        QImageReader reader(target);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage back = reader.read();
        QCOMPARE(back.size(), picture.size());
    }
}

void TestArchiveWindow::encoderLookup()
{
    QtImageCodec codec;
    QVERIFY(codec.startup());
    QByteArray encoder = "untouched";
    const int position = fncGetEncoderClsid(codec, u"IMAGE/JPEG"_s, encoder);
    QCOMPARE(encoder, QByteArray("image/jpeg"));
    QCOMPARE(position, QImageWriter::supportedMimeTypes().indexOf("image/jpeg") + 1);
    QVERIFY(position >= 1);

    encoder = "untouched";
    QCOMPARE(fncGetEncoderClsid(codec, u"image/x-no-such-type"_s, encoder), -1);
    QCOMPARE(encoder, QByteArray("untouched"));
    MissingImaging none;
    QCOMPARE(fncGetEncoderClsid(none, u"image/jpeg"_s, encoder), -1);
}

void TestArchiveWindow::conversionFailureLeavesNoFile()
{
    Archive a;
    const QString source = a.t.path(u"broken.bmp"_s);
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("BM this is no bitmap");
    f.close();
    const QString target = a.t.path(u"broken.jpg"_s);
    QVERIFY(!subConvertToJPEG(a.codec, source, target));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!subConvertToJPEG(a.codec, a.t.path(u"missing.bmp"_s), target));
    QVERIFY(!QFile::exists(target));
}

} // namespace lorvo::archive::test

QTEST_MAIN(lorvo::archive::test::TestArchiveWindow)
