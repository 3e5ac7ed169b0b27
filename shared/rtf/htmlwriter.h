#pragma once

// The HTML rendering of native RTF (a document without encapsulated HTML): the reader hands over
// text runs with their formatting and the ends of paragraphs, cells and rows; this writer turns
// them into paragraphs, lists and tables.
//
// - Consecutive plain paragraphs of one alignment form one <p>, a line each, joined by <br>:
//   RTF written as mail breaks every line with \par, and a <p> per line would space them apart.
//   Empty paragraphs between two lines keep their blank line; those at a block's edges go.
// - List paragraphs (\listtext, \pntext, \ls) become <ul> or <ol> items, nested by level.
// - Table paragraphs (\intbl) fill cells; \cell and \row close cells and rows.
// - A hyperlink's <a> is opened once per field: a result that runs over several paragraphs is
//   linked in its first, so that a long address is never repeated per paragraph.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

namespace lorvo::rtf::detail {

/// Character formatting as the page shows it.
struct TextStyle
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    qint8 vertical = 0;  // 1 superscript, -1 subscript
    int halfPoints = 24; // the size, in half points
    int color = -1;      // 0xRRGGBB, or -1 for the automatic colour
    bool operator==(const TextStyle&) const = default;
};

enum class Align : quint8 { Left, Center, Right, Justify };

/// Paragraph formatting.
struct ParagraphStyle
{
    Align align = Align::Left;
    bool inTable = false;
    bool list = false; // a list paragraph by its list number (\lsN)
    int level = 0;     // its list level, from 0
};

/// The target of a hyperlink; id tells the fields apart.
struct Link
{
    int id = -1;
    QString href;
};

class HtmlWriter
{
public:
    /// Text of the current paragraph.
    void text(QStringView text, const TextStyle& style, const Link* link);
    /// A picture in the current paragraph, as a data: address; width and height in pixels or 0.
    void picture(QByteArrayView mimeType, const QByteArray& data, int width, int height,
                 const TextStyle& style, const Link* link);
    /// A line break inside the current paragraph (\line).
    void lineBreak();
    /// Text of the current paragraph's list number or bullet (\listtext, \pntext).
    void listMarker(QStringView text) { m_marker += text; }
    /// Ends the current paragraph (\par).
    void endParagraph(const ParagraphStyle& style);
    /// Ends the current paragraph and table cell (\cell).
    void endCell(const ParagraphStyle& style);
    /// Ends the current table row (\row); bordered when its cells have borders.
    void endRow(bool bordered);
    /// The page: what is still open is closed.
    QString finish(const ParagraphStyle& style);

private:
    enum class Block : quint8 { None, Lines, List, Table };
    struct OpenList
    {
        QString close; // "</ul>" or "</ol>"
        QString tag;   // the opening tag, which tells the kinds of list apart
        int next = 1;  // the number an ordered item gets without value=
        bool itemOpen = false;
    };

    void openRun(const TextStyle& style, const Link* link);
    void closeRun();
    void closeLink();
    void openBlock(Block block);
    void closeBlock();
    void line(const QString& content, bool hasContent, Align align);
    void listItem(const QString& content, const QString& marker, int level);
    void closeList();
    void cellParagraph(const QString& content, bool hasContent);
    void flushRow();

    QString m_body;

    // The current paragraph.
    QString m_para;
    bool m_paraContent = false; // anything visible besides blanks
    QString m_marker;
    bool m_runOpen = false;
    TextStyle m_runStyle;
    QString m_runClose;
    int m_linkId = -1; // the field whose result the run belongs to
    bool m_linkOpen = false;
    int m_lastLink = -1; // fields up to this one have had their <a>

    // The current block.
    Block m_block = Block::None;
    Align m_align = Align::Left;
    int m_pendingBreaks = 0;
    std::vector<OpenList> m_lists;
    QStringList m_cellLines;
    QStringList m_rowCells;
    bool m_rowBordered = false;
};

} // namespace lorvo::rtf::detail
