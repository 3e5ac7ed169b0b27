#pragma once

// How text from articles becomes bytes and markup of the web archive. Pages and index.htm are
// 8-bit Windows-1252 files; nothing may be lost on the way, so a character the code page cannot
// hold is written as a numeric character reference.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

namespace lorvo::archive {

/// The text in Windows-1252; characters outside the code page become "&#N;" references.
QByteArray toWindows1252(const QString& html);
/// toWindows1252, appended to out. False when the text held a surrogate without its partner (no
/// valid UTF-16).
bool appendWindows1252(QByteArray& out, QStringView text);

/// The text in 7-bit ASCII; every other character becomes a "&#N;" reference. For files whose
/// reader may not know their code page.
QByteArray toAsciiHtml(const QString& html);

/// toAsciiHtml's text: what a file of those bytes reads as.
QString toAsciiHtmlText(const QString& html);

/// Text for insertion into markup as text or as a quoted attribute value: &, <, >, " and '
/// become references; control characters other than tab and line breaks are dropped.
QString htmlEscape(const QString& text);

/// The position of the first occurrence of an ASCII word in text from a position on, letter case
/// ignored; -1 when there is none. Far faster than a case-blind QString::indexOf, which folds
/// every character, and the same for words without "k" and "s" (U+212A and U+017F fold to them).
qsizetype indexOfCaseBlind(QStringView text, QLatin1StringView word, qsizetype from = 0);

/// The position of the last occurrence of an ASCII word in text, letter case ignored; -1: none.
qsizetype lastIndexOfCaseBlind(QStringView text, QLatin1StringView word);

/// The next tag that opens with openTag ("<meta", letter case ignored) from a position on, its
/// name ending there as a regular expression's \b sees it, to its first ">": where it starts and
/// the position after that ">". None when there is no such tag or no ">" after it.
std::optional<std::pair<qsizetype, qsizetype>>
nextTagCaseBlind(QStringView text, QLatin1StringView openTag, qsizetype from = 0);

/// A relative address of a file in the archive (a page or "n_files/n_k.ext") for href='...':
/// everything but unreserved characters and "/" is percent-encoded (UTF-8), so quotes, "#", "%",
/// "?" and blanks keep the link on the file of that very name.
QString hrefEncode(const QString& fileName);

/// The text as a double-quoted script string literal that nothing can break out of: quotes,
/// backslashes and line ends escaped, and "<" and ">" too, so that no "</script>" or "<!--"
/// appears where the script sits in a page.
QString jsStringLiteral(const QString& text);

} // namespace lorvo::archive
