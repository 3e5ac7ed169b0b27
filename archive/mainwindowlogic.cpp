#include "archive/mainwindowlogic.h"

#include "archive/imaging.h"
#include "archive/settings.h"
#include "shared/browse.h"
#include "shared/errorhandling.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

const QString kSection = u"Settings"_s;
const QString kCancel = u"Cancel.."_s;

// A stored whole number in [low, high]; anything else (text, fractions, out of range) gives the
// default, so that one bad value never stops the program at every start.
int wholeNumber(const QString& text, int defaultValue, int low, int high)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= low && n <= high ? n : defaultValue;
}

} // namespace

bool isStartNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

MainWindowLogic::MainWindowLogic(Runtime& rt, Settings& settings, ImageCodec& codec,
                                 ArticleCollection& collection, ArticleGenerator* flat,
                                 ArticleGenerator* outline)
    : m_rt(rt), m_settings(settings), m_codec(codec), m_flat(flat), m_outline(outline),
      m_collection(collection)
{
}

void MainWindowLogic::render()
{
    if (m_view)
        m_view->render();
}

void MainWindowLogic::formLoad()
{
    if (!m_codec.startup()) {
        const Answer answer = m_rt.msgBox(
            u"You don't seem to have GDI+ installed! It is required for the Archive tool to "
            u"work.\r\n\r\nDo you want to download it Now?"_s,
            Buttons::YesNo, Icon::None, {}, ownerWindow());
        if (answer == Answer::Yes)
            m_rt.files().subExecute(imagingDownloadAddress(), QString(), QString());
        m_rt.session().subEndApplication();
    }
    m_codecStarted = true;
    m_rt.files().subSetupFS();
    subSetCaptions();
    subPopulateLists();
}

void MainWindowLogic::formUnload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_cancel = true;
    if (m_codecStarted) {
        m_codec.shutdown();
        m_codecStarted = false;
    }
    // Already ending (Exit, or a start-up that stopped): Exit stored the settings, and a start-up
    // that never loaded them must not store the design state over the user's values.
    if (m_rt.programEnd().hasEnded())
        return;
    if (m_settingsLoaded)
        subSaveCaptions();
    m_rt.session().subEndApplication();
}

void MainWindowLogic::cmdExitClick()
{
    m_cancel = true;
    if (m_settingsLoaded)
        subSaveCaptions();
    m_unloaded = true;
    if (m_codecStarted) {
        m_codec.shutdown();
        m_codecStarted = false;
    }
    m_rt.session().subEndApplication();
}

void MainWindowLogic::cmdGenerateClick()
{
    if (m_state.generateCaption != kGenerateCaption) {
        m_cancel = true;
        m_state.generateCaption = kGenerateCaption;
        m_state.stopping = m_running;
        render();
        return;
    }
    // The cancelled run is still finishing inside its yield: a second run must not start there.
    if (m_running || !m_state.generateEnabled)
        return;
    ArticleGenerator* generator = m_state.group == 0 ? m_outline : m_flat;
    if (!generator)
        return;

    m_state.generateCaption = kCancel;
    m_running = true;
    render();
    struct RunEnd
    {
        MainWindowLogic& logic;
        ~RunEnd()
        {
            logic.m_running = false;
            logic.m_state.stopping = false;
            logic.m_state.generateCaption = kGenerateCaption;
            logic.render();
        }
    } runEnd{*this};
    generator->generate(*this);
}

void MainWindowLogic::cmdBrowseDestinationClick()
{
    FolderBrowser browser(m_rt);
    browser.startFolder = m_state.destination;
    const QString path = browser.Folder_Browse(
        ownerWindow(), u"Please select a valid file folder to place all the generated webpages."_s,
        0);
    if (path.trimmed().isEmpty())
        return;
    m_state.destination = path;
    render();
}

void MainWindowLogic::lblWebLinkClick()
{
    m_rt.files().subExecute(vendorWebAddress(), QString(), QString());
}

void MainWindowLogic::checkClick(Check check, int value)
{
    m_state.check(check).value = value;
    runCheckHandler(check);
    render();
}

void MainWindowLogic::setCheck(Check check, int value)
{
    CheckBoxState& box = m_state.check(check);
    if (box.value == value)
        return;
    box.value = value;
    runCheckHandler(check);
}

void MainWindowLogic::runCheckHandler(Check check)
{
    CheckBoxState& box = m_state.check(check);
    switch (check) {
    case Check::ExtractIndexPage:
        m_state.groupEnabled = {box.value != 0, box.value != 0};
        break;
    case Check::Collapse:
        m_state.check(Check::CollapseInitially).enabled = box.value == 1;
        break;
    case Check::SelectAllCategory:
    case Check::SelectAllType: {
        ArticleList& entries =
            list(check == Check::SelectAllCategory ? ListId::Category : ListId::Type);
        if (entries.isEmpty())
            break;
        entries.setAllSelected(box.value != 0);
        ++m_state.listsRevision;
        break;
    }
    default:
        break;
    }
}

void MainWindowLogic::optGroupClick(int index)
{
    m_state.group = index;
    if (index != 0) {
        m_state.check(Check::Collapse).enabled = false;
        m_state.check(Check::CollapseInitially).enabled = false;
    } else {
        m_state.check(Check::Collapse).enabled = true;
        if (m_state.check(Check::Collapse).value == 1)
            m_state.check(Check::CollapseInitially).enabled = true;
    }
    render();
}

void MainWindowLogic::optNamingClick(int index)
{
    m_state.naming = index;
    render();
}

void MainWindowLogic::destinationEdited(const QString& text)
{
    m_state.destination = text;
}

void MainWindowLogic::numberingEdited(const QString& text)
{
    m_state.numbering = text;
}

void MainWindowLogic::sitemapBaseEdited(const QString& text)
{
    m_state.sitemapBase = text;
}

void MainWindowLogic::listSelectionChanged(ListId id, int row, bool selected)
{
    list(id).setSelected(row, selected);
}

ArticleList& MainWindowLogic::list(ListId id)
{
    return id == ListId::Category ? m_collection.categories : m_collection.types;
}

QString MainWindowLogic::readSetting(const QString& key, const QString& defaultValue)
{
    try {
        return m_settings.fncGetSetting(kSection, key, defaultValue);
    } catch (const Error&) {
        // An unreadable store or a value that is not text: that value's default; the others
        // restore as stored.
        return defaultValue;
    }
}

void MainWindowLogic::subSetCaptions()
{
    Trap t(m_rt, u"subSetCaptions"_s);
    t.run([&] {
        t.step(10, u"Setting the window caption"_s);
        m_state.caption = productTitle() + u" ("_s + m_rt.errors().fncAppVersion() + u')';

        t.step(20, u"Reading the stored settings"_s);
        const QString destination = readSetting(u"DestinationFolder"_s, QString());
        m_state.destination =
            !destination.isEmpty() && m_rt.fs().folderExists(destination) ? destination : QString();
        m_state.naming = wholeNumber(readSetting(u"iNamingScheme"_s, u"0"_s), 0, 0, 1);
        const QString numbering = readSetting(u"iNumbering"_s, u"1000"_s);
        m_state.numbering = isStartNumber(numbering) ? numbering : u"1000"_s;

        t.at(30);
        const auto restoreCheck = [&](Check check, const QString& key) {
            setCheck(check, wholeNumber(readSetting(key, u"1"_s), 1, 0, 2));
        };
        restoreCheck(Check::ExtractIndexPage, u"GenerateTOC"_s);
        restoreCheck(Check::Overwrite, u"OverwriteFiles"_s);
        restoreCheck(Check::Run, u"RunTOC"_s);

        t.at(40);
        optGroupClick(wholeNumber(readSetting(u"optGroup"_s, u"0"_s), 0, 0, 1));

        t.at(50);
        restoreCheck(Check::Attachments, u"chkAttachments"_s);
        restoreCheck(Check::Collapse, u"chkCollapse"_s);
        runCheckHandler(Check::Collapse);
        restoreCheck(Check::CollapseInitially, u"chkCollapseInitially"_s);

        t.at(60);
        setCheck(Check::Search, wholeNumber(readSetting(u"chkSearch"_s, u"0"_s), 0, 0, 2));
        m_state.sitemapBase = readSetting(u"SitemapBase"_s, QString());
        m_settingsLoaded = true;
        render();
    });
}

void MainWindowLogic::subSaveCaptions()
{
    Trap t(m_rt, u"subSaveCaptions"_s);
    t.run([&] {
        const auto check = [&](Check c) { return QString::number(m_state.check(c).value); };
        const std::array<QString, kSettingNames.size()> values{
            m_state.destination,
            m_state.naming == 0 ? u"0"_s : u"1"_s,
            m_state.numbering,
            check(Check::ExtractIndexPage),
            check(Check::Overwrite),
            check(Check::Run),
            m_state.group == 0 ? u"0"_s : u"1"_s,
            check(Check::Attachments),
            check(Check::Collapse),
            check(Check::CollapseInitially),
            check(Check::Search),
            m_state.sitemapBase,
        };
        for (std::size_t i = 0; i < values.size(); ++i) {
            const QString key = QString::fromLatin1(kSettingNames[i]);
            t.step(10 * int(i + 1), u"Saving the setting "_s + key);
            m_settings.subSaveSetting(kSection, key, values[i]);
        }
    });
}

void MainWindowLogic::subPopulateLists()
{
    const auto outcome = m_collection.subPopulateLists(ownerWindow());
    ++m_state.listsRevision;
    if (outcome == ArticleCollection::Outcome::NoItems) {
        m_state.groupEnabled = {false, false};
        m_state.generateEnabled = false;
        render();
        return;
    }
    if (!m_collection.categories.isEmpty()) {
        setCheck(Check::SelectAllCategory, 1);
        m_state.groupEnabled = {true, true};
    } else {
        m_state.groupEnabled[0] = false;
        optGroupClick(1);
    }
    if (!m_collection.types.isEmpty())
        setCheck(Check::SelectAllType, 1);
    render();
}

GenerationOptions MainWindowLogic::options()
{
    GenerationOptions o;
    o.destination = m_state.destination;
    o.namingScheme = m_state.naming;
    o.numbering = m_state.numbering;
    o.generateToc = m_state.check(Check::ExtractIndexPage).value;
    o.overwrite = m_state.check(Check::Overwrite).value;
    o.runToc = m_state.check(Check::Run).value;
    o.groupIndex = m_state.group;
    o.attachments = m_state.check(Check::Attachments).value;
    o.collapse = m_state.check(Check::Collapse).value;
    o.collapseInitially = m_state.check(Check::CollapseInitially).value;
    o.search = m_state.check(Check::Search).value;
    o.sitemapBase = m_state.sitemapBase;
    return o;
}

QList<ListEntry> MainWindowLogic::categories()
{
    return m_collection.categories.entries();
}

QList<ListEntry> MainWindowLogic::types()
{
    return m_collection.types.entries();
}

void MainWindowLogic::processEvents()
{
    if (m_view)
        m_view->processEvents();
}

void MainWindowLogic::setGenerateCaption(const QString& caption)
{
    m_state.generateCaption = caption;
    render();
}

void MainWindowLogic::beginProgress(int maximum)
{
    m_state.progressVisible = true;
    m_state.progressMaximum = maximum;
    m_state.progressValue = 0;
    render();
}

void MainWindowLogic::setProgress(int value)
{
    m_state.progressValue = value;
    render();
}

void MainWindowLogic::endProgress()
{
    m_state.progressVisible = false;
    render();
}

QObject* MainWindowLogic::ownerWindow()
{
    return m_view ? m_view->window() : nullptr;
}

void MainWindowLogic::reportLeftOut(const QList<LeftOutArticle>& articles)
{
    if (onLeftOut) {
        onLeftOut(articles);
        return;
    }
    // A box of reasonable height: the first articles, and how many more there are.
    constexpr qsizetype kShown = 15;
    QStringList lines{u"These articles were left out, because their pages could not be written:"_s,
                      QString()};
    for (qsizetype i = 0; i < articles.size() && i < kShown; ++i)
        lines.append(u"- "_s + articles.at(i).subject + u" ("_s + articles.at(i).reason + u')');
    if (articles.size() > kShown)
        lines.append(u"... and %1 more."_s.arg(articles.size() - kShown));
    m_rt.msgBox(lines.join(u"\r\n"_s), Buttons::Ok, Icon::Exclamation, {}, ownerWindow());
}

} // namespace lorvo::archive
