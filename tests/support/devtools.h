#pragma once

// Headless Chromium driven through its DevTools protocol, for tests that need what a user does:
// real key presses (a Tab that moves the focus), navigation, and scripts evaluated in the page.
// The protocol runs over a WebSocket; the small client here needs Qt Network only.

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace lorvo::test {

class DevToolsSession
{
public:
    DevToolsSession();
    ~DevToolsSession();
    DevToolsSession(const DevToolsSession&) = delete;
    DevToolsSession& operator=(const DevToolsSession&) = delete;

    /// Starts Chromium and attaches to a blank page. False, with the reason in error(), when
    /// Chromium is missing or does not answer.
    bool start();
    QString error() const { return m_error; }

    /// Opens an address and waits until the page has loaded.
    bool navigate(const QString& url);
    /// Evaluates a script expression in the page (promises awaited); its value as JSON, or
    /// undefined with the reason in error() when it threw.
    QJsonValue evaluate(const QString& expression);
    /// Evaluates the expression until it gives true, for at most timeoutMs.
    bool waitFor(const QString& expression, int timeoutMs = 10000);
    /// Presses and releases a key as the keyboard does: "Tab", "Enter", " ", "Escape" or a
    /// letter; shift holds Shift.
    bool pressKey(const QString& key, bool shift = false);
    /// Sends one protocol command to the page and returns its result (empty on error).
    QJsonObject call(const QString& method, const QJsonObject& params = {});

private:
    bool connectSocket(quint16 port, const QString& path);
    bool sendText(const QByteArray& text);
    std::optional<QByteArray> readMessage(int timeoutMs);
    bool readExactly(char* into, qint64 size, int timeoutMs);
    QJsonObject command(const QString& method, const QJsonObject& params, bool inSession);

    QTemporaryDir m_profile;
    QProcess m_browser;
    QTcpSocket m_socket;
    QByteArray m_buffer;
    QString m_sessionId;
    QList<QJsonObject> m_events;
    int m_nextId = 1;
    QString m_error;
};

} // namespace lorvo::test
