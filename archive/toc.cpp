#include "archive/toc.h"

#include "shared/error.h"
#include "shared/resources.h"
#include "shared/runtime.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

QByteArray tocHead(bool collapsible)
{
    const QByteArray start = "<html><head><title>Table of Contents</title>"
                             "<LINK REL=\"STYLESHEET\" HREF=\"style.css\" TYPE=\"text/css\" />";
    if (!collapsible)
        return start + "</head><body><h1>Table of Contents</h1></p>";
    return start + "\r\n"
                   "<script language=\"JavaScript\" fptype=\"dynamicoutline\">\r\n"
                   "<!--\r\n"
                   "function dynOutline() {}\r\n"
                   "//-->\r\n"
                   "</script>\r\n"
                   "\r\n"
                   "<script language=\"JavaScript1.2\" fptype=\"dynamicoutline\" "
                   "src=\"outline.js\">\r\n"
                   "</script>\r\n"
                   "\r\n"
                   "<script language=\"JavaScript1.2\" fptype=\"dynamicoutline\" for=\"document\" "
                   "event=\"onreadystatechange()\">\r\n"
                   "<!--\r\n"
                   "initOutline()\r\n"
                   "//-->\r\n"
                   "</script>"
                   "</head>\r\n"
                   "<body onclick=\"dynOutline()\" language=\"Javascript1.2\">"
                   "<h1>Table of Contents</h1></p>";
}

std::unique_ptr<TextSink> fncWriteTOC(Runtime& rt, const QString& path, quint8 collapsible)
{
    Trap t(rt, u"fncWriteTOC"_s);
    return t.run([&] {
        t.step(10, u"Creating the table of contents "_s + QDir::toNativeSeparators(path));
        FileSystem& fs = rt.fs();
        // The old file stays until the new one is committed whole; only one that cannot be
        // replaced in place (read-only) is deleted first.
        std::unique_ptr<TextSink> sink;
        try {
            sink = fs.createTextFile(path);
        } catch (const Error&) {
            if (!fs.fileExists(path))
                throw;
            t.at(20);
            fs.deleteFile(path, true);
            sink = fs.createTextFile(path);
        }
        t.at(30);
        sink->write(tocHead(collapsible != 0));
        return sink;
    });
}

void subExtractFilesFromResource(Runtime& rt, const QString& strOutputPath, quint8 iCollapse)
{
    Trap t(rt, u"subExtractFilesFromResource"_s);
    t.run([&] {
        const auto extract = [&](int line, const QString& name, const QString& target) {
            t.at(line);
            const QByteArray bytes = loadResource(u"FILES"_s, name);
            t.step(line + 10, u"Writing file to "_s + QDir::toNativeSeparators(target));
            rt.fs().writeFile(target, bytes);
        };
        extract(10, u"STYLE.CSS"_s, strOutputPath + u"/style.css"_s);
        if (iCollapse == 1)
            extract(30, u"OUTLINE.JS"_s, strOutputPath + u"/outline.js"_s);
        const QString images = strOutputPath + u"/Images"_s;
        if (!rt.fs().folderExists(images)) {
            t.step(50, u"Creating the folder "_s + QDir::toNativeSeparators(images));
            rt.fs().createFolder(images);
        }
        extract(60, u"BULLETREDSMALL.GIF"_s, images + u"/bulletredsmall.gif"_s);
    });
}

QString fncGetFileName(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return path.mid(cut + 1);
}

} // namespace lorvo::archive
