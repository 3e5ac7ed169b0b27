#include "shared/rtf/htmlwriter.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace lorvo::rtf::detail {

namespace {

const QString kBreak = u"<br>\r\n"_s;
constexpr int kMaxListLevel = 8;

void appendEscaped(QString& out, QStringView text)
{
    qsizetype done = 0; // text before this is in out
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        QLatin1StringView replacement;
        switch (c) {
        case u'&':
            replacement = "&amp;"_L1;
            break;
        case u'<':
            replacement = "&lt;"_L1;
            break;
        case u'>':
            replacement = "&gt;"_L1;
            break;
        case u'"':
            replacement = "&quot;"_L1;
            break;
        case u'\'':
            replacement = "&#39;"_L1;
            break;
        default:
            // Control characters but the tab have no place in a page.
            if ((c >= 0x20 && c != 0x7F) || c == u'\t')
                continue;
            break;
        }
        out += text.mid(done, i - done);
        out += replacement;
        done = i + 1;
    }
    out += text.mid(done);
}

QString escaped(QStringView text)
{
    QString out;
    appendEscaped(out, text);
    return out;
}

bool hasVisibleText(QStringView text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return !c.isSpace() && c.unicode() >= 0x20; });
}

QString pointSize(int halfPoints)
{
    return QString::number(halfPoints / 2) + (halfPoints % 2 ? u".5pt"_s : u"pt"_s);
}

// What a list marker says: a number ("3." "3)" "3"), a bullet (one character), or anything else
// ("a)", "iv.", "1.2."), which is kept as text.
struct Marker
{
    enum Kind { Bullet, Number, Other } kind = Bullet;
    int number = 0;
    QString text;
};

Marker classify(const QString& marker)
{
    Marker m;
    m.text = marker.simplified();
    m.text.remove(u'\u00A0');
    if (m.text.isEmpty())
        return m;
    QStringView digits = m.text;
    if (digits.endsWith(u'.') || digits.endsWith(u')'))
        digits.chop(1);
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (ok && number >= 0 && !digits.isEmpty() && digits.front().isDigit()) {
        m.kind = Marker::Number;
        m.number = number;
        return m;
    }
    const bool oneCharacter = m.text.size() == 1 || (m.text.size() == 2 && m.text[0].isSurrogate());
    m.kind = oneCharacter && !m.text[0].isDigit() ? Marker::Bullet : Marker::Other;
    return m;
}

QString listTag(const Marker& marker)
{
    switch (marker.kind) {
    case Marker::Number:
        return u"<ol>"_s;
    case Marker::Other:
        return u"<ul style=\"list-style-type:none\">"_s;
    case Marker::Bullet:
        break;
    }
    const char16_t c = marker.text.isEmpty() ? u'\u2022' : marker.text[0].unicode();
    switch (c) {
    case u'o':
    case u'\u25CB': // white circle
    case u'\u25E6': // white bullet
        return u"<ul style=\"list-style-type:circle\">"_s;
    case u'\u25AA': // small black square
    case u'\u25A0': // black square
    case u'\u00A7': // Wingdings' square read as a letter
        return u"<ul style=\"list-style-type:square\">"_s;
    default:
        return u"<ul>"_s;
    }
}

} // namespace

void HtmlWriter::openRun(const TextStyle& style, const Link* link)
{
    const int linkId = link ? link->id : -1;
    if (linkId != m_linkId) {
        closeRun();
        closeLink();
        m_linkId = linkId;
        if (link && linkId > m_lastLink) {
            m_lastLink = linkId;
            m_para += u"<a href=\""_s + escaped(link->href) + u"\">"_s;
            m_linkOpen = true;
        }
    }
    if (m_runOpen && style == m_runStyle)
        return;
    closeRun();
    QString open;
    if (style.bold) {
        open += "<b>"_L1;
        m_runClose.prepend("</b>"_L1);
    }
    if (style.italic) {
        open += "<i>"_L1;
        m_runClose.prepend("</i>"_L1);
    }
    if (style.underline) {
        open += "<u>"_L1;
        m_runClose.prepend("</u>"_L1);
    }
    if (style.strike) {
        open += "<s>"_L1;
        m_runClose.prepend("</s>"_L1);
    }
    if (style.vertical != 0) {
        open += style.vertical > 0 ? "<sup>"_L1 : "<sub>"_L1;
        m_runClose.prepend(style.vertical > 0 ? "</sup>"_L1 : "</sub>"_L1);
    }
    QStringList css;
    if (style.halfPoints != TextStyle().halfPoints)
        css += u"font-size:"_s + pointSize(style.halfPoints);
    // Black is the page's own colour; Word names it for every run.
    if (style.color > 0)
        css += u"color:#"_s + QString::number(style.color, 16).rightJustified(6, u'0');
    if (!css.isEmpty()) {
        open += u"<span style=\""_s + css.join(u';') + u"\">"_s;
        m_runClose.prepend("</span>"_L1);
    }
    m_para += open;
    m_runOpen = true;
    m_runStyle = style;
}

void HtmlWriter::closeRun()
{
    m_para += m_runClose;
    m_runClose.clear();
    m_runOpen = false;
}

void HtmlWriter::closeLink()
{
    if (m_linkOpen)
        m_para += "</a>"_L1;
    m_linkOpen = false;
    m_linkId = -1;
}

void HtmlWriter::text(QStringView text, const TextStyle& style, const Link* link)
{
    if (text.isEmpty())
        return;
    openRun(style, link);
    appendEscaped(m_para, text);
    m_paraContent = m_paraContent || hasVisibleText(text);
}

void HtmlWriter::picture(QByteArrayView mimeType, const QByteArray& data, int width, int height,
                         const TextStyle& style, const Link* link)
{
    openRun(style, link);
    m_para += "<img"_L1;
    if (width > 0)
        m_para += u" width="_s + QString::number(width);
    if (height > 0)
        m_para += u" height="_s + QString::number(height);
    m_para += u" src=\"data:"_s + QString::fromLatin1(mimeType) + u";base64,"_s +
              QString::fromLatin1(data.toBase64()) + u"\">"_s;
    m_paraContent = true;
}

void HtmlWriter::lineBreak()
{
    m_para += kBreak;
}

void HtmlWriter::endParagraph(const ParagraphStyle& style)
{
    closeRun();
    closeLink();
    const QString content = std::exchange(m_para, QString());
    const bool hasContent = std::exchange(m_paraContent, false);
    const QString marker = std::exchange(m_marker, QString());
    if (style.inTable) {
        cellParagraph(content, hasContent);
        return;
    }
    flushRow();
    if (m_block == Block::Table)
        closeBlock();
    if (style.list || hasVisibleText(marker))
        listItem(content, marker, style.level);
    else
        line(content, hasContent, style.align);
}

void HtmlWriter::endCell(const ParagraphStyle& style)
{
    ParagraphStyle inCell = style;
    inCell.inTable = true;
    endParagraph(inCell);
    // Blank paragraphs at a cell's edges go; the cell keeps a blank so that it is drawn.
    qsizetype first = 0;
    qsizetype end = m_cellLines.size();
    while (first < end && m_cellLines[first].isEmpty())
        ++first;
    while (end > first && m_cellLines[end - 1].isEmpty())
        --end;
    m_rowCells += first == end ? u"&nbsp;"_s : m_cellLines.mid(first, end - first).join(kBreak);
    m_cellLines.clear();
}

void HtmlWriter::endRow(bool bordered)
{
    if (!m_cellLines.isEmpty())
        endCell(ParagraphStyle{});
    if (m_rowCells.isEmpty())
        return;
    if (m_block != Block::Table) {
        closeBlock();
        openBlock(Block::Table);
        m_body += bordered ? "<table border=1 cellspacing=0 cellpadding=4>"_L1
                           : "<table cellspacing=0 cellpadding=4>"_L1;
    }
    m_body += "\r\n<tr>"_L1;
    for (const QString& cell : std::as_const(m_rowCells))
        m_body += u"\r\n<td>"_s + cell + u"</td>"_s;
    m_body += "\r\n</tr>"_L1;
    m_rowCells.clear();
    m_rowBordered = bordered;
}

void HtmlWriter::flushRow()
{
    // Cells that no \row closed (a cut-off table, or text after the cells).
    if (!m_cellLines.isEmpty() || !m_rowCells.isEmpty())
        endRow(m_rowBordered);
}

void HtmlWriter::cellParagraph(const QString& content, bool hasContent)
{
    m_cellLines += hasContent ? content : QString();
}

void HtmlWriter::openBlock(Block block)
{
    if (!m_body.isEmpty())
        m_body += "\r\n"_L1;
    m_block = block;
    m_pendingBreaks = 0;
}

void HtmlWriter::closeBlock()
{
    switch (m_block) {
    case Block::None:
        break;
    case Block::Lines:
        m_body += "</p>"_L1;
        break;
    case Block::List:
        while (!m_lists.empty())
            closeList();
        break;
    case Block::Table:
        flushRow();
        m_body += "\r\n</table>"_L1;
        break;
    }
    m_block = Block::None;
    m_pendingBreaks = 0;
}

void HtmlWriter::line(const QString& content, bool hasContent, Align align)
{
    if (!hasContent) {
        if (m_block == Block::Lines)
            ++m_pendingBreaks;
        return;
    }
    if (m_block == Block::Lines && m_align == align) {
        for (int i = 0; i <= m_pendingBreaks; ++i)
            m_body += kBreak;
        m_pendingBreaks = 0;
    } else {
        closeBlock();
        openBlock(Block::Lines);
        m_align = align;
        switch (align) {
        case Align::Left:
            m_body += "<p>"_L1;
            break;
        case Align::Center:
            m_body += "<p align=center>"_L1;
            break;
        case Align::Right:
            m_body += "<p align=right>"_L1;
            break;
        case Align::Justify:
            m_body += "<p align=justify>"_L1;
            break;
        }
    }
    m_body += content;
}

void HtmlWriter::listItem(const QString& content, const QString& markerText, int level)
{
    const Marker marker = classify(markerText);
    const QString tag = listTag(marker);
    const size_t depth = size_t(std::clamp(level, 0, kMaxListLevel)) + 1;
    if (m_block != Block::List) {
        closeBlock();
        openBlock(Block::List);
    }
    while (m_lists.size() > depth)
        closeList();
    if (m_lists.size() == depth && m_lists.back().tag != tag)
        closeList();
    while (m_lists.size() < depth) {
        if (!m_body.isEmpty() && !m_body.endsWith(u'\n'))
            m_body += "\r\n"_L1;
        m_body += tag;
        m_lists.push_back({tag.startsWith("<ol"_L1) ? u"</ol>"_s : u"</ul>"_s, tag});
    }
    OpenList& list = m_lists.back();
    if (list.itemOpen)
        m_body += "</li>"_L1;
    m_body += "\r\n<li"_L1;
    if (marker.kind == Marker::Number && marker.number != list.next)
        m_body += u" value="_s + QString::number(marker.number);
    m_body += u'>';
    if (marker.kind == Marker::Number)
        list.next = marker.number + 1;
    if (marker.kind == Marker::Other)
        m_body += escaped(marker.text) + u' ';
    m_body += content;
    list.itemOpen = true;
}

void HtmlWriter::closeList()
{
    if (m_lists.back().itemOpen)
        m_body += "</li>"_L1;
    m_body += u"\r\n"_s + m_lists.back().close;
    m_lists.pop_back();
}

QString HtmlWriter::finish(const ParagraphStyle& style)
{
    if (!m_para.isEmpty() || !m_marker.isEmpty())
        endParagraph(style);
    flushRow();
    closeBlock();
    return u"<html><head></head><body>"_s + m_body + u"</body></html>"_s;
}

} // namespace lorvo::rtf::detail
