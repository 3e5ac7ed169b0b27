#include "tests/support/headlessbrowser.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace lorvo::test {

QString chromium()
{
    for (const QString& name : {u"chromium"_s, u"chromium-browser"_s, u"google-chrome"_s}) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString dumpDom(const QString& pageFile, QString* error)
{
    const QString program = chromium();
    if (program.isEmpty()) {
        if (error)
            *error = u"Chromium is not installed"_s;
        return {};
    }
    QTemporaryDir profile;
    QProcess browser;
    browser.setProgram(program);
    // No background traffic: the machines have no network besides the package registries.
    browser.setArguments({u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s,
                          u"--disable-background-networking"_s, u"--disable-component-update"_s,
                          u"--disable-sync"_s, u"--no-first-run"_s,
                          u"--user-data-dir="_s + profile.path(), u"--virtual-time-budget=5000"_s,
                          u"--dump-dom"_s, QUrl::fromLocalFile(pageFile).toString()});
    browser.start();
    if (!browser.waitForFinished(120000)) {
        browser.kill();
        browser.waitForFinished();
        if (error)
            *error = u"Chromium did not finish"_s;
        return {};
    }
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    if (dom.isEmpty() && error)
        *error = QString::fromLocal8Bit(browser.readAllStandardError());
    return dom;
}

QString probeResult(const QString& dom)
{
    static const QRegularExpression result(u"<pre id=\"result\">(.*?)</pre>"_s,
                                           QRegularExpression::DotMatchesEverythingOption);
    const auto match = result.match(dom);
    if (!match.hasMatch())
        return {};
    return match.captured(1)
        .replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&amp;"_s, u"&"_s);
}

} // namespace lorvo::test
