#pragma once

// The character sets of RTF text: which code page a font's \'hh bytes are in (its \fcharsetN or
// \cpgN, else the document's \ansicpgN), the decoders for those code pages, and the symbol fonts
// whose bytes stand for pictures of characters rather than letters. The decoder of a Windows code
// page number is public: the import of Outlook's files decodes its 8-bit texts with it too.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <memory>
#include <vector>

namespace lorvo::rtf {

/// The Windows-1252 byte of a character outside ASCII, or 0 when the code page has none. The
/// C1 controls U+0081, U+008D, U+008F, U+0090 and U+009D keep their number.
uchar windows1252Byte(char16_t c);

} // namespace lorvo::rtf

namespace lorvo::rtf::detail {

/// What a font's bytes mean: a code page, or one of the symbol fonts.
enum class Symbols : quint8 {
    None,     // letters in a code page
    Symbol,   // the Symbol font: Greek letters and mathematical signs
    Wingdings // the Wingdings font: bullets, arrows, check marks
};

/// The code page of a font character set (\fcharsetN); 0 for "the document's code page" (also for
/// sets this reader does not know), 1252 for the ANSI set.
int codePageOfCharset(int charset);

/// Whether the reader can decode a code page (a Windows code page number); others read as the
/// document's.
bool isKnownCodePage(int codePage);

/// The pictures of a font by its name (Symbol, Wingdings); None for a font of letters and for a
/// symbol font whose pictures are unknown.
Symbols symbolsOf(QByteArrayView fontName);

/// The character a byte of a symbol font pictures; 0 when the table has none.
char16_t symbolCharacter(Symbols symbols, uchar byte);

/// One decoder per code page, made on first use. A code page the platform cannot decode falls
/// back to Windows-1252, and that to Latin-1.
class Decoders
{
public:
    Decoders();
    ~Decoders();
    /// The text of bytes in a code page. A character cut off at the end is dropped.
    QString decode(int codePage, QByteArrayView bytes);

private:
    QStringDecoder& decoderFor(int codePage);

    struct Entry
    {
        int codePage;
        std::unique_ptr<QStringDecoder> decoder;
    };
    std::vector<Entry> m_decoders; // few: one per code page the document uses
};

} // namespace lorvo::rtf::detail

namespace lorvo::rtf {

/// The decoder of a Windows code page number: the Windows, DOS and Mac code pages (1252, 1251,
/// 932, 437, 10000...), UTF-8 and UTF-16, and the internet code pages mail uses (ISO-8859-n,
/// KOI8, ISO-2022-JP, EUC, GB18030, HZ). Invalid for a number the platform cannot decode.
QStringDecoder decoderForCodePage(qint64 codePage);

} // namespace lorvo::rtf
