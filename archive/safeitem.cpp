#include "archive/safeitem.h"

#include "archive/safeitemplugin.h"
#include "shared/error.h"
#include "shared/filehandling.h"
#include "shared/runtime.h"

#include <QLibrary>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// The component's functions, resolved from its library.
struct Api
{
    LorvoSafeAbiVersionFn abiVersion = nullptr;
    LorvoSafeCreateFn create = nullptr;
    LorvoSafeReleaseFn release = nullptr;
    LorvoSafeSetAuthKeyFn setAuthKey = nullptr;
    LorvoSafeSetItemFn setItem = nullptr;
    LorvoSafeHtmlBodyFn htmlBody = nullptr;
    LorvoSafeSaveAsFn saveAs = nullptr;

    bool complete() const
    {
        return abiVersion && create && release && setAuthKey && setItem && htmlBody && saveAs;
    }
};

void check(int32_t result, const QString& member)
{
    if (result != 0)
        throw Error(result, u"The safe item component refused "_s + member + u'.');
}

const uint16_t* utf16(const QString& text)
{
    return reinterpret_cast<const uint16_t*>(text.utf16());
}

void appendText(void* context, const uint16_t* text, ptrdiff_t length)
{
    if (text && length > 0)
        static_cast<QString*>(context)->append(reinterpret_cast<const QChar*>(text), length);
}

int32_t errorNumber(const Error& e)
{
    return e.number() != 0 ? e.number() : err::InvalidCall;
}

// The item's side of the boundary: nothing may be thrown across it.
int32_t itemHtmlBody(void* handle, LorvoSafeTextSink sink, void* context) noexcept
{
    try {
        const QString body = static_cast<outlook::Item*>(handle)->HTMLBody();
        sink(context, utf16(body), body.size());
        return 0;
    } catch (const Error& e) {
        return errorNumber(e);
    } catch (...) {
        return err::InvalidCall;
    }
}

int32_t itemSaveAs(void* handle, const uint16_t* path, ptrdiff_t pathLength, int32_t type) noexcept
{
    try {
        const QString target(reinterpret_cast<const QChar*>(path), pathLength);
        static_cast<outlook::Item*>(handle)->SaveAs(target, type);
        return 0;
    } catch (const Error& e) {
        return errorNumber(e);
    } catch (...) {
        return err::InvalidCall;
    }
}

void setKey(const Api& api, LorvoSafeObject* object)
{
    const QString key = QString::fromLatin1(LORVO_SAFE_ACCESS_KEY);
    check(api.setAuthKey(object, utf16(key), key.size()), u"the access key"_s);
}

// One SafePostItem for one call: keyed, holding the item, released at the end of the call.
class Wrapper
{
public:
    Wrapper(const Api& api, outlook::Item& item)
        : m_api(api), m_object(api.create(LORVO_SAFE_CLASS_POST_ITEM)), m_item{&item, &itemHtmlBody,
                                                                               &itemSaveAs}
    {
    }
    ~Wrapper()
    {
        if (m_object)
            m_api.release(m_object);
    }
    Wrapper(const Wrapper&) = delete;
    Wrapper& operator=(const Wrapper&) = delete;

    explicit operator bool() const { return m_object != nullptr; }

    void prepare()
    {
        setKey(m_api, m_object);
        check(m_api.setItem(m_object, &m_item), u"the item"_s);
    }
    QString htmlBody()
    {
        QString body;
        check(m_api.htmlBody(m_object, &appendText, &body), u"to read the HTML body"_s);
        return body;
    }
    void saveAs(const QString& path, qint32 type)
    {
        check(m_api.saveAs(m_object, utf16(path), path.size(), type), u"to save the item"_s);
    }

private:
    const Api& m_api;
    LorvoSafeObject* m_object;
    LorvoSafeItem m_item;
};

// Hands a keyed wrapper holding the item to use; false when no wrapper could be made or it failed.
bool throughWrapper(const Api& api, outlook::Item& item, const std::function<void(Wrapper&)>& use)
{
    bool done = false;
    ignoreErrors([&] {
        Wrapper wrapper(api, item);
        if (!wrapper)
            return;
        wrapper.prepare();
        use(wrapper);
        done = true;
    });
    return done;
}

} // namespace

struct SafeItem::Component
{
    QLibrary library;
    Api api;
    LorvoSafeObject* utils = nullptr;

    ~Component()
    {
        // The library stays loaded: objects of it may still be referenced while the program ends.
        if (utils)
            api.release(utils);
    }
};

namespace {

template <class Fn> void resolve(QLibrary& library, Fn& fn, const char* name)
{
    fn = reinterpret_cast<Fn>(library.resolve(name));
}

} // namespace

SafeItem::SafeItem(Runtime& rt) : m_rt(rt) {}

SafeItem::~SafeItem() = default;

QString SafeItem::componentPath() const
{
    return fncClearEndSlash(m_rt.platform().programFolder()) + u"/Safetervane"_s;
}

bool SafeItem::fncSafeComponentReady()
{
    if (m_unavailable)
        return false;
    if (m_component)
        return true;

    // A loaded library with its utility object made, or null.
    const auto load = [this]() -> std::unique_ptr<Component> {
        auto component = std::make_unique<Component>();
        component->library.setFileName(componentPath());
        if (!component->library.load())
            return nullptr;
        Api& api = component->api;
        resolve(component->library, api.abiVersion, "lorvoSafeAbiVersion");
        resolve(component->library, api.create, "lorvoSafeCreate");
        resolve(component->library, api.release, "lorvoSafeRelease");
        resolve(component->library, api.setAuthKey, "lorvoSafeSetAuthKey");
        resolve(component->library, api.setItem, "lorvoSafeSetItem");
        resolve(component->library, api.htmlBody, "lorvoSafeHTMLBody");
        resolve(component->library, api.saveAs, "lorvoSafeSaveAs");
        if (!api.complete() || api.abiVersion() != LORVO_SAFE_ABI_VERSION) {
            component->library.unload();
            return nullptr;
        }
        component->utils = api.create(LORVO_SAFE_CLASS_UTILS);
        if (!component->utils)
            return nullptr;
        return component;
    };

    const bool ready = ignoreErrors([&] {
        auto component = load();
        if (!component) {
            subRegisterSafeComponent();
            component = load();
        }
        if (!component)
            throw Error(err::CannotCreateObject, u"The safe item component is not available."_s);
        setKey(component->api, component->utils);
        m_component = std::move(component);
    });
    if (!ready)
        m_unavailable = true;
    return ready;
}

void SafeItem::subRegisterSafeComponent()
{
    ++m_registrations;
}

QString SafeItem::getSafeHTMLBody(const outlook::ItemPtr& ouiMailItem)
{
    QString body;
    if (!ouiMailItem)
        return body;
    const bool done =
        fncSafeComponentReady() &&
        throughWrapper(m_component->api, *ouiMailItem, [&](Wrapper& w) { body = w.htmlBody(); });
    // No wrapper, or one that failed: the item itself.
    if (!done)
        ignoreErrors([&] { body = ouiMailItem->HTMLBody(); });
    return body;
}

void SafeItem::getSafeSaveItem(const outlook::ItemPtr& ouiMailItem, const QString& strPath,
                               qint32 OLSaveTpe)
{
    if (!ouiMailItem)
        return;
    const bool done = fncSafeComponentReady() &&
                      throughWrapper(m_component->api, *ouiMailItem,
                                     [&](Wrapper& w) { w.saveAs(strPath, OLSaveTpe); });
    if (!done)
        ignoreErrors([&] { ouiMailItem->SaveAs(strPath, OLSaveTpe); });
}

std::optional<QByteArray> SafeItem::getSafeSaveItemData(const outlook::ItemPtr& ouiMailItem,
                                                        qint32 OLSaveTpe)
{
    std::optional<QByteArray> bytes;
    if (ouiMailItem && !fncSafeComponentReady())
        ignoreErrors([&] { bytes = ouiMailItem->SaveAsData(OLSaveTpe); });
    return bytes;
}

} // namespace lorvo::archive
