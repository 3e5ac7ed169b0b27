// A safe item component for the tests. Besides the component's interface it exports
// lorvoTestSafeCounters, lorvoTestSafeControl and lorvoTestSafeReportVersion, which the tests
// resolve from the same file.

#include "archive/safeitemplugin.h"

#include <cstring>
#include <string>

namespace {

struct Counters
{
    int32_t created = 0;
    int32_t keyed = 0;
    int32_t live = 0;
    int32_t bodies = 0;
    int32_t saves = 0;
};

struct Control
{
    int32_t refuseKey = 0;  // every AuthKey fails
    int32_t noPostItem = 0; // SafePostItem cannot be made
    int32_t failBodies = 0; // HTMLBody fails
};

Counters counters;
Control control;
int32_t reportedVersion = LORVO_SAFE_ABI_VERSION; // what lorvoSafeAbiVersion answers

constexpr int32_t kAccessDenied = 70;
constexpr int32_t kNotReady = 91;

std::u16string toU16(const char* text)
{
    std::u16string out;
    for (; *text; ++text)
        out += char16_t(static_cast<unsigned char>(*text));
    return out;
}

void collect(void* context, const uint16_t* text, ptrdiff_t length)
{
    static_cast<std::u16string*>(context)->append(reinterpret_cast<const char16_t*>(text),
                                                  size_t(length));
}

} // namespace

struct LorvoSafeObject
{
    bool postItem = false;
    bool keyed = false;
    bool hasItem = false;
    LorvoSafeItem item{};
};

extern "C" {

LORVO_SAFE_EXPORT int32_t lorvoSafeAbiVersion(void)
{
    return reportedVersion;
}

LORVO_SAFE_EXPORT LorvoSafeObject* lorvoSafeCreate(const char* className)
{
    const bool utils = std::strcmp(className, LORVO_SAFE_CLASS_UTILS) == 0;
    const bool postItem = std::strcmp(className, LORVO_SAFE_CLASS_POST_ITEM) == 0;
    if (!utils && !(postItem && !control.noPostItem))
        return nullptr;
    ++counters.created;
    ++counters.live;
    auto* object = new LorvoSafeObject;
    object->postItem = postItem;
    return object;
}

LORVO_SAFE_EXPORT void lorvoSafeRelease(LorvoSafeObject* object)
{
    if (!object)
        return;
    --counters.live;
    delete object;
}

LORVO_SAFE_EXPORT int32_t lorvoSafeSetAuthKey(LorvoSafeObject* object, const uint16_t* key,
                                              ptrdiff_t keyLength)
{
    const std::u16string given(reinterpret_cast<const char16_t*>(key), size_t(keyLength));
    if (control.refuseKey || given != toU16(LORVO_SAFE_ACCESS_KEY))
        return kAccessDenied;
    object->keyed = true;
    ++counters.keyed;
    return 0;
}

LORVO_SAFE_EXPORT int32_t lorvoSafeSetItem(LorvoSafeObject* object, const LorvoSafeItem* item)
{
    if (!object->keyed || !object->postItem)
        return kAccessDenied;
    object->item = *item;
    object->hasItem = true;
    return 0;
}

LORVO_SAFE_EXPORT int32_t lorvoSafeHTMLBody(LorvoSafeObject* object, LorvoSafeTextSink sink,
                                            void* context)
{
    if (!object->keyed || !object->hasItem)
        return kNotReady;
    if (control.failBodies)
        return kAccessDenied;
    std::u16string body = u"<!-- read safely -->";
    const int32_t result = object->item.htmlBody(object->item.handle, &collect, &body);
    if (result != 0)
        return result;
    ++counters.bodies;
    sink(context, reinterpret_cast<const uint16_t*>(body.data()), ptrdiff_t(body.size()));
    return 0;
}

LORVO_SAFE_EXPORT int32_t lorvoSafeSaveAs(LorvoSafeObject* object, const uint16_t* path,
                                          ptrdiff_t pathLength, int32_t type)
{
    if (!object->keyed || !object->hasItem)
        return kNotReady;
    const int32_t result = object->item.saveAs(object->item.handle, path, pathLength, type);
    if (result == 0)
        ++counters.saves;
    return result;
}

// created, keyed, live objects, bodies read, saves
LORVO_SAFE_EXPORT void lorvoTestSafeCounters(int32_t* out)
{
    out[0] = counters.created;
    out[1] = counters.keyed;
    out[2] = counters.live;
    out[3] = counters.bodies;
    out[4] = counters.saves;
}

LORVO_SAFE_EXPORT void lorvoTestSafeControl(int32_t refuseKey, int32_t noPostItem,
                                            int32_t failBodies)
{
    control = {refuseKey, noPostItem, failBodies};
}

// Makes the component report another version of the interface.
LORVO_SAFE_EXPORT void lorvoTestSafeReportVersion(int32_t version)
{
    reportedVersion = version;
}

} // extern "C"
