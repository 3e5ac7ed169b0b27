#include "archive/conversion.h"

#include "archive/destination.h"
#include "archive/safeitem.h"
#include "shared/error.h"
#include "shared/filehandling.h"
#include "shared/runtime.h"
#include "shared/text.h"

using namespace Qt::StringLiterals;

namespace lorvo::archive {

QString fncFilteredWordHTML(const QString& strBody)
{
    qsizetype division = strBody.indexOf("<div class=Section1>"_L1);
    if (division < 0)
        division = strBody.indexOf("<DIV class=Section1>"_L1);
    if (division < 0)
        return strBody;

    static const QLatin1StringView markers[] = {
        "<p class=MsoNormal>&nbsp;</p>"_L1,
        "<p class=MsoNormal style='margin-top:5.0pt;margin-right:0in;margin-bottom:5.0pt;\r\n"
        "margin-left:0in;text-autospace:none'>"_L1,
        "<p class=MsoNormal style='margin-top:5.0pt;margin-right:0cm;margin-bottom:5.0pt;\r\n"
        "margin-left:0cm;text-autospace:none'>"_L1,
        "<p class=MsoNormal style='text-autospace:none'>"_L1,
    };
    for (const QLatin1StringView marker : markers) {
        const qsizetype at = strBody.indexOf(marker);
        if (at >= 0) {
            const QStringView rest = QStringView(strBody).sliced(at + marker.size());
            QString cut;
            cut.reserve(division + 2 + rest.size());
            cut.append(QStringView(strBody).first(division)).append(kCrLf).append(rest);
            return cut;
        }
    }
    return strBody;
}

BodyConversion::BodyConversion(Runtime& rt, SafeItem& safeItem, WordProcessorFactory factory)
    : m_rt(rt), m_safeItem(safeItem), m_factory(std::move(factory))
{
}

BodyConversion::~BodyConversion()
{
    quitWordProcessor();
}

void BodyConversion::quitWordProcessor()
{
    if (!m_word)
        return;
    ignoreErrors([&] { m_word->Quit(); });
    m_word.reset();
}

bool BodyConversion::fncConvertRTF2HTML(const QString& rtfPath, const QString& htmlPath)
{
    bool handedOver = false;
    if (startWordProcessor()) {
        ignoreErrors([&] { handedOver = m_rt.fs().fileExists(rtfPath); });
        if (handedOver)
            convert(open(rtfPath), htmlPath, nullptr);
    }
    ignoreErrors([&] { m_rt.fs().deleteFile(rtfPath, false); });
    return handedOver;
}

bool BodyConversion::startWordProcessor()
{
    if (!m_word && m_factory)
        ignoreErrors([&] { m_word = m_factory(); });
    if (!m_word)
        return false;
    ignoreErrors([&] { m_word->SetVisible(false); });
    return true;
}

std::unique_ptr<WordDocument> BodyConversion::open(const QString& rtfPath)
{
    std::unique_ptr<WordDocument> document;
    ignoreErrors([&] { document = m_word->Open(rtfPath); });
    return document;
}

std::unique_ptr<WordDocument> BodyConversion::openCopy(const std::optional<QByteArray>& copy,
                                                       const QString& rtfPath, WorkingFolder& work)
{
    if (!copy)
        return open(rtfPath);
    std::unique_ptr<WordDocument> document;
    bool filesOnly = false;
    ignoreErrors([&] {
        document = m_word->OpenData(*copy);
        filesOnly = !document;
    });
    if (!filesOnly)
        return document;
    const QString path = work.copyFile();
    bool written = false;
    ignoreErrors([&] {
        m_rt.fs().writeFile(path, *copy);
        written = true;
    });
    return written ? open(path) : nullptr;
}

void BodyConversion::convert(std::unique_ptr<WordDocument> document, const QString& htmlPath,
                             std::optional<QString>* text)
{
    if (!document)
        return;
    if (text)
        ignoreErrors([&] { *text = document->filteredHtmlText(htmlPath); });
    if (!text || !*text)
        ignoreErrors([&] { document->SaveAs(htmlPath, wdFormatFilteredHTML); });
    ignoreErrors([&] { document->Close(wdDoNotSaveChanges); });
}

std::optional<QString> BodyConversion::convertBody(const outlook::ItemPtr& item,
                                                   WorkingFolder& work,
                                                   const QString& workingNumber)
{
    FileSystem& fs = m_rt.fs();
    const QString htmlPath = work.path() + u'/' + workingNumber + u".htm"_s;
    // The item's copy stays in memory where the item saves itself; the component writes it into
    // the run's one file for the copies, where what an earlier item left never passes for this
    // one's.
    const std::optional<QByteArray> copy = m_safeItem.getSafeSaveItemData(item, outlook::olRTF);
    QString rtfPath;
    if (!copy) {
        rtfPath = work.copyFile();
        m_safeItem.getSafeSaveItem(item, rtfPath, outlook::olRTF);
    }
    // Nothing was saved: no copy to convert.
    if (copy ? copy->isEmpty() : !WorkingFolder::holdsCopy(rtfPath))
        return std::nullopt;
    if (!startWordProcessor())
        return std::nullopt;
    // The built-in word processor gives the HTML's text; another saves the file, read then.
    std::optional<QString> text;
    bool saved = false;
    convert(openCopy(copy, rtfPath, work), htmlPath, &text);
    if (!text && fs.fileExists(htmlPath)) {
        saved = true;
        text = m_rt.files().fncReadTextFile(htmlPath);
    }
    std::optional<QString> body;
    if (text) {
        body = fncFilteredWordHTML(*text);
        work.moveFilesBeside(workingNumber);
    }
    if (saved)
        ignoreErrors([&] { fs.deleteFile(htmlPath, true); });
    return body;
}

} // namespace lorvo::archive
