#pragma once

// Stores as JSON: a store is built from a manifest (folders, items, fields, attachments) and
// dumped in the same shape, so that the two round-trip. docs/lorvo-store.md describes the shape.

#include <QJsonObject>
#include <QString>

namespace localoutlook {

/// Builds the store file storePath from a manifest; relative file names are taken from baseDir.
/// Raises lorvo::Error naming the bad key, value or file; leaves no file behind on failure.
void buildStore(const QJsonObject& manifest, const QString& baseDir, const QString& storePath);

/// Reads a manifest file and builds the store from it.
void buildStoreFromFile(const QString& manifestPath, const QString& storePath);

/// The store's content in the manifest's shape (attachment data inline as base64).
QJsonObject dumpStore(const QString& storePath);

} // namespace localoutlook
