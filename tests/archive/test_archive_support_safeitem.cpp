#include "archive/safeitem.h"
#include "archive/safeitemplugin.h"
#include "test_archive_support.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QTest>
#include <array>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::TestRuntime;

namespace {

const QString kMarker = u"<!-- read safely -->"_s;

// The test component, copied into a program folder so that each test has its own copy (and its
// own counters).
class Component
{
public:
    explicit Component(const QString& programDir)
        : m_path(programDir + u'/' + QFileInfo(QStringLiteral(LORVO_SAFE_TEST_PLUGIN)).fileName())
    {
    }

    bool install()
    {
        if (!QFile::copy(QStringLiteral(LORVO_SAFE_TEST_PLUGIN), m_path))
            return false;
        m_library.setFileName(m_path);
        return m_library.load();
    }

    // created, keyed, live, bodies, saves
    std::array<int32_t, 5> counters()
    {
        std::array<int32_t, 5> out{};
        using Fn = void (*)(int32_t*);
        if (auto fn = reinterpret_cast<Fn>(m_library.resolve("lorvoTestSafeCounters")))
            fn(out.data());
        return out;
    }

    void control(int refuseKey, int noPostItem, int failBodies)
    {
        using Fn = void (*)(int32_t, int32_t, int32_t);
        if (auto fn = reinterpret_cast<Fn>(m_library.resolve("lorvoTestSafeControl")))
            fn(refuseKey, noPostItem, failBodies);
    }

    void reportVersion(int32_t version)
    {
        using Fn = void (*)(int32_t);
        if (auto fn = reinterpret_cast<Fn>(m_library.resolve("lorvoTestSafeReportVersion")))
            fn(version);
    }

private:
    QString m_path;
    QLibrary m_library;
};

} // namespace

void ArchiveSupportTest::safeComponentAbsentReadsOutlookDirectly()
{
    TestRuntime t;
    auto item = std::make_shared<TestItem>();
    item->html = u"<html><body>direct</body></html>"_s;
    SafeItem safe(*t.rt);

    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    QCOMPARE(safe.registrationAttempts(), 1);
    QVERIFY(!safe.fncSafeComponentReady());

    // The component turning up later in the run changes nothing: the failure sticks.
    Component component(t.platform.programDir);
    QVERIFY(component.install());
    const QString rtf = t.path(u"item.rtf"_s);
    safe.getSafeSaveItem(item, rtf, outlook::olRTF);
    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    QCOMPARE(item->saved, QStringList{rtf});
    QVERIFY(QFile::exists(rtf));
    // The item saves itself in memory too, the same bytes; one that cannot gives none.
    QFile saved(rtf);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(safe.getSafeSaveItemData(item, outlook::olRTF), saved.readAll());
    item->filesOnly = true;
    QCOMPARE(safe.getSafeSaveItemData(item, outlook::olRTF), std::nullopt);
    QCOMPARE(safe.registrationAttempts(), 1);
    QCOMPARE(component.counters()[0], 0);
    QVERIFY(t.shell.ran.isEmpty());
}

void ArchiveSupportTest::safeComponentPresentWrapsEveryCall()
{
    TestRuntime t;
    Component component(t.platform.programDir);
    QVERIFY(component.install());
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>Caf\u00e9 \U0001F600</p>"_s;
    SafeItem safe(*t.rt);

    QCOMPARE(safe.getSafeHTMLBody(item), kMarker + item->html);
    QCOMPARE(safe.getSafeHTMLBody(item), kMarker + item->html);
    const QString rtf = t.path(u"Images/1001.rtf"_s);
    QDir().mkpath(t.path(u"Images"_s));
    safe.getSafeSaveItem(item, rtf, outlook::olRTF);
    QVERIFY(QFile(rtf).size() > 0);
    QCOMPARE(item->saved, QStringList{rtf});
    // The component writes files only: nothing is saved in memory past it.
    QCOMPARE(safe.getSafeSaveItemData(item, outlook::olRTF), std::nullopt);
    QCOMPARE(item->saved, QStringList{rtf});

    const auto [created, keyed, live, bodies, saves] = component.counters();
    QCOMPARE(created, 4); // the utility object and one wrapper per call
    QCOMPARE(keyed, 4);   // every object got the key first
    QCOMPARE(live, 1);    // wrappers live for one call only
    QCOMPARE(bodies, 2);
    QCOMPARE(saves, 1);
    QCOMPARE(safe.registrationAttempts(), 0);
}

void ArchiveSupportTest::safeComponentRefusingTheKeyIsNotUsed()
{
    TestRuntime t;
    Component component(t.platform.programDir);
    QVERIFY(component.install());
    component.control(1, 0, 0);
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>x</p>"_s;
    SafeItem safe(*t.rt);

    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    component.control(0, 0, 0);
    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    QVERIFY(!safe.fncSafeComponentReady());
    // It could be made, so there was nothing to register; the refused object is gone.
    QCOMPARE(safe.registrationAttempts(), 0);
    QCOMPARE(component.counters()[0], 1);
    QCOMPARE(component.counters()[2], 0);
}

void ArchiveSupportTest::safeComponentOfAnotherVersionIsNotUsed()
{
    TestRuntime t;
    Component component(t.platform.programDir);
    QVERIFY(component.install());
    component.reportVersion(LORVO_SAFE_ABI_VERSION + 1);
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>read directly</p>"_s;
    SafeItem safe(*t.rt);

    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    const QString rtf = t.path(u"item.rtf"_s);
    safe.getSafeSaveItem(item, rtf, outlook::olRTF);
    QCOMPARE(item->saved, QStringList{rtf});
    QVERIFY(!safe.fncSafeComponentReady());
    // Nothing of it was used, not even its utility object; it was looked for again once.
    QCOMPARE(component.counters()[0], 0);
    QCOMPARE(safe.registrationAttempts(), 1);
}

void ArchiveSupportTest::safeWrapperFailuresFallBackToTheItem()
{
    TestRuntime t;
    Component component(t.platform.programDir);
    QVERIFY(component.install());
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>fallback</p>"_s;
    SafeItem safe(*t.rt);

    component.control(0, 1, 0); // no SafePostItem
    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    const QString rtf = t.path(u"a.rtf"_s);
    safe.getSafeSaveItem(item, rtf, outlook::olRTF);
    QVERIFY(QFile::exists(rtf));

    component.control(0, 0, 1); // the wrapper fails to read
    QCOMPARE(safe.getSafeHTMLBody(item), item->html);
    QVERIFY(safe.fncSafeComponentReady());
    QCOMPARE(component.counters()[2], 1);

    component.control(0, 0, 0);
    QCOMPARE(safe.getSafeHTMLBody(item), kMarker + item->html);
}

void ArchiveSupportTest::safeComponentPathHasOneSeparator()
{
    TestRuntime t;
    const QString folder = t.platform.programDir;
    t.platform.programDir = folder + u'/';
    SafeItem safe(*t.rt);
    QCOMPARE(safe.componentPath(), folder + u"/Safetervane"_s);

    // And the component is found there.
    Component component(folder);
    QVERIFY(component.install());
    QVERIFY(safe.fncSafeComponentReady());
}

void ArchiveSupportTest::directReadFailureGivesEmptyBody()
{
    TestRuntime t;
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>unreachable</p>"_s;
    item->failBody = true;
    item->failSave = true;
    SafeItem safe(*t.rt);
    QCOMPARE(safe.getSafeHTMLBody(item), QString());
    const QString rtf = t.path(u"x.rtf"_s);
    safe.getSafeSaveItem(item, rtf, outlook::olRTF);
    QVERIFY(!QFile::exists(rtf));
    QCOMPARE(safe.getSafeHTMLBody(nullptr), QString());
    QVERIFY(!t.end.ended);
    QVERIFY(t.dialogs.requests.isEmpty());
}
