// Outline generation end to end: categories and types in list order, headers only where articles
// are, numbering through every pass.

#include "archive/toc.h"
#include "tests/archive/test_generators.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace gentest;
using namespace lorvo::archive;

namespace {

const QString kClose = u"</ul><br></body></html>"_s;

QList<ListEntry> entries(const QStringList& texts, const QList<bool>& selected = {})
{
    QList<ListEntry> list;
    for (qsizetype i = 0; i < texts.size(); ++i)
        list.append({texts.at(i), selected.isEmpty() || selected.at(i)});
    return list;
}

// The collapsible shapes.
QString cat(const QString& text)
{
    return toc::categoryHeader(true, text);
}
QString typ(const QString& text)
{
    return toc::typeHeader(true, text);
}
QString line(const QString& page, const QString& subject)
{
    return toc::articleLine(true, page, subject);
}

const QString kEndType = u"</ul></li>"_s;
const QString kEndCat = u"</ul></li><br>"_s;

} // namespace

void GeneratorsTest::outlineMarkupCollapsible()
{
    Archive a({article(u"b1"_s, u"Cat B"_s, u"T1"_s), article(u"a2"_s, u"Cat A"_s, u"T2"_s),
               article(u"a1"_s, u"cat a"_s, u"t1"_s), article(u"x"_s, u"Cat A"_s, u"T9"_s)});
    a.host.categoryList = entries({u"Cat A"_s, u"Cat B"_s});
    a.host.typeList = entries({u"T1"_s, u"T2"_s});
    QVERIFY(a.outline());
    QCOMPARE(a.lists(), u"<ul dynamicoutline initcollapsed>"_s + cat(u"Cat A"_s) + typ(u"T1"_s) +
                            line(u"a1.htm"_s, u"a1"_s) + kEndType + typ(u"T2"_s) +
                            line(u"a2.htm"_s, u"a2"_s) + kEndType + kEndCat + cat(u"Cat B"_s) +
                            typ(u"T1"_s) + line(u"b1.htm"_s, u"b1"_s) + kEndType + kEndCat +
                            kClose);
    QVERIFY(a.index().startsWith(QString::fromLatin1(tocHead(true))));
    QCOMPARE(a.pages(), (QStringList{u"a1.htm"_s, u"a2.htm"_s, u"b1.htm"_s}));
    // The page shows the item's own field values.
    QVERIFY(
        a.page(u"a1.htm"_s)
            .contains(u"<b>Problem Type     : </b>t1<br><b>Problem Category : </b>cat a<br>"_s));
    QVERIFY(a.exists(u"outline.js"_s));
    QVERIFY(a.exists(u"style.css"_s));
    QVERIFY(a.exists(u"Images/bulletredsmall.gif"_s));
    QCOMPARE(a.host.progressMaximum, 2);
    QCOMPARE(a.host.progress, (QList<int>{1, 2}));
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
    QCOMPARE(a.t.shell.opened, QStringList{a.dest + u"/index.htm"_s});
}

void GeneratorsTest::outlineMarkupPlain()
{
    const QJsonArray items{article(u"a1"_s, u"C"_s, u"T"_s)};
    Archive a(items);
    a.host.categoryList = entries({u"C"_s});
    a.host.typeList = entries({u"T"_s});
    a.host.opts.collapse = 0;
    QVERIFY(a.outline());
    QVERIFY(a.index().startsWith(QString::fromLatin1(tocHead(false))));
    QCOMPARE(a.lists(),
             u"<ul>"_s + toc::categoryHeader(false, u"C"_s) + toc::typeHeader(false, u"T"_s) +
                 toc::articleLine(false, u"a1.htm"_s, u"a1"_s) + kEndType + kEndCat + kClose);
    QVERIFY(!a.exists(u"outline.js"_s));

    Archive b(items);
    b.host.categoryList = entries({u"C"_s});
    b.host.typeList = entries({u"T"_s});
    b.host.opts.collapseInitially = 0;
    QVERIFY(b.outline());
    QVERIFY(b.lists().startsWith(u"<ul dynamicoutline>"_s + cat(u"C"_s)));
}

void GeneratorsTest::outlineNumberingAcrossPasses()
{
    // Ten items: odd ones in C1, even ones in C2, the tenth in C3; one type.
    QJsonArray items;
    for (int i = 1; i <= 10; ++i) {
        const QString category = i == 10 ? u"C3"_s : i % 2 ? u"C1"_s : u"C2"_s;
        items.append(article(u"Item %1"_s.arg(i), category, u"T"_s));
    }
    Archive a(items);
    a.host.categoryList = entries({u"C1"_s, u"C2"_s, u"C3"_s}, {true, true, false});
    a.host.typeList = entries({u"T"_s});
    a.host.opts.namingScheme = 1;
    a.host.opts.numbering = u"0"_s;
    a.host.opts.attachments = 1; // the working files go under the same numbers
    QVERIFY(a.outline());
    QCOMPARE(a.pages(), (QStringList{u"1.htm"_s, u"12.htm"_s, u"14.htm"_s, u"16.htm"_s, u"18.htm"_s,
                                     u"3.htm"_s, u"5.htm"_s, u"7.htm"_s, u"9.htm"_s}));
    QCOMPARE(a.lists(), u"<ul dynamicoutline initcollapsed>"_s + cat(u"C1"_s) + typ(u"T"_s) +
                            line(u"1.htm"_s, u"Item 1"_s) + line(u"3.htm"_s, u"Item 3"_s) +
                            line(u"5.htm"_s, u"Item 5"_s) + line(u"7.htm"_s, u"Item 7"_s) +
                            line(u"9.htm"_s, u"Item 9"_s) + kEndType + kEndCat + cat(u"C2"_s) +
                            typ(u"T"_s) + line(u"12.htm"_s, u"Item 2"_s) +
                            line(u"14.htm"_s, u"Item 4"_s) + line(u"16.htm"_s, u"Item 6"_s) +
                            line(u"18.htm"_s, u"Item 8"_s) + kEndType + kEndCat + kClose);
    QVERIFY(a.page(u"12.htm"_s).contains(u"<h1>Item 2</h1>"_s));
    // No working file is left behind.
    QVERIFY(QDir(a.dest + u"/Images"_s).entryList({u"*.rtf"_s}, QDir::Files).isEmpty());
}

void GeneratorsTest::outlineOverwriteOffKeepsHeaders()
{
    Archive a({article(u"Kept"_s, u"C"_s, u"T2"_s), article(u"New"_s, u"C"_s, u"T1"_s)});
    QFile old(a.dest + u"/Kept.htm"_s);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old page");
    old.close();
    a.host.categoryList = entries({u"C"_s});
    a.host.typeList = entries({u"T1"_s, u"T2"_s});
    a.host.opts.overwrite = 0;
    QVERIFY(a.outline());
    QCOMPARE(a.lists(), u"<ul dynamicoutline initcollapsed>"_s + cat(u"C"_s) + typ(u"T1"_s) +
                            line(u"New.htm"_s, u"New"_s) + kEndType + typ(u"T2"_s) + kEndType +
                            kEndCat + kClose);
    QCOMPARE(a.bytes(u"Kept.htm"_s), QByteArray("old page"));
}

void GeneratorsTest::outlineDuplicatesAndUnmatched()
{
    Archive a({article(u"Same"_s, u"C"_s, u"T"_s, u"<body>first</body>"_s),
               article(u"SAME"_s, u"C"_s, u"T"_s, u"<body>second</body>"_s),
               article(u"Unselected"_s, u"D"_s, u"T"_s), article(u"No type"_s, u"C"_s, QString()),
               article(u"Other type"_s, u"C"_s, u"U"_s)});
    a.host.categoryList = entries({u"Empty"_s, u"C"_s, u"D"_s}, {true, true, false});
    a.host.typeList = entries({u"T"_s, u"U"_s, u"V"_s}, {true, false, true});
    QVERIFY(a.outline());
    QCOMPARE(a.lists(), u"<ul dynamicoutline initcollapsed>"_s + cat(u"C"_s) + typ(u"T"_s) +
                            line(u"Same.htm"_s, u"Same"_s) + kEndType + kEndCat + kClose);
    QCOMPARE(a.pages(), QStringList{u"Same.htm"_s});
    QVERIFY(a.page(u"Same.htm"_s).contains(u"first"_s));
}

void GeneratorsTest::outlineCancelBetweenPasses()
{
    Archive a({article(u"a1"_s, u"A"_s, u"T1"_s), article(u"a2"_s, u"A"_s, u"T2"_s),
               article(u"b1"_s, u"B"_s, u"T1"_s)});
    a.host.categoryList = entries({u"A"_s, u"B"_s});
    a.host.typeList = entries({u"T1"_s, u"T2"_s});
    // Yields: category A, type T1 (its pass runs), type T2: Cancel is clicked there.
    a.host.onEvents = [](TestHost& h) {
        if (h.yields == 3)
            h.cancel = true;
    };
    QVERIFY(a.outline());
    QCOMPARE(a.lists(), u"<ul dynamicoutline initcollapsed>"_s + cat(u"A"_s) + typ(u"T1"_s) +
                            line(u"a1.htm"_s, u"a1"_s) + kEndType + kEndCat + kClose);
    QCOMPARE(a.pages(), QStringList{u"a1.htm"_s});
    QVERIFY(a.exists(u"style.css"_s));
    QVERIFY(a.exists(u"outline.js"_s));
    QCOMPARE(a.host.yields, 4); // the next category position noticed the request
    QCOMPARE(a.host.caption, u"Generate"_s);

    // Cancel at the first category position: the opener and closing only.
    Archive b({article(u"a1"_s, u"A"_s, u"T1"_s)});
    b.host.categoryList = entries({u"A"_s});
    b.host.typeList = entries({u"T1"_s});
    b.host.onEvents = [](TestHost& h) { h.cancel = true; };
    QVERIFY(b.outline());
    QCOMPARE(b.lists(), u"<ul dynamicoutline initcollapsed>"_s + kClose);
    QVERIFY(b.pages().isEmpty());
}

void GeneratorsTest::outlineEmptyFolder()
{
    Archive a({});
    a.host.categoryList = entries({u"A"_s});
    a.host.typeList = entries({u"T"_s});
    QVERIFY(a.outline());
    QVERIFY(QDir(a.dest).isEmpty());
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
}

void GeneratorsTest::outlineEmptyCategoryList()
{
    Archive a({article(u"a"_s, u"A"_s, u"T"_s)});
    a.host.typeList = entries({u"T"_s});
    QVERIFY(a.outline());
    QCOMPARE(a.bytes(u"index.htm"_s), tocHead(true));
    QVERIFY(!a.exists(u"style.css"_s));
    QVERIFY(a.pages().isEmpty());
    QCOMPARE(a.host.caption, u"Generate"_s);
    QVERIFY(!a.host.progressShown);
    QVERIFY(a.t.shell.opened.isEmpty());
}

void GeneratorsTest::outlineEscapesText()
{
    Archive a({article(u"a<b>\u0416"_s, u"R&D <x>"_s, u"\"T\" 'q'"_s)});
    a.host.categoryList = entries({u"R&D <x>"_s});
    a.host.typeList = entries({u"\"T\" 'q'"_s});
    QVERIFY(a.outline());
    const QByteArray index = a.bytes(u"index.htm"_s);
    QVERIFY2(index.contains("<b>R&amp;D &lt;x&gt;</b></p><ul>"), index.constData());
    QVERIFY(index.contains("<b>&quot;T&quot; &#39;q&#39;</b></p><ul>"));
    QVERIFY(index.contains("<a href='ab%D0%96.htm'>a&lt;b&gt;&#1046;</a>"));
    QVERIFY(a.bytes(u"ab\u0416.htm"_s).contains("<h1>a&lt;b&gt;&#1046;</h1>"));
}

void GeneratorsTest::outlineNumberLimitAtItsBoundary()
{
    // Two articles after the start number: the last takes the largest 32-bit number.
    const QJsonArray items{article(u"First"_s, u"C"_s, u"T"_s),
                           article(u"Second"_s, u"C"_s, u"T"_s)};
    Archive a(items);
    a.host.categoryList = entries({u"C"_s});
    a.host.typeList = entries({u"T"_s});
    a.host.opts.namingScheme = 1;
    a.host.opts.numbering = u"2147483645"_s;
    QVERIFY(a.outline());
    QCOMPARE(a.pages(), (QStringList{u"2147483646.htm"_s, u"2147483647.htm"_s}));
    QVERIFY(a.page(u"2147483647.htm"_s).contains(u"<h1>Second</h1>"_s));

    // One more would pass it: the run is reported and ends before a page is written.
    Archive b(items);
    b.host.categoryList = entries({u"C"_s});
    b.host.typeList = entries({u"T"_s});
    b.host.opts.namingScheme = 1;
    b.host.opts.numbering = u"2147483646"_s;
    QVERIFY(!b.outline());
    QVERIFY(b.t.end.ended);
    QVERIFY(b.t.rt->errors().errorText().contains(u"subGenerateArticlesOutline"_s));
    QVERIFY(b.pages().isEmpty());
}
