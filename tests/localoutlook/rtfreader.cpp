#include "rtfreader.h"

#include <QList>
#include <QStringDecoder>

// Follows the published reading rules: \htmlrtf suppresses output up to \htmlrtf0 and is scoped
// by groups; htmltag groups are copied; \par gives CR LF and \tab a tab; \'hh is Windows-1252;
// \uN stands for one UTF-16 unit and skips the one fallback character after it (\uc1).
Deencapsulated deencapsulate(const QByteArray& rtf)
{
    struct State
    {
        bool suppressed = false;
        bool inTag = false;
        bool skip = false; // a destination we do not read (font table, colour table)
    };
    Deencapsulated out;
    QList<State> stack{State{}};
    bool sawTag = false;
    QStringDecoder cp1252("windows-1252");
    int pendingSkip = 0;

    const auto put = [&](const QString& text) {
        const State& s = stack.last();
        if (s.skip)
            return;
        if (s.inTag) {
            out.html += text;
            return;
        }
        if (!sawTag && s.suppressed) {
            out.header += text;
            return;
        }
        if (!s.suppressed)
            out.html += text;
    };

    for (qsizetype i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            stack.append(stack.last());
            ++i;
            continue;
        }
        if (c == '}') {
            if (stack.size() > 1)
                stack.removeLast();
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            if (pendingSkip > 0)
                --pendingSkip;
            else
                put(QString(QLatin1Char(c)));
            ++i;
            continue;
        }
        // Control symbol or word.
        const char next = i + 1 < rtf.size() ? rtf[i + 1] : '\0';
        if (next == '\\' || next == '{' || next == '}') {
            put(QString(QLatin1Char(next)));
            i += 2;
            continue;
        }
        if (next == '\'') {
            const QByteArray byte = QByteArray::fromHex(rtf.mid(i + 2, 2));
            if (pendingSkip > 0)
                --pendingSkip;
            else
                put(cp1252.decode(byte));
            i += 4;
            continue;
        }
        if (next == '*') {
            i += 2;
            continue;
        }
        qsizetype j = i + 1;
        while (j < rtf.size() && std::isalpha(uchar(rtf[j])))
            ++j;
        const QByteArray word = rtf.mid(i + 1, j - i - 1);
        qsizetype k = j;
        if (k < rtf.size() && (rtf[k] == '-' || std::isdigit(uchar(rtf[k])))) {
            ++k;
            while (k < rtf.size() && std::isdigit(uchar(rtf[k])))
                ++k;
        }
        const QByteArray param = rtf.mid(j, k - j);
        if (k < rtf.size() && rtf[k] == ' ')
            ++k;
        i = k;
        State& s = stack.last();
        if (word == "fromhtml")
            out.fromHtml = param == "1";
        else if (word == "htmlrtf")
            s.suppressed = param != "0";
        else if (word == "htmltag") {
            s.inTag = true;
            sawTag = true;
        } else if (word == "fonttbl" || word == "colortbl")
            s.skip = true;
        else if (word == "par")
            put(!sawTag && s.suppressed ? QStringLiteral("\n") : QStringLiteral("\r\n"));
        else if (word == "tab")
            put(QStringLiteral("\t"));
        else if (word == "u") {
            put(QString(QChar(char16_t(param.toShort()))));
            pendingSkip = 1;
        }
    }
    return out;
}
