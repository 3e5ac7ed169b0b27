#pragma once

// The two generators behind the Generate button: the flat one (subGenerateArticlesNormal: every
// article, one plain list) and the outline one (subGenerateArticlesOutline: the selected
// categories and types as a nested, optionally collapsible list). Both write one page per article
// with subWriteHTML (archive/article.h) and index.htm with the table-of-contents head.

#include "archive/generation.h"

#include <QString>
#include <memory>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

class ArticleCollection;
class BodyConversion;
class ImageCodec;
class SafeItem;

// What a generator works with besides the window: the runtime, the knowledge-base folder and the
// services that read, convert and re-encode article content.
struct GeneratorServices
{
    Runtime& rt;
    ArticleCollection& collection;
    SafeItem& safeItem;
    BodyConversion& conversion;
    ImageCodec& images;
};

// The texts of the table of contents. Texts from articles are escaped, page names encoded.
namespace toc {
/// A line of the flat list.
QString flatLine(const QString& pageName, const QString& subject);
/// The outline's opening list tag, written at category position 0.
QString listOpener(bool collapsible, bool collapseInitially);
QString categoryHeader(bool collapsible, const QString& category);
QString typeHeader(bool collapsible, const QString& type);
QString articleLine(bool collapsible, const QString& pageName, const QString& subject);
inline QString endOfType()
{
    return QStringLiteral("</ul></li>");
}
inline QString endOfCategory()
{
    return QStringLiteral("</ul></li><br>");
}
inline QString closing()
{
    return QStringLiteral("</ul><br></body></html>");
}
} // namespace toc

// subGenerateArticlesNormal.
class FlatGenerator final : public ArticleGenerator
{
public:
    explicit FlatGenerator(GeneratorServices services) : m_services(services) {}
    void generate(GenerationHost& host) override;

private:
    GeneratorServices m_services;
};

// subGenerateArticlesOutline.
class OutlineGenerator final : public ArticleGenerator
{
public:
    explicit OutlineGenerator(GeneratorServices services) : m_services(services) {}
    void generate(GenerationHost& host) override;

private:
    GeneratorServices m_services;
};

// Both generators with the services they share, as the program hands them to the window.
class Generators
{
public:
    Generators(Runtime& rt, ArticleCollection& collection, ImageCodec& images);
    ~Generators();
    Generators(const Generators&) = delete;
    Generators& operator=(const Generators&) = delete;

private:
    // Made before the generators, which hold references to them.
    std::unique_ptr<SafeItem> m_safeItem;
    std::unique_ptr<BodyConversion> m_conversion;

public:
    FlatGenerator flat;
    OutlineGenerator outline;
};

} // namespace lorvo::archive
