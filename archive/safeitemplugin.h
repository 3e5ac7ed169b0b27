#pragma once

// The binary interface of the optional safe item component: a library named "Safetervane" (with
// the platform's library suffix) in the program's folder. It wraps an Outlook item to read its
// HTML body and to save it to a file. The program passes items as opaque handles with callbacks,
// so that the library never links the program's classes; everything crossing the boundary is C.
//
// Objects are made by class name, keyed with the access key before any other use, and released
// by the program. Every function returns 0 on success and an error number otherwise; a function
// must not let an exception or a longjmp escape. Text is UTF-16 with an explicit length.

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define LORVO_SAFE_EXPORT __declspec(dllexport)
#else
#define LORVO_SAFE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The version of this interface; the program refuses a library reporting another one.
#define LORVO_SAFE_ABI_VERSION 1

// The access key that belongs to the component; the program hands it to every object first.
#define LORVO_SAFE_ACCESS_KEY "LORVO-SAFE-7D1C-43A9-9E52-2F0B86C1A4E3"

// Class names of lorvoSafeCreate.
#define LORVO_SAFE_CLASS_UTILS "SafeTervane.MAPIUtils"
#define LORVO_SAFE_CLASS_POST_ITEM "SafeTervane.SafePostItem"

// Receives a text; called any number of times, the pieces are appended in order.
typedef void (*LorvoSafeTextSink)(void* context, const uint16_t* text, ptrdiff_t length);

// An item of the program, as the component sees it. The handle and the functions stay valid
// until the object holding them is released or given another item.
typedef struct LorvoSafeItem
{
    void* handle;
    // Hands the item's HTML body to sink; 0 on success.
    int32_t (*htmlBody)(void* handle, LorvoSafeTextSink sink, void* context);
    // Writes the item to path in an Outlook save-as format (1: rich text); 0 on success.
    int32_t (*saveAs)(void* handle, const uint16_t* path, ptrdiff_t pathLength, int32_t type);
} LorvoSafeItem;

typedef struct LorvoSafeObject LorvoSafeObject;

// Exported by the library, under these names: lorvoSafeAbiVersion, lorvoSafeCreate,
// lorvoSafeRelease, lorvoSafeSetAuthKey, lorvoSafeSetItem, lorvoSafeHTMLBody, lorvoSafeSaveAs.
typedef int32_t (*LorvoSafeAbiVersionFn)(void);
// A new object of a class, or null when the library has no such class.
typedef LorvoSafeObject* (*LorvoSafeCreateFn)(const char* className);
typedef void (*LorvoSafeReleaseFn)(LorvoSafeObject* object);
// AuthKey: the access key; a refused key gives an error and leaves the object unusable.
typedef int32_t (*LorvoSafeSetAuthKeyFn)(LorvoSafeObject* object, const uint16_t* key,
                                         ptrdiff_t keyLength);
// Item (SafePostItem): the item to wrap; the structure is copied.
typedef int32_t (*LorvoSafeSetItemFn)(LorvoSafeObject* object, const LorvoSafeItem* item);
// HTMLBody (SafePostItem): the wrapped item's HTML body, as the item itself would give it.
typedef int32_t (*LorvoSafeHtmlBodyFn)(LorvoSafeObject* object, LorvoSafeTextSink sink,
                                       void* context);
// SaveAs (SafePostItem): writes the wrapped item to path, as the item's own SaveAs would.
typedef int32_t (*LorvoSafeSaveAsFn)(LorvoSafeObject* object, const uint16_t* path,
                                     ptrdiff_t pathLength, int32_t type);

#ifdef __cplusplus
}
#endif
