// The shared runtime's windows, offscreen: the dialogs, the program end, the window helpers and
// the guard around window event handlers.

#include "fakeoutlook.h"
#include "shared/browse.h"
#include "shared/errorhandling.h"
#include "shared/gui/handler.h"
#include "shared/gui/programend.h"
#include "shared/gui/qtdialogs.h"
#include "shared/gui/qtshell.h"
#include "shared/gui/topmost.h"
#include "shared/gui/windowhelpers.h"
#include "shared/outlooksession.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace lorvo;
using lorvo::test::TestRuntime;

namespace {

// Presses a button of the message box that is about to open.
void pressOnNextBox(QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box)
            box->button(button)->click();
    });
}

QStringList childNames(QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names.append(item->child(i)->text(0));
    return names;
}

} // namespace

class TestSharedGui : public QObject
{
    Q_OBJECT

private slots:
    void handlerKeepsFailuresFromTheEventLoop();
    void messageBoxAnswersWithThePressedButton();
    void boxClosedWithoutAButtonAnswersItsNo();
    void pickerListsStoresAndCreatesFolders();
    void pickerTellsWhenAFolderRefusesSubfolders();
    void folderBrowserAsksForTypedNames();
    void programEndClosesEveryWindow();
    void keyFilterSwallowsLetters();
    void topMostWindows();
    void shellRunsProgramsAndFindsTheBrowser();
    void backColourIsWhatLiesBehind();
};

void TestSharedGui::handlerKeepsFailuresFromTheEventLoop()
{
    TestRuntime t;
    // The end of the program passes silently.
    runHandler(*t.rt, u"frmMain.cmdExit_Click"_s, [&] { t.rt->session().subEndApplication(); });
    QVERIFY(t.end.ended);
    QVERIFY(t.dialogs.requests.isEmpty());

    // A failure is reported under the handler's name; the report's end stays inside.
    TestRuntime u;
    u.dialogs.answer(Answer::No);
    runHandler(*u.rt, u"frmMain.cmdGenerate_Click"_s,
               [] { throw Error(err::PathNotFound, u"Path not found"_s); });
    QCOMPARE(u.dialogs.messages().size(), 1);
    QVERIFY(u.rt->errors().errorText().contains(u"Sub routine : frmMain.cmdGenerate_Click \r\n"_s));
    QVERIFY(u.rt->errors().errorText().contains(u"Path not found\r\n#76"_s));
    QVERIFY(u.end.ended);

    // Anything else thrown is reported too.
    TestRuntime v;
    runHandler(*v.rt, u"frmWelcome.Form_Load"_s, [] { throw 42; });
    QCOMPARE(v.dialogs.messages().size(), 1);
    QVERIFY(v.rt->errors().errorText().contains(u"#0"_s));
    QVERIFY(v.end.ended);
}

void TestSharedGui::messageBoxAnswersWithThePressedButton()
{
    QtDialogs dialogs;
    MessageBoxRequest request;
    request.text = u"Go on?"_s;
    request.title = u"Lorvo for Outlook"_s;
    request.buttons = Buttons::YesNo;
    request.icon = Icon::Question;
    pressOnNextBox(QMessageBox::Yes);
    QCOMPARE(dialogs.messageBox(request), Answer::Yes);
    pressOnNextBox(QMessageBox::No);
    QCOMPARE(dialogs.messageBox(request), Answer::No);
    request.buttons = Buttons::RetryCancel;
    pressOnNextBox(QMessageBox::Retry);
    QCOMPARE(dialogs.messageBox(request), Answer::Retry);
}

void TestSharedGui::boxClosedWithoutAButtonAnswersItsNo()
{
    // The ways a box goes without a button: Escape, the window's close button, and taken away
    // (the end of the program hides a window that does not close).
    const std::function<void(QMessageBox*)> ways[] = {
        [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
        [](QMessageBox* box) { box->close(); },
        [](QMessageBox* box) { box->hide(); },
    };
    QtDialogs dialogs;
    MessageBoxRequest request;
    request.text = u"Do you want to exit the installation?"_s;
    request.title = u"Lorvo for Outlook"_s;
    for (const auto& way : ways) {
        for (const auto& [buttons, no] :
             {std::pair{Buttons::YesNo, Answer::No}, std::pair{Buttons::Ok, Answer::Ok},
              std::pair{Buttons::OkCancel, Answer::Cancel}}) {
            request.buttons = buttons;
            QTimer::singleShot(0, [&way] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    way(box);
            });
            QCOMPARE(dialogs.messageBox(request), no);
        }
    }
}

void TestSharedGui::pickerListsStoresAndCreatesFolders()
{
    TestRuntime t;
    t.rt->session().subConnectOutlook(outlook::olFolderInbox);
    outlook::NameSpace& ns = *t.rt->session().goNameSpace;
    OutlookFolderPicker picker(ns, t.dialogs);

    QTreeWidget* tree = picker.tree();
    QStringList stores;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        stores.append(tree->topLevelItem(i)->text(0));
    QStringList expected;
    for (int i = 1; i <= ns.Folders()->Count(); ++i)
        expected.append(ns.Folders()->Item(i)->Name());
    QCOMPARE(stores, expected);
    QVERIFY(stores.contains(u"Public Folders"_s));

    QVERIFY(picker.selectPath(u"\\\\Public Folders\\All Public Folders"_s));
    QCOMPARE(picker.selectedFolder()->Name(), u"All Public Folders"_s);

    t.dialogs.answerInput(u"Knowledge Base"_s);
    picker.findChild<QPushButton*>(u"cmdNew"_s)->click();
    QCOMPARE(picker.selectedFolder()->Name(), u"Knowledge Base"_s);
    QCOMPARE(childNames(tree->currentItem()->parent()), QStringList{u"Knowledge Base"_s});
    const auto stored =
        lorvo::test::folderAtPath(ns, u"\\\\Public Folders\\All Public Folders\\Knowledge Base"_s);
    QVERIFY(stored);
    QCOMPARE(stored->EntryID(), picker.selectedFolder()->EntryID());

    // Cancelling the name creates nothing.
    picker.selectPath(u"\\\\Public Folders\\All Public Folders"_s);
    t.dialogs.answerInput(QString());
    picker.newFolder();
    QCOMPARE(childNames(tree->currentItem()), QStringList{u"Knowledge Base"_s});
    QVERIFY(t.dialogs.messages().isEmpty());
}

void TestSharedGui::pickerTellsWhenAFolderRefusesSubfolders()
{
    TestRuntime t;
    t.rt->session().subConnectOutlook(outlook::olFolderInbox);
    outlook::NameSpace& ns = *t.rt->session().goNameSpace;
    OutlookFolderPicker picker(ns, t.dialogs);
    QVERIFY(picker.selectPath(u"\\\\Public Folders"_s));
    t.dialogs.answerInput(u"Refused"_s);
    picker.newFolder();
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.startsWith(u"Cannot create the folder.\r\n"_s));
    QCOMPARE(messages[0].icon, Icon::Critical);
    QCOMPARE(picker.selectedFolder()->Name(), u"Public Folders"_s);
}

void TestSharedGui::folderBrowserAsksForTypedNames()
{
    TestRuntime t;
    const QString base = QDir::toNativeSeparators(t.path(u"base"_s));
    QDir().mkpath(base);
    FolderBrowser logic(*t.rt);

    FolderBrowseRequest request;
    request.title = u"Choose the installation folder"_s;
    request.startFolder = base;
    request.onTypedNameInvalid = [&](const QString& current, const QString& typed) {
        return logic.onTypedNameInvalid(current, typed);
    };
    FolderBrowseDialog dialog(request);
    QCOMPARE(dialog.selectedFolder(), base);
    QCOMPARE(dialog.statusText(), base);

    auto* edit = dialog.findChild<QLineEdit*>(u"txtFolder"_s);
    QVERIFY(edit);
    t.dialogs.answer(Answer::Yes);
    edit->setText(u"Lorvo"_s);
    dialog.accept();
    const QString created = base + QDir::separator() + u"Lorvo"_s;
    QVERIFY(QFileInfo(created).isDir());
    QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open
    QCOMPARE(dialog.selectedFolder(), created);
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(t.dialogs.messages().size(), 1);

    // An existing typed folder is chosen at once.
    edit->setText(base);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.chosenFolder(), base);
    QCOMPARE(t.dialogs.messages().size(), 1);
}

void TestSharedGui::programEndClosesEveryWindow()
{
    // A window whose close handler ends the program again, as the archive window does.
    class EndingWindow final : public QWidget
    {
    public:
        explicit EndingWindow(ProgramEnd& end) : m_end(end) {}
        int closes = 0;

    protected:
        void closeEvent(QCloseEvent* event) override
        {
            ++closes;
            m_end.endProgram(0);
            event->accept();
        }

    private:
        ProgramEnd& m_end;
    };

    class RefusingWindow final : public QWidget
    {
    protected:
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    };

    QtProgramEnd end;
    EndingWindow first(end);
    QWidget second;
    RefusingWindow refusing;
    first.show();
    second.show();
    refusing.show();
    QVERIFY(!end.hasEnded());
    end.endProgram(3);
    QVERIFY(end.hasEnded());
    QCOMPARE(end.exitCode(), 3);
    QVERIFY(!first.isVisible());
    QVERIFY(!second.isVisible());
    QVERIFY(!refusing.isVisible());
    QCOMPARE(first.closes, 1);
}

void TestSharedGui::keyFilterSwallowsLetters()
{
    QLineEdit edit;
    NumericKeyFilter::install(&edit);
    QTest::keyClicks(&edit, u"1a2b-3"_s);
    QCOMPARE(edit.text(), u"123"_s);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), u"12"_s);
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), u"1"_s);

    QLineEdit decimal;
    NumericKeyFilter::install(&decimal, int('.'));
    QTest::keyClicks(&decimal, u"1.5x"_s);
    QCOMPARE(decimal.text(), u"1.5"_s);
}

void TestSharedGui::topMostWindows()
{
    QWidget window;
    window.show();
    MakeTopMost(&window);
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    MakeNormal(&window);
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
}

void TestSharedGui::backColourIsWhatLiesBehind()
{
    subInitCommonControls();
    QWidget behind;
    behind.resize(200, 100);
    QPalette palette = behind.palette();
    palette.setColor(QPalette::Window, QColor(10, 120, 200));
    behind.setPalette(palette);
    behind.setAutoFillBackground(true);
    QLabel label(u"Collapse"_s, &behind);
    label.setGeometry(20, 20, 80, 20);
    QPalette own = label.palette();
    own.setColor(QPalette::Window, Qt::white);
    label.setPalette(own);
    label.setAutoFillBackground(true);
    behind.show();

    subApplyBackColorToControl(&label);
    QCOMPARE(label.palette().color(label.backgroundRole()), QColor(10, 120, 200));
    QVERIFY(label.autoFillBackground());
    QVERIFY(label.isVisible());
    QCOMPARE(label.geometry(), QRect(20, 20, 80, 20));
}

void TestSharedGui::shellRunsProgramsAndFindsTheBrowser()
{
    QtShell shell;
    QTemporaryDir dir;
    QCOMPARE(shell.open(dir.filePath(u"missing.htm"_s), WindowStyle::Normal), 2);
    QCOMPARE(shell.open(QString(), WindowStyle::Normal), 2);
    try {
        shell.run(u"\""_s + dir.filePath(u"no program"_s) + u"\" -x"_s, WindowStyle::Normal);
        QFAIL("a missing program was started");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::FileNotFound);
    }
    if constexpr (!kWindows) {
        const QString sh = QStandardPaths::findExecutable(u"sh"_s);
        QVERIFY(!sh.isEmpty());
        shell.run(u"\""_s + sh + u"\" -c true"_s, WindowStyle::Normal);

        const QByteArray saved = qgetenv("BROWSER");
        qputenv("BROWSER", "sh:other");
        QCOMPARE(browserFromCommand(shell.browserCommand()), sh);
        if (saved.isNull())
            qunsetenv("BROWSER");
        else
            qputenv("BROWSER", saved);
    }
}

QTEST_MAIN(TestSharedGui)
#include "test_shared_gui.moc"
