// The published site in a real browser, used as its readers use it: headless Chromium driven
// through its DevTools protocol with real key presses. Skipped where Chromium is not installed.

#include "tests/archive/test_generators_fixture.h"
#include "tests/support/devtools.h"
#include "tests/support/headlessbrowser.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace gentest;
using namespace lorvo::archive;
using lorvo::test::DevToolsSession;

namespace {

QString sourceDir()
{
    return qEnvironmentVariable("LORVO_SOURCE_DIR");
}

// The example articles the setup installs, as their manifest lists them.
QJsonArray exampleArticles()
{
    QFile file(sourceDir() + u"/setup/appfiles/LorvoFilled.json"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray folders = QJsonDocument::fromJson(file.readAll())[u"folders"_s].toArray();
    return folders.at(1)[u"items"_s].toArray();
}

// Every category and every type the items use, selected.
void selectAll(Archive& a, const QJsonArray& items)
{
    QStringList categories;
    QStringList types;
    for (const QJsonValue& item : items) {
        const QJsonObject fields = item[u"userProperties"_s].toObject();
        const QString category = fields[u"Problem Category"_s].toString();
        const QString type = fields[u"Problem Type"_s].toString();
        if (!category.isEmpty() && !categories.contains(category))
            categories.append(category);
        if (!type.isEmpty() && !types.contains(type))
            types.append(type);
    }
    categories.sort();
    types.sort();
    for (const QString& c : std::as_const(categories))
        a.host.categoryList.append({c, true});
    for (const QString& t : std::as_const(types))
        a.host.typeList.append({t, true});
}

// A script string literal of the text.
QString jsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// What has the focus: "" for none, else tag|role|aria-expanded|text.
const QString kFocused = uR"((function () {
  var e = document.activeElement;
  if (!e || e == document.body) return '';
  return e.tagName + '|' + (e.getAttribute('role') || '') + '|' +
         (e.getAttribute('aria-expanded') || '') + '|' + e.textContent.trim();
})())"_s;

class SiteBrowserTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DevToolsSession> m_browser;

    QString focused() { return m_browser->evaluate(kFocused).toString(); }

    // Presses Tab until the focus leaves the page or comes back; every stop, in order.
    QStringList tabStops()
    {
        QStringList stops;
        for (int i = 0; i < 200; ++i) {
            if (!m_browser->pressKey(u"Tab"_s))
                break;
            const QString now = focused();
            if (now.isEmpty() || (!stops.isEmpty() && now == stops.first()))
                break;
            stops.append(now);
        }
        return stops;
    }

private slots:
    void init()
    {
        m_browser = std::make_unique<DevToolsSession>();
        if (!m_browser->start()) {
            const QString why = m_browser->error();
            m_browser.reset();
            if (lorvo::test::chromium().isEmpty())
                QSKIP("Chromium is not installed (scripts/deps test installs it).");
            QFAIL(qPrintable(why));
        }
    }

    void cleanup() { m_browser.reset(); }

    // The collapsed example site with the keyboard alone.
    void outlineByKeyboard()
    {
        const QJsonArray items = exampleArticles();
        QVERIFY(!items.isEmpty());
        Archive a(items, sourceDir() + u"/setup/appfiles"_s);
        a.host.opts.collapse = 1;
        a.host.opts.collapseInitially = 1;
        selectAll(a, items);
        QVERIFY(a.outline());
        const QString index = QUrl::fromLocalFile(a.dest + u"/index.htm"_s).toString();
        QVERIFY2(m_browser->navigate(index), qPrintable(m_browser->error()));

        // Folded: every category header is a stop, announced as a folded button; no link is.
        const int links =
            m_browser->evaluate(u"document.querySelectorAll('a[href]').length"_s).toInt();
        QCOMPARE(links, 44);
        const QStringList folded = tabStops();
        QCOMPARE(folded.size(), a.host.categoryList.size());
        for (const QString& stop : folded)
            QVERIFY2(stop.startsWith(u"P|button|false|"_s), qPrintable(stop));
        QCOMPARE(folded.first(), u"P|button|false|Accounts & Passwords"_s);

        // Open the first category and its first type with Enter; Tab then reaches a link.
        QVERIFY(m_browser->navigate(index));
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        QCOMPARE(focused(), u"P|button|false|Accounts & Passwords"_s);
        QVERIFY(m_browser->pressKey(u"Enter"_s));
        QCOMPARE(focused(), u"P|button|true|Accounts & Passwords"_s);
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        QCOMPARE(focused(), u"P|button|false|Error Message"_s);
        QVERIFY(m_browser->pressKey(u"Enter"_s));
        QCOMPARE(focused(), u"P|button|true|Error Message"_s);
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        const QString link = focused();
        QVERIFY2(link.startsWith(u"A|||"_s), qPrintable(link));
        // The next type of the open category comes after the open type's links, not before.
        QVERIFY(m_browser->pressKey(u"Tab"_s, true));
        QCOMPARE(focused(), u"P|button|true|Error Message"_s);

        // Space folds the type again; its links leave the Tab order.
        QVERIFY(m_browser->pressKey(u" "_s));
        QCOMPARE(focused(), u"P|button|false|Error Message"_s);
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        QCOMPARE(focused(), u"P|button|false|How-to"_s);
        QCOMPARE(m_browser->evaluate(u"window.scrollY"_s).toInt(), 0);

        // Back to the link and follow it with Enter.
        QVERIFY(m_browser->pressKey(u"Tab"_s, true));
        QVERIFY(m_browser->pressKey(u"Enter"_s));
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        QCOMPARE(focused(), link);
        const QString href = m_browser->evaluate(u"document.activeElement.href"_s).toString();
        QVERIFY(m_browser->pressKey(u"Enter"_s));
        QVERIFY2(m_browser->waitFor(u"location.href == "_s + jsString(href) +
                                    u" && document.readyState == 'complete'"_s),
                 qPrintable(m_browser->error()));
        const QString title = link.section(u'|', 3);
        QCOMPARE(m_browser->evaluate(u"document.querySelector('h1').textContent"_s).toString(),
                 title);
    }

    // A mouse click keeps what a screen reader is told in step with the fold.
    void mouseKeepsStateInStep()
    {
        const QJsonArray items = exampleArticles();
        Archive a(items, sourceDir() + u"/setup/appfiles"_s);
        a.host.opts.collapseInitially = 0;
        selectAll(a, items);
        QVERIFY(a.outline());
        QVERIFY(m_browser->navigate(QUrl::fromLocalFile(a.dest + u"/index.htm"_s).toString()));
        const QString header = u"document.querySelector('[role=button]')"_s;
        QCOMPARE(m_browser->evaluate(header + u".getAttribute('aria-expanded')"_s).toString(),
                 u"true"_s);
        const QJsonObject box =
            m_browser
                ->evaluate(
                    u"(function(){var r = "_s + header +
                    u".getBoundingClientRect(); return {x: r.x + 5, y: r.y + r.height / 2};})()"_s)
                .toObject();
        for (const QString& type : {u"mousePressed"_s, u"mouseReleased"_s})
            m_browser->call(u"Input.dispatchMouseEvent"_s, {{u"type"_s, type},
                                                            {u"x"_s, box[u"x"_s]},
                                                            {u"y"_s, box[u"y"_s]},
                                                            {u"button"_s, u"left"_s},
                                                            {u"clickCount"_s, 1}});
        QCOMPARE(m_browser->evaluate(header + u".getAttribute('aria-expanded')"_s).toString(),
                 u"false"_s);
        QCOMPARE(m_browser->evaluate(header + u".nextElementSibling.style.display"_s).toString(),
                 u"none"_s);
    }

    // The search page over file://, its index loaded by a script tag.
    void searchPage()
    {
        const QString hostile = u"<img src=x onerror=\"window.pwned=1\">\"Quotes\" & 'apos'"_s;
        Archive a({article(u"Signing in from home"_s, u"Accounts"_s, u"How-to"_s,
                           u"<html><body><p>The laptop asks for a Kerberos ticket first.</p>"
                           "</body></html>"_s),
                   article(u"Caf\u00e9 menu"_s, u"Kitchen"_s, u"Policy"_s),
                   article(hostile, u"Hardware"_s, u"<b>Fix</b>"_s),
                   article(u"Toner"_s, u"Hardware"_s, u"Fix"_s,
                           u"<body>Shake the cartridge before the printer takes it.</body>"_s),
                   article(u"Printer jam"_s, u"Hardware"_s, u"Fix"_s)});
        a.host.opts.search = 1;
        QVERIFY(a.flat());
        const QString page = QUrl::fromLocalFile(a.dest + u"/search.htm"_s).toString();
        // Subject, where, passage of every result, in order.
        const QString results = uR"((function () {
          var out = [];
          document.querySelectorAll('#results li').forEach(function (li) {
            out.push([li.querySelector('a').textContent, li.querySelector('a').getAttribute('href'),
                      (li.querySelector('.where') || {}).textContent || '',
                      (li.querySelector('.passage') || {}).textContent || ''].join('|'));
          });
          return out;
        })())"_s;
        const auto search = [&](const QString& query) {
            QStringList lines;
            if (!m_browser->navigate(page + u"?q="_s +
                                     QString::fromLatin1(QUrl::toPercentEncoding(query))) ||
                !m_browser->waitFor(u"document.getElementById('status').textContent != ''"_s)) {
                qWarning("%s", qPrintable(m_browser->error()));
                return lines;
            }
            for (const QJsonValue& line : m_browser->evaluate(results).toArray())
                lines.append(line.toString());
            return lines;
        };

        // A word of a body finds its article, letter case aside, with the passage around it.
        QCOMPARE(search(u"KERBEROS"_s),
                 QStringList{u"Signing in from home|Signing%20in%20from%20home.htm|Accounts \u203a "
                             "How-to|The laptop asks for a Kerberos ticket first."_s});
        QCOMPARE(m_browser->evaluate(u"document.querySelector('#results mark').textContent"_s)
                     .toString(),
                 u"Kerberos"_s);
        // Accents aside too.
        QCOMPARE(search(u"cafe"_s).value(0).section(u'|', 0, 1),
                 u"Caf\u00e9 menu|Caf%C3%A9%20menu.htm"_s);
        // A subject that holds the words comes before a body that does.
        const QStringList printer = search(u"printer"_s);
        QCOMPARE(printer.size(), 2);
        QVERIFY2(printer.at(0).startsWith(u"Printer jam|"_s), qPrintable(printer.join(u'\n')));
        QVERIFY2(printer.at(1).startsWith(u"Toner|"_s), qPrintable(printer.join(u'\n')));
        QCOMPARE(search(u"no such word"_s), QStringList());
        QCOMPARE(m_browser->evaluate(u"document.getElementById('status').textContent"_s).toString(),
                 u"No article found for \u201cno such word\u201d."_s);

        // Markup in a subject and a type is shown as text and never runs.
        const QStringList quoted = search(u"quotes"_s);
        QCOMPARE(quoted.size(), 1);
        QCOMPARE(quoted.at(0).section(u'|', 0, 0), hostile);
        QCOMPARE(quoted.at(0).section(u'|', 2, 2), u"Hardware \u203a <b>Fix</b>"_s);
        QCOMPARE(
            m_browser->evaluate(u"document.querySelectorAll('#results img, #results b').length"_s)
                .toInt(),
            0);
        QCOMPARE(m_browser->evaluate(u"typeof window.pwned"_s).toString(), u"undefined"_s);

        // index.htm links the page.
        QVERIFY(m_browser->navigate(QUrl::fromLocalFile(a.dest + u"/index.htm"_s).toString()));
        QVERIFY(m_browser->pressKey(u"Tab"_s));
        QCOMPARE(m_browser->evaluate(u"document.activeElement.getAttribute('href')"_s).toString(),
                 u"search.htm"_s);
    }
};

} // namespace

QTEST_GUILESS_MAIN(SiteBrowserTest)
#include "test_site_browser.moc"
