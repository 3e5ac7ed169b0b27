// The collapsible table of contents in a real browser: index.htm as the outline generator writes
// it (head, outline markup), with the support files beside it, opened in headless Chromium. A
// small script clicks entries after the page has loaded and writes what is shown into the page,
// which Chromium then dumps.

#include "archive/encoding.h"
#include "archive/toc.h"
#include "tests/support/headlessbrowser.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::TestRuntime;
using namespace lorvo::test;

namespace {

// Clicks and reports: every step writes one line "label: displays" into <pre id=result>.
// Lists: T = the type list of Printers, A = its article list, S = the type list of Software.
const QByteArray kProbe = R"(<script>
window.addEventListener('load', function () {
  var out = [];
  function shown(id) { return getComputedStyle(document.getElementById(id)).display == 'none' ? 0 : 1; }
  function state(label) { out.push(label + ': T' + shown('T') + ' A' + shown('A') + ' S' + shown('S')); }
  function click(id) { document.getElementById(id).dispatchEvent(new MouseEvent('click', {bubbles: true})); }
  state('start');
  click('catPrinters'); state('category');
  click('typeSetup'); state('type');
  document.getElementById('article').parentNode.dispatchEvent(new MouseEvent('click', {bubbles: true}));
  state('article');
  click('catPrinters'); state('category again');
  click('catPrinters'); state('category third');
  var link = getComputedStyle(document.querySelector('a')).textDecorationLine;
  var list = getComputedStyle(document.getElementById('T')).listStyleType;
  var cursor = getComputedStyle(document.getElementById('catPrinters').closest('li')).cursor;
  out.push('style: ' + link + ' ' + list + ' ' + cursor);
  var pre = document.createElement('pre');
  pre.id = 'result';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
});
</script>)";

// The category and type headers and article lines of the outline, as the outline generator
// writes them for a collapsible table of contents; ids let the probe find the entries.
QByteArray outline(bool initially)
{
    const QString li = u"<li STYLE=\"cursor:hand\"><p class=\"LiStyle\">"_s;
    QString html = initially ? u"<ul dynamicoutline initcollapsed>"_s : u"<ul dynamicoutline>"_s;
    html += li + u"<b id=\"catPrinters\">Printers</b></p><ul id=\"T\">"_s;
    html += li + u"<b id=\"typeSetup\">Setup</b></p><ul id=\"A\">"_s;
    html += li + u"<a id=\"article\" href='"_s + hrefEncode(u"Don't print.htm"_s) + u"'>"_s +
            htmlEscape(u"Don't print \u2013 caf\u00e9"_s) + u"</a></p></li>"_s;
    html += u"</ul></li>"_s;
    html += u"</ul></li><br>"_s;
    html += li + u"<b>Software</b></p><ul id=\"S\">"_s;
    html += li + u"<b>Install</b></p><ul>"_s;
    html += li + u"<a href='1003.htm'>Office</a></p></li>"_s;
    html += u"</ul></li>"_s;
    html += u"</ul></li><br>"_s;
    return toWindows1252(html);
}

class OutlineBrowserTest : public QObject
{
    Q_OBJECT

private:
    // The probe's lines for a table of contents written with the given options.
    QStringList run(bool initially)
    {
        const QString browser = chromium();
        if (browser.isEmpty())
            return {};
        TestRuntime t;
        const QString site = t.path(u"site"_s);
        QDir().mkpath(site);
        auto sink = fncWriteTOC(*t.rt, site + u"/index.htm"_s, 1);
        sink->write(outline(initially));
        sink->write(kProbe);
        sink->write("</ul><br></body></html>");
        sink->commit();
        subExtractFilesFromResource(*t.rt, site, 1);

        QString error;
        const QString result = probeResult(dumpDom(site + u"/index.htm"_s, &error));
        if (result.isEmpty()) {
            qWarning("%s", qPrintable(error));
            return {u"no result"_s};
        }
        return result.split(u'\n');
    }

private slots:
    void initTestCase()
    {
        if (chromium().isEmpty())
            QSKIP("Chromium is not installed (scripts/deps test installs it).");
    }

    void collapsedInitially()
    {
        const QStringList expected = {
            u"start: T0 A0 S0"_s,
            u"category: T1 A0 S0"_s,         // the category shows its types only
            u"type: T1 A1 S0"_s,             // the type shows its articles
            u"article: T1 A1 S0"_s,          // an article line holds no list
            u"category again: T0 A1 S0"_s,   // the types fold away, articles with them
            u"category third: T1 A1 S0"_s,   // and come back as they were
            u"style: none circle pointer"_s, // style sheet applied; entries look clickable
        };
        QCOMPARE(run(true), expected);
    }

    void expandedInitially()
    {
        const QStringList lines = run(false);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.first(), u"start: T1 A1 S1"_s);
        QCOMPARE(lines.at(1), u"category: T0 A1 S1"_s);
    }
};

} // namespace

QTEST_GUILESS_MAIN(OutlineBrowserTest)
#include "test_outline_browser.moc"
