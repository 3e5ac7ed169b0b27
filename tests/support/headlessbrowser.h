#pragma once

// Headless Chromium for the tests that check what a browser does with our pages.

#include <QString>

namespace lorvo::test {

/// The Chromium program, or empty when none is installed (scripts/deps test installs it).
QString chromium();

/// Opens a local page in headless Chromium, lets its scripts run, and returns the document as
/// Chromium dumps it afterwards. Empty, with the reason in error, when Chromium gave nothing.
QString dumpDom(const QString& pageFile, QString* error = nullptr);

/// The text of the first <pre id="result"> in a dumped document, entities decoded; empty when
/// there is none. Test pages put what their probe script saw there.
QString probeResult(const QString& dom);

} // namespace lorvo::test
