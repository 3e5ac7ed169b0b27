#include "archive/gui/frmmain.h"

#include "shared/gui/handler.h"
#include "shared/gui/windowhelpers.h"
#include "shared/runtime.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

template <class W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* label(const QString& name, const QString& text)
{
    return named(new QLabel(text), name);
}

// Sets a widget's value only when it differs, so that rendering never moves a user's caret.
void setText(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

Qt::CheckState toQt(int value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

FrmMain::FrmMain(MainWindowLogic& logic, QWidget* parent) : QWidget(parent), m_logic(logic)
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(logic.state().caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();
    m_logic.setView(this);
    render();
}

FrmMain::~FrmMain()
{
    m_logic.setView(nullptr);
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
}

void FrmMain::handle(const QString& procedure, const std::function<void()>& body)
{
    runHandler(m_logic.runtime(), procedure, body);
}

void FrmMain::buildControls()
{
    auto* root = new QVBoxLayout(this);
    buildDestination(root);
    root->addWidget(buildLists(), 1);
    auto* options = new QHBoxLayout;
    options->addWidget(buildTocFrame());
    auto* rightColumn = new QVBoxLayout;
    rightColumn->addWidget(buildNamingFrame());
    rightColumn->addWidget(buildOtherSettings());
    options->addLayout(rightColumn);
    root->addLayout(options);
    root->addWidget(buildBottomStrip());
    resize(620, 600);
}

// Top: the explanation and the destination.
void FrmMain::buildDestination(QVBoxLayout* root)
{
    root->addWidget(label(u"Label1"_s, u"This tool archives KB items from the public folder into "
                                       u"webpages ready for publication."_s));
    root->addWidget(label(u"Label2"_s, u"Select the folder to place the web pages."_s));
    auto* destinationRow = new QHBoxLayout;
    m_destination = named(new QLineEdit, u"txtDestination"_s);
    auto* browse = named(new QPushButton(u"..."_s), u"cmdBrowseDestination"_s);
    browse->setFixedWidth(32);
    destinationRow->addWidget(m_destination);
    destinationRow->addWidget(browse);
    root->addLayout(destinationRow);
    connect(m_destination, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_logic.destinationEdited(text); });
    connect(browse, &QPushButton::clicked, this, [this] {
        handle(u"frmMain.cmdBrowseDestination_Click"_s,
               [this] { m_logic.cmdBrowseDestinationClick(); });
    });
}

QCheckBox* FrmMain::makeCheck(Check check, const QString& name, const QString& text)
{
    auto* box = named(new QCheckBox(text), name);
    m_checks[std::size_t(check)] = box;
    connect(box, &QCheckBox::clicked, this, [this, check, box] {
        handle(u"frmMain."_s + box->objectName() + u"_Click"_s, [this, check, box] {
            m_logic.checkClick(check, box->checkState() == Qt::Unchecked ? 0 : 1);
        });
    });
    return box;
}

QListWidget* FrmMain::makeList(ListId id, const QString& name)
{
    auto* list = named(new QListWidget, name);
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, id](const QItemSelection& selected, const QItemSelection& deselected) {
                if (m_rendering)
                    return;
                for (const QModelIndex& index : selected.indexes())
                    m_logic.listSelectionChanged(id, index.row(), true);
                for (const QModelIndex& index : deselected.indexes())
                    m_logic.listSelectionChanged(id, index.row(), false);
            });
    return list;
}

// An option pair sharing one name, each button telling its position by the property "index".
void FrmMain::makeOptions(std::array<QRadioButton*, 2>& options, const QString& name,
                          const std::array<QString, 2>& captions,
                          void (MainWindowLogic::*click)(int))
{
    for (int i = 0; i < 2; ++i) {
        auto* option = named(new QRadioButton(captions[std::size_t(i)]), name);
        option->setProperty("index", i);
        options[std::size_t(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, name, click, i] {
            handle(u"frmMain."_s + name + u"_Click"_s, [this, click, i] { (m_logic.*click)(i); });
        });
    }
}

// The categories and types.
QWidget* FrmMain::buildLists()
{
    auto* select = named(new QGroupBox(u"Select Problem Categories && Types"_s), u"frameSelect"_s);
    auto* selectGrid = new QGridLayout(select);
    m_categories = makeList(ListId::Category, u"lstProblemCategory"_s);
    m_types = makeList(ListId::Type, u"lstProblemType"_s);
    auto* categoryTitle = new QHBoxLayout;
    categoryTitle->addWidget(makeCheck(Check::SelectAllCategory, u"chkSelectAllCategory"_s, {}));
    categoryTitle->addWidget(label(u"Label4"_s, u"Problem Category"_s), 1);
    auto* typeTitle = new QHBoxLayout;
    typeTitle->addWidget(makeCheck(Check::SelectAllType, u"chkSelectAllType"_s, {}));
    typeTitle->addWidget(label(u"Label5"_s, u"Problem Type"_s), 1);
    selectGrid->addLayout(categoryTitle, 0, 0);
    selectGrid->addLayout(typeTitle, 0, 1);
    selectGrid->addWidget(m_categories, 1, 0);
    selectGrid->addWidget(m_types, 1, 1);
    return select;
}

// The table of contents: the frame's title is its check box.
QWidget* FrmMain::buildTocFrame()
{
    auto* toc = named(new QGroupBox, u"fTOC"_s);
    auto* tocLayout = new QVBoxLayout(toc);
    tocLayout->addWidget(makeCheck(Check::ExtractIndexPage, u"chkExtractIndexPage"_s,
                                   u"Generate Table of Content (index.htm)"_s));
    tocLayout->addWidget(label(u"Label3"_s, u"Group generated web KB Articles by"_s));
    makeOptions(m_group, u"optGroup"_s, {u"Problem Category && Type"_s, u"None"_s},
                &MainWindowLogic::optGroupClick);
    for (QRadioButton* option : m_group)
        tocLayout->addWidget(option);
    tocLayout->addWidget(makeCheck(Check::Collapse, u"chkCollapse"_s, u"Collapsible Outline"_s));
    tocLayout->addWidget(
        makeCheck(Check::CollapseInitially, u"chkCollapseInitially"_s, u"Collapse Initially"_s));
    tocLayout->addStretch();
    return toc;
}

QWidget* FrmMain::buildNamingFrame()
{
    auto* naming = named(new QGroupBox(u"Naming scheme of webpage"_s), u"fNaming"_s);
    auto* namingLayout = new QGridLayout(naming);
    makeOptions(m_naming, u"optNaming"_s, {u"Use subject"_s, u"Use incremental numbering"_s},
                &MainWindowLogic::optNamingClick);
    for (int i = 0; i < 2; ++i)
        namingLayout->addWidget(m_naming[std::size_t(i)], i, 0);
    m_numbering = named(new QLineEdit, u"txtNumbering"_s);
    m_numbering->setMaxLength(5);
    m_numbering->setFixedWidth(60);
    NumericKeyFilter::install(m_numbering);
    namingLayout->addWidget(m_numbering, 1, 1);
    connect(m_numbering, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_logic.numberingEdited(text); });
    return naming;
}

QWidget* FrmMain::buildOtherSettings()
{
    auto* other = named(new QGroupBox(u"Other Settings"_s), u"frameOtherSettings"_s);
    auto* otherLayout = new QVBoxLayout(other);
    otherLayout->addWidget(
        makeCheck(Check::Attachments, u"chkAttachments"_s, u"Include Attachments"_s));
    otherLayout->addWidget(makeCheck(Check::Run, u"chkRun"_s, u"Run index.htm when done"_s));
    otherLayout->addWidget(makeCheck(Check::Overwrite, u"chkOverwrite"_s, u"Overwrite files"_s));
    otherLayout->addWidget(makeCheck(Check::Search, u"chkSearch"_s, u"Add a search page"_s));
    auto* sitemapLabel = label(u"lblSitemapBase"_s, u"Sitemap base address:"_s);
    m_sitemapBase = named(new QLineEdit, u"txtSitemapBase"_s);
    m_sitemapBase->setPlaceholderText(u"https://intranet.example.com/kb/"_s);
    m_sitemapBase->setToolTip(u"The web address the site is published at. When given, "
                              u"sitemap.xml lists every page under it."_s);
    sitemapLabel->setBuddy(m_sitemapBase);
    otherLayout->addWidget(sitemapLabel);
    otherLayout->addWidget(m_sitemapBase);
    connect(m_sitemapBase, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_logic.sitemapBaseEdited(text); });
    return other;
}

QWidget* FrmMain::buildBottomStrip()
{
    auto* bottom = named(new QWidget, u"frameBottom"_s);
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    m_webLink = named(new QLabel, u"lblWebLink"_s);
    m_webLink->setText(u"<a href=\"%1\">%1</a>"_s.arg(vendorWebAddress().toHtmlEscaped()));
    m_webLink->setTextInteractionFlags(Qt::NoTextInteraction);
    m_webLink->setCursor(Qt::PointingHandCursor);
    m_webLink->installEventFilter(this);
    m_progress = named(new QProgressBar, u"pb"_s);
    m_progress->setVisible(false);
    m_generate = named(new QPushButton(kGenerateCaption), u"cmdGenerate"_s);
    auto* exit = named(new QPushButton(u"Exit"_s), u"cmdExit"_s);
    bottomLayout->addWidget(m_webLink);
    bottomLayout->addWidget(m_progress, 1);
    bottomLayout->addStretch();
    bottomLayout->addWidget(m_generate);
    bottomLayout->addWidget(exit);
    connect(m_generate, &QPushButton::clicked, this, [this] {
        handle(u"frmMain.cmdGenerate_Click"_s, [this] { m_logic.cmdGenerateClick(); });
    });
    connect(exit, &QPushButton::clicked, this,
            [this] { handle(u"frmMain.cmdExit_Click"_s, [this] { m_logic.cmdExitClick(); }); });
    return bottom;
}

bool FrmMain::load()
{
    handle(u"frmMain.Form_Load"_s, [this] { m_logic.formLoad(); });
    return !m_logic.runtime().programEnd().hasEnded();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    handle(u"frmMain.Form_Unload"_s, [this] { m_logic.formUnload(); });
    event->accept();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_webLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        handle(u"frmMain.lblWebLink_Click"_s, [this] { m_logic.lblWebLinkClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::render()
{
    const MainState& s = m_logic.state();
    m_rendering = true;
    setWindowTitle(s.caption);
    setText(m_destination, s.destination);
    setText(m_numbering, s.numbering);
    setText(m_sitemapBase, s.sitemapBase);
    for (int i = 0; i < 2; ++i) {
        m_group[std::size_t(i)]->setChecked(s.group == i);
        m_group[std::size_t(i)]->setEnabled(s.groupEnabled[std::size_t(i)]);
        m_naming[std::size_t(i)]->setChecked(s.naming == i);
    }
    for (int i = 0; i < kCheckCount; ++i) {
        QCheckBox* box = m_checks[std::size_t(i)];
        const CheckBoxState& state = s.checks[std::size_t(i)];
        box->setTristate(state.value == 2);
        box->setCheckState(toQt(state.value));
        box->setEnabled(state.enabled);
    }
    m_generate->setText(s.generateCaption);
    m_generate->setEnabled(s.generateEnabled && !s.stopping);
    m_progress->setVisible(s.progressVisible);
    if (s.progressVisible) {
        m_progress->setMaximum(s.progressMaximum);
        m_progress->setValue(s.progressValue);
    }
    if (s.progressVisible != m_busyCursor) {
        m_busyCursor = s.progressVisible;
        if (m_busyCursor)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    if (m_renderedLists != s.listsRevision) {
        m_renderedLists = s.listsRevision;
        renderLists();
    }
    m_rendering = false;
}

void FrmMain::renderLists()
{
    renderList(m_categories, m_logic.collection().categories);
    renderList(m_types, m_logic.collection().types);
}

void FrmMain::renderList(QListWidget* widget, const ArticleList& list)
{
    const QStringList texts = list.texts();
    bool sameTexts = widget->count() == texts.size();
    for (int row = 0; sameTexts && row < texts.size(); ++row)
        sameTexts = widget->item(row)->text() == texts[row];
    if (!sameTexts) {
        widget->clear();
        widget->addItems(texts);
    }
    // One range per run of selected rows keeps long lists quick.
    QItemSelection selection;
    const QList<ListEntry>& entries = list.entries();
    const auto rows = int(entries.size());
    for (int row = 0; row < rows;) {
        if (!entries[row].selected) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < rows && entries[row].selected)
            ++row;
        selection.select(widget->model()->index(first, 0), widget->model()->index(row - 1, 0));
    }
    widget->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void FrmMain::processEvents()
{
    QCoreApplication::processEvents();
}

} // namespace lorvo::archive
