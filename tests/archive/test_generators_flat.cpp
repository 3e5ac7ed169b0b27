// Flat generation end to end: a local Outlook folder in, pages and index.htm out.

#include "tests/archive/test_generators.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace gentest;
using namespace lorvo::archive;

namespace {

const QString kClose = u"</ul><br></body></html>"_s;

QString li(const QString& href, const QString& text)
{
    return u"<li><a href='"_s + href + u"'>"_s + text + u"</a></li>"_s;
}

QJsonObject otherItem(const QString& subject)
{
    QJsonObject item = article(subject, u"Network"_s, u"How-to"_s);
    item.insert(u"messageClass"_s, u"IPM.Note"_s);
    return item;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

void GeneratorsTest::tocLines()
{
    QCOMPARE(toc::flatLine(u"Can't print #1 100%.htm"_s, u"Can't print #1 <100%>"_s),
             u"<li><a href='Can%27t%20print%20%231%20100%25.htm'>Can&#39;t print #1 "
             "&lt;100%&gt;</a></li>"_s);
    QCOMPARE(toc::listOpener(true, true), u"<ul dynamicoutline initcollapsed>"_s);
    QCOMPARE(toc::listOpener(true, false), u"<ul dynamicoutline>"_s);
    QCOMPARE(toc::listOpener(false, true), u"<ul>"_s);
    QCOMPARE(toc::categoryHeader(true, u"Net"_s),
             u"<li STYLE=\"cursor:hand\"><p class=\"LiStyle\"><b>Net</b></p><ul>"_s);
    QCOMPARE(toc::categoryHeader(false, u"Net"_s),
             u"<li><p class=\"LiStyle\"><b>Net</b></p><ul>"_s);
    QCOMPARE(toc::typeHeader(true, u"A&B"_s),
             u"<li STYLE=\"cursor:hand\"><p class=\"LiStyle\"><b>A&amp;B</b></p><ul>"_s);
    QCOMPARE(toc::typeHeader(false, u"T"_s), u"<li><p class=\"LiStyle\"><b>T</b></p><ul>"_s);
    QCOMPARE(toc::articleLine(true, u"1001.htm"_s, u"Printer"_s),
             u"<li STYLE=\"cursor:hand\"><p class=\"LiStyle\"><a href='1001.htm'>Printer</a></p>"
             "</li>"_s);
    QCOMPARE(toc::articleLine(false, u"1001.htm"_s, u"Printer"_s),
             u"<li><p class=\"LiStyle\"><a href='1001.htm'>Printer</a></p></li>"_s);
    QCOMPARE(toc::endOfType(), u"</ul></li>"_s);
    QCOMPARE(toc::endOfCategory(), u"</ul></li><br>"_s);
    QCOMPARE(toc::closing(), kClose);
}

void GeneratorsTest::flatWritesEveryArticle()
{
    Archive a({article(u"  Printer jam  "_s, u"Hardware"_s, u"Fix"_s), otherItem(u"A mail"_s),
               article(u"VPN"_s, u"Network"_s, u"How-to"_s),
               article(u"No fields"_s, QString(), QString())});
    QVERIFY(a.flat());

    QCOMPARE(a.lists(), u"<ul>"_s + li(u"Printer%20jam.htm"_s, u"Printer jam"_s) +
                            li(u"VPN.htm"_s, u"VPN"_s) + li(u"No%20fields.htm"_s, u"No fields"_s) +
                            kClose);
    QCOMPARE(a.pages(), (QStringList{u"No fields.htm"_s, u"Printer jam.htm"_s, u"VPN.htm"_s}));
    const QString page = a.page(u"Printer jam.htm"_s);
    QCOMPARE(page,
             u"<html><head><TITLE>Printer jam</TITLE><LINK REL=\"STYLESHEET\" HREF=\"style.css\" "
             "TYPE=\"text/css\" /></head><body><h1>Printer jam</h1><a href='index.htm'><b>Table "
             "of Contents (index)</b></a><hr><b>Problem Type     : </b>Fix<br><b>Problem "
             "Category : </b>Hardware<br><hr><br><p>Body of   Printer jam  </p></body></html>"
             "<hr><a href='index.htm'><b>Table of Contents (index)</b></a>"_s);
    QVERIFY(a.page(u"No fields.htm"_s)
                .contains(u"<b>Problem Type     : </b><br><b>Problem Category : </b><br>"_s));

    // Support files of the plain form; the window restored; index.htm opened.
    QVERIFY(a.exists(u"style.css"_s));
    QVERIFY(a.exists(u"Images/bulletredsmall.gif"_s));
    QVERIFY(!a.exists(u"outline.js"_s));
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
    QCOMPARE(a.host.progressMaximum, 4);
    QCOMPARE(a.host.progress, (QList<int>{1, 2, 3}));
    QCOMPARE(a.t.shell.opened, QStringList{a.dest + u"/index.htm"_s});
    QVERIFY(a.t.dialogs.requests.isEmpty());
}

void GeneratorsTest::flatCaseDuplicateSubjects()
{
    Archive a({article(u"Printer"_s, u"C"_s, u"T"_s, u"<body>first</body>"_s),
               article(u"PRINTER"_s, u"C"_s, u"T"_s, u"<body>second</body>"_s)});
    QVERIFY(a.flat());
    QCOMPARE(a.lists(), u"<ul>"_s + li(u"Printer.htm"_s, u"Printer"_s) + kClose);
    QCOMPARE(a.pages(), QStringList{u"Printer.htm"_s});
    QVERIFY(a.page(u"Printer.htm"_s).contains(u"first"_s));
}

void GeneratorsTest::flatNamesCleanToSameFile()
{
    const QJsonArray items{article(u"A?"_s, u"C"_s, u"T"_s, u"<body>first</body>"_s),
                           article(u"A"_s, u"C"_s, u"T"_s, u"<body>second</body>"_s)};
    {
        Archive a(items);
        QVERIFY(a.flat());
        QCOMPARE(a.lists(), u"<ul>"_s + li(u"A.htm"_s, u"A?"_s) + li(u"A.htm"_s, u"A"_s) + kClose);
        QVERIFY(a.page(u"A.htm"_s).contains(u"second"_s));
    }
    {
        Archive a(items);
        a.host.opts.overwrite = 0;
        QVERIFY(a.flat());
        QCOMPARE(a.lists(), u"<ul>"_s + li(u"A.htm"_s, u"A?"_s) + li(u"A.htm"_s, u"A"_s) + kClose);
        QVERIFY(a.page(u"A.htm"_s).contains(u"first"_s));
    }
}

void GeneratorsTest::flatNullNames()
{
    Archive a({article(u"???"_s, u"C"_s, u"T"_s), article(u"  "_s, u"C"_s, u"T"_s)});
    QVERIFY(a.flat());
    const QStringList pages = a.pages();
    QCOMPARE(pages.size(), 2);
    for (const QString& name : pages) {
        QVERIFY2(name.startsWith(u"NULL_"_s), qPrintable(name));
        QVERIFY(a.lists().contains(u"<a href='"_s + name + u"'>"_s));
    }
    // The empty subject is listed with an empty link text.
    QVERIFY(a.lists().contains(u"'></a></li>"_s));
}

void GeneratorsTest::flatNumberedNames()
{
    Archive a({article(u"One"_s), otherItem(u"Mail"_s), article(u"Two"_s), article(u"one"_s),
               article(u"Three"_s)});
    a.host.opts.namingScheme = 1;
    a.host.opts.numbering = u"1000"_s;
    QVERIFY(a.flat());
    // Only articles use numbers; a duplicate uses one up all the same.
    QCOMPARE(a.lists(), u"<ul>"_s + li(u"1001.htm"_s, u"One"_s) + li(u"1002.htm"_s, u"Two"_s) +
                            li(u"1004.htm"_s, u"Three"_s) + kClose);
    QCOMPARE(a.pages(), (QStringList{u"1001.htm"_s, u"1002.htm"_s, u"1004.htm"_s}));
}

void GeneratorsTest::flatOverwriteOff()
{
    Archive a({article(u"Old"_s), article(u"New"_s)});
    writeFile(a.dest + u"/Old.htm"_s, "kept as it was");
    a.host.opts.overwrite = 0;
    QVERIFY(a.flat());
    QCOMPARE(a.lists(), u"<ul>"_s + li(u"New.htm"_s, u"New"_s) + kClose);
    QCOMPARE(a.bytes(u"Old.htm"_s), QByteArray("kept as it was"));
    QVERIFY(a.page(u"New.htm"_s).contains(u"<h1>New</h1>"_s));
}

void GeneratorsTest::flatCancel()
{
    Archive a({article(u"First"_s), article(u"Second"_s), article(u"Third"_s)});
    a.host.onEvents = [](TestHost& h) {
        if (h.yields == 2)
            h.cancel = true;
    };
    a.host.cancel = true; // a request left from before is cleared when the run starts
    QVERIFY(a.flat());
    QCOMPARE(a.lists(), u"<ul>"_s + li(u"First.htm"_s, u"First"_s) + kClose);
    QCOMPARE(a.pages(), QStringList{u"First.htm"_s});
    QVERIFY(a.exists(u"style.css"_s));
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
}

void GeneratorsTest::flatEmptyFolder()
{
    Archive a({});
    QVERIFY(a.flat());
    QVERIFY(QDir(a.dest).isEmpty());
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
    QVERIFY(a.t.shell.opened.isEmpty());
}

void GeneratorsTest::flatNoArticles()
{
    Archive a({otherItem(u"A"_s), otherItem(u"B"_s)});
    QVERIFY(a.flat());
    QCOMPARE(a.lists(), u"<ul>"_s + kClose);
    QVERIFY(a.pages().isEmpty());
    QVERIFY(a.exists(u"style.css"_s));
}

void GeneratorsTest::flatEscapesAndEncodes()
{
    const QString subject = u"<script>x</script> Can't \"print\" #1 100% \u20ac\u0446"_s;
    Archive a({article(subject, u"R&D"_s, u"<i>"_s)});
    QVERIFY(a.flat());
    const QByteArray index = a.bytes(u"index.htm"_s);
    QVERIFY(!index.contains("<script>x"));
    QVERIFY2(index.contains("<li><a href='scriptxscript%20Can%27t%20print%20%231%20100%25%20%E2%82"
                            "%AC%D1%86.htm'>&lt;script&gt;x&lt;/script&gt; "
                            "Can&#39;t &quot;print&quot; #1 100% \x80&#1094;</a></li>"),
             index.constData());
    // The file keeps its name; the link leads to it.
    const QString name = u"scriptxscript Can't print #1 100% \u20ac\u0446.htm"_s;
    QCOMPARE(a.pages(), QStringList{name});
    const QByteArray page = a.bytes(name);
    QVERIFY(page.contains("<TITLE>&lt;script&gt;x&lt;/script&gt; Can&#39;t &quot;print&quot; #1 "
                          "100% \x80&#1094;</TITLE>"));
    QVERIFY(page.contains("<b>Problem Type     : </b>&lt;i&gt;<br><b>Problem Category : </b>"
                          "R&amp;D<br>"));
    QVERIFY(!page.contains("<script>"));
}

void GeneratorsTest::flatRefusesBadInput()
{
    struct Case
    {
        QString destination;
        QString numbering;
        QString message;
    };
    const QString badFolder = u"Please specify a valid folder path to place the files!"_s;
    const QString badNumber =
        u"Please enter a whole number as the start number of the page numbering!"_s;
    for (const Case& c :
         {Case{QString(), u"1000"_s, badFolder}, Case{u"/no/such/folder"_s, u"1000"_s, badFolder},
          Case{u"DEST"_s, QString(), badNumber}, Case{u"DEST"_s, u"12a"_s, badNumber},
          Case{u"DEST"_s, u"99999999999"_s, badNumber}}) {
        for (bool outline : {false, true}) {
            Archive a({article(u"A"_s, u"C"_s, u"T"_s)});
            a.host.categoryList = {{u"C"_s, true}};
            a.host.typeList = {{u"T"_s, true}};
            a.host.opts.destination = c.destination == "DEST"_L1 ? a.dest : c.destination;
            a.host.opts.numbering = c.numbering;
            QVERIFY(outline ? a.outline() : a.flat());
            QCOMPARE(a.t.dialogs.messages().size(), 1);
            const lorvo::test::Recorded m = a.t.dialogs.messages().first();
            QCOMPARE(m.text, c.message);
            QCOMPARE(m.title, u"LorvoArchive"_s);
            QCOMPARE(m.icon, lorvo::Icon::Information);
            QCOMPARE(a.host.caption, u"Generate"_s);
            QVERIFY(QDir(a.dest).isEmpty());
        }
    }

    // A destination typed with blanks and a trailing separator is the folder itself.
    Archive a({article(u"A"_s)});
    a.host.opts.destination = u"  "_s + a.dest + u"/  "_s;
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), QStringList{u"A.htm"_s});
}

void GeneratorsTest::flatBackLinkAndOpening()
{
    Archive a({article(u"A"_s)});
    a.host.opts.generateToc = 0;
    a.host.opts.runToc = 1;
    QVERIFY(a.flat());
    QVERIFY(a.exists(u"index.htm"_s));
    QVERIFY(!a.page(u"A.htm"_s).contains(u"index.htm"_s));
    QVERIFY(a.page(u"A.htm"_s).endsWith(u"</html><hr>"_s));
    QVERIFY(a.t.shell.opened.isEmpty());

    Archive b({article(u"A"_s)});
    b.host.opts.runToc = 0;
    QVERIFY(b.flat());
    QVERIFY(b.t.shell.opened.isEmpty());
}

void GeneratorsTest::flatTakesTheArticleClassInAnyLetterCase()
{
    const auto ofClass = [](const QString& subject, const QString& messageClass) {
        QJsonObject item = article(subject, u"Network"_s, u"How-to"_s);
        item.insert(u"messageClass"_s, messageClass);
        return item;
    };
    Archive a({ofClass(u"Lower"_s, u"ipm.post.helpdeskkbarticle"_s),
               ofClass(u"Upper"_s, u"IPM.POST.HELPDESKKBARTICLE"_s),
               ofClass(u"Longer"_s, u"IPM.Post.HelpdeskKBArticle.Draft"_s),
               ofClass(u"Post"_s, u"IPM.Post"_s)});
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), (QStringList{u"Lower.htm"_s, u"Upper.htm"_s}));
    QCOMPARE(a.lists(),
             u"<ul>"_s + li(u"Lower.htm"_s, u"Lower"_s) + li(u"Upper.htm"_s, u"Upper"_s) + kClose);
}

void GeneratorsTest::flatLargeNumbers()
{
    Archive a({article(u"A"_s), article(u"B"_s)});
    a.host.opts.namingScheme = 1;
    a.host.opts.numbering = u"32767"_s;
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), (QStringList{u"32768.htm"_s, u"32769.htm"_s}));

    // The end of the 32-bit range is reported, not wrapped.
    Archive b({article(u"A"_s), article(u"B"_s)});
    b.host.opts.numbering = u"2147483646"_s;
    QVERIFY(!b.flat());
    QVERIFY(b.t.end.ended);
    QVERIFY(b.t.rt->errors().errorText().contains(u"subGenerateArticlesNormal"_s));
}
