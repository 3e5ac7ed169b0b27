#include "archive/pagewriter.h"
#include "shared/error.h"
#include "test_archive_support.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::readAll;

namespace {

QByteArray latin1(const QString& text)
{
    return text.toLatin1();
}

// The real file system, slowed down, so that pages pile up behind the disk; it notes the
// threads that wrote.
class SlowFileSystem final : public lorvo::FileSystem
{
public:
    bool folderExists(const QString& p) override { return m_real.folderExists(p); }
    bool fileExists(const QString& p) override { return m_real.fileExists(p); }
    void createFolder(const QString& p) override { m_real.createFolder(p); }
    void writeFile(const QString& p, const QByteArray& b, const QDateTime& m) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        offThread = offThread || std::this_thread::get_id() != m_caller;
        m_real.writeFile(p, b, m);
    }
    QByteArray readFile(const QString& p) override { return m_real.readFile(p); }
    void deleteFile(const QString& p, bool f) override { m_real.deleteFile(p, f); }
    void deleteFolder(const QString& p, bool f) override { m_real.deleteFolder(p, f); }
    std::unique_ptr<lorvo::TextSink> createTextFile(const QString& p) override
    {
        return m_real.createTextFile(p);
    }
    void setModificationTime(const QString& p, const QDateTime& t) override
    {
        m_real.setModificationTime(p, t);
    }

    std::atomic<bool> offThread = false;

private:
    lorvo::LocalFileSystem m_real;
    std::thread::id m_caller = std::this_thread::get_id();
};

} // namespace

void ArchiveSupportTest::pageWriterKeepsTheOrder()
{
    QTemporaryDir dir;
    lorvo::test::FaultyFileSystem fs;
    fs.failBelow(dir.filePath(u"b.htm"_s), lorvo::err::PermissionDenied);
    const QDateTime date(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    QStringList events;
    const auto page = [&](const QString& name) {
        return [&events, name](std::exception_ptr failure) {
            QString event = name;
            try {
                if (failure)
                    std::rethrow_exception(failure);
            } catch (const lorvo::Error& e) {
                event += u" failed "_s + QString::number(e.number());
            }
            events.append(event);
        };
    };

    PageWriter writer(fs);
    writer.then([&] { events.append(u"at once"_s); });
    writer.write(dir.filePath(u"a.htm"_s), u"A"_s, latin1, date, page(u"a"_s));
    writer.write(dir.filePath(u"b.htm"_s), u"B"_s, latin1, date, page(u"b"_s));
    writer.then([&] { events.append(u"after b"_s); });
    writer.write(dir.filePath(u"c.htm"_s), u"C"_s, latin1, {}, page(u"c"_s));
    writer.then([&] { events.append(u"last"_s); });
    writer.finish();
    QCOMPARE(events, (QStringList{u"at once"_s, u"a"_s, u"b failed 70"_s, u"after b"_s, u"c"_s,
                                  u"last"_s}));
    QCOMPARE(readAll(dir.filePath(u"a.htm"_s)), QByteArray("A"));
    QCOMPARE(QFileInfo(dir.filePath(u"a.htm"_s)).lastModified().toUTC(), date);
    QCOMPARE(readAll(dir.filePath(u"c.htm"_s)), QByteArray("C"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"a.htm"_s, u"c.htm"_s}));
}

void ArchiveSupportTest::pageWriterHoldsFewPages()
{
    // The caller is held back while too many pages wait for the disk, so that a run holds few.
    QTemporaryDir dir;
    SlowFileSystem fs;
    PageWriter writer(fs);
    int followed = 0;
    int mostWaiting = 0;
    for (int i = 1; i <= 60; ++i) {
        writer.write(dir.filePath(QString::number(i) + u".htm"_s), u"page"_s, latin1, {},
                     [&](std::exception_ptr) { ++followed; });
        mostWaiting = std::max(mostWaiting, i - followed);
    }
    QVERIFY2(mostWaiting <= 16, qPrintable(QString::number(mostWaiting)));
    QVERIFY(mostWaiting > 1); // the pages were written meanwhile, not at once
    QVERIFY(fs.offThread);
    writer.finish();
    QCOMPARE(followed, 60);
}

void ArchiveSupportTest::pageWriterWritesWhatIsQueuedWhenItGoes()
{
    // A run that ends on an error still writes the pages it gave away; what would have followed
    // them (their lines in index.htm) does not run.
    QTemporaryDir dir;
    SlowFileSystem fs;
    bool followed = false;
    {
        PageWriter writer(fs);
        for (int i = 1; i <= 5; ++i)
            writer.write(dir.filePath(QString::number(i) + u".htm"_s), u"page"_s, latin1, {},
                         [&](std::exception_ptr) { followed = true; });
        writer.then([&] { followed = true; });
    }
    QVERIFY(!followed);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
}
