#include "tests/support/devtools.h"

#include "tests/support/headlessbrowser.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QThread>

using namespace Qt::StringLiterals;

namespace lorvo::test {

namespace {

constexpr int kAnswerMs = 30000;

// WebSocket opcodes (RFC 6455).
constexpr quint8 kContinuation = 0x0;
constexpr quint8 kText = 0x1;
constexpr quint8 kClose = 0x8;
constexpr quint8 kPing = 0x9;

// A key as the keyboard sends it: its name, its physical code, its Windows key code and the
// text it types.
struct Key
{
    QString key;
    QString code;
    int keyCode = 0;
    QString text;
};

std::optional<Key> keyFor(const QString& name)
{
    if (name == "Tab"_L1)
        return Key{name, name, 9, {}};
    if (name == "Enter"_L1)
        return Key{name, name, 13, u"\r"_s};
    if (name == "Escape"_L1)
        return Key{name, name, 27, {}};
    if (name == " "_L1)
        return Key{name, u"Space"_s, 32, name};
    if (name.size() == 1 && name.at(0).isLetter() && name.at(0).unicode() < 128) {
        const QString upper = name.toUpper();
        return Key{name, u"Key"_s + upper, upper.at(0).unicode(), name};
    }
    return std::nullopt;
}

} // namespace

DevToolsSession::DevToolsSession() = default;

DevToolsSession::~DevToolsSession()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        // Closing the browser from inside lets it remove its profile cleanly.
        const QJsonObject close{{u"id"_s, m_nextId++}, {u"method"_s, u"Browser.close"_s}};
        sendText(QJsonDocument(close).toJson(QJsonDocument::Compact));
        m_socket.waitForBytesWritten(2000);
    }
    if (m_browser.state() != QProcess::NotRunning && !m_browser.waitForFinished(5000)) {
        m_browser.kill();
        m_browser.waitForFinished();
    }
}

bool DevToolsSession::start()
{
    const QString program = chromium();
    if (program.isEmpty()) {
        m_error = u"Chromium is not installed"_s;
        return false;
    }
    // No background traffic: the machines have no network besides the package registries.
    m_browser.setProgram(program);
    m_browser.setArguments({u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s,
                            u"--disable-background-networking"_s, u"--disable-component-update"_s,
                            u"--disable-sync"_s, u"--no-first-run"_s,
                            u"--user-data-dir="_s + m_profile.path(),
                            u"--remote-debugging-port=0"_s, u"about:blank"_s});
    m_browser.setStandardOutputFile(QProcess::nullDevice());
    m_browser.setStandardErrorFile(QProcess::nullDevice());
    m_browser.start();
    if (!m_browser.waitForStarted()) {
        m_error = u"Chromium did not start: "_s + m_browser.errorString();
        return false;
    }

    // Chromium writes the port it chose, and the browser's address, once it listens.
    QFile portFile(m_profile.filePath(u"DevToolsActivePort"_s));
    const QDeadlineTimer deadline(kAnswerMs);
    QList<QByteArray> lines;
    while (lines.size() < 2) {
        if (deadline.hasExpired() || m_browser.state() == QProcess::NotRunning) {
            m_error = u"Chromium did not open its DevTools port"_s;
            return false;
        }
        QThread::msleep(50);
        if (portFile.open(QIODevice::ReadOnly)) {
            lines = portFile.readAll().trimmed().split('\n');
            portFile.close();
        }
    }
    bool ok = false;
    const quint16 port = lines.at(0).trimmed().toUShort(&ok);
    if (!ok || !connectSocket(port, QString::fromLatin1(lines.at(1).trimmed())))
        return false;

    QString targetId;
    const QJsonArray targets =
        command(u"Target.getTargets"_s, {}, false).value(u"targetInfos"_s).toArray();
    for (const QJsonValue& target : targets) {
        if (target[u"type"_s].toString() == "page"_L1) {
            targetId = target[u"targetId"_s].toString();
            break;
        }
    }
    if (targetId.isEmpty())
        targetId = command(u"Target.createTarget"_s, {{u"url"_s, u"about:blank"_s}}, false)
                       .value(u"targetId"_s)
                       .toString();
    m_sessionId = command(u"Target.attachToTarget"_s,
                          {{u"targetId"_s, targetId}, {u"flatten"_s, true}}, false)
                      .value(u"sessionId"_s)
                      .toString();
    if (m_sessionId.isEmpty()) {
        m_error = u"no page to attach to: "_s + m_error;
        return false;
    }
    call(u"Page.enable"_s);
    // The page behaves as if its window had the focus, so that focus moves and :focus apply.
    call(u"Emulation.setFocusEmulationEnabled"_s, {{u"enabled"_s, true}});
    return true;
}

bool DevToolsSession::connectSocket(quint16 port, const QString& path)
{
    m_socket.connectToHost(u"127.0.0.1"_s, port);
    if (!m_socket.waitForConnected(kAnswerMs)) {
        m_error = u"no connection to Chromium: "_s + m_socket.errorString();
        return false;
    }
    QByteArray nonce(16, Qt::Uninitialized);
    for (char& c : nonce)
        c = char(QRandomGenerator::global()->bounded(256));
    const QByteArray key = nonce.toBase64();
    const QByteArray request = "GET " + path.toLatin1() +
                               " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                               "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                               "Sec-WebSocket-Key: " +
                               key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    m_socket.write(request);
    const QDeadlineTimer deadline(kAnswerMs);
    qsizetype end = -1;
    while ((end = m_buffer.indexOf("\r\n\r\n")) < 0) {
        if (!m_socket.waitForReadyRead(int(deadline.remainingTime()))) {
            m_error = u"Chromium did not answer the WebSocket handshake"_s;
            return false;
        }
        m_buffer += m_socket.readAll();
    }
    const QByteArray header = m_buffer.left(end);
    m_buffer.remove(0, end + 4);
    const QByteArray accept =
        QCryptographicHash::hash(QByteArray(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"),
                                 QCryptographicHash::Sha1)
            .toBase64();
    if (!header.startsWith("HTTP/1.1 101") || !header.contains(accept)) {
        m_error = u"Chromium refused the WebSocket: "_s + QString::fromLatin1(header);
        return false;
    }
    return true;
}

bool DevToolsSession::sendText(const QByteArray& text)
{
    // Client frames are masked (RFC 6455, 5.3).
    QByteArray frame;
    frame.append(char(0x80 | kText));
    const qint64 size = text.size();
    if (size < 126) {
        frame.append(char(0x80 | size));
    } else if (size <= 0xFFFF) {
        frame.append(char(0x80 | 126));
        frame.append(char(size >> 8));
        frame.append(char(size & 0xFF));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.append(char((size >> shift) & 0xFF));
    }
    const quint32 mask = QRandomGenerator::global()->generate();
    const char maskBytes[4] = {char(mask >> 24), char(mask >> 16), char(mask >> 8), char(mask)};
    frame.append(maskBytes, 4);
    const qsizetype start = frame.size();
    frame.append(text);
    for (qsizetype i = 0; i < text.size(); ++i)
        frame[start + i] = char(frame[start + i] ^ maskBytes[i % 4]);
    return m_socket.write(frame) == frame.size() && m_socket.flush();
}

bool DevToolsSession::readExactly(char* into, qint64 size, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_buffer.size() < size) {
        if (!m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
        m_buffer += m_socket.readAll();
    }
    memcpy(into, m_buffer.constData(), size_t(size));
    m_buffer.remove(0, size);
    return true;
}

std::optional<QByteArray> DevToolsSession::readMessage(int timeoutMs)
{
    QByteArray message;
    for (;;) {
        unsigned char head[2];
        if (!readExactly(reinterpret_cast<char*>(head), 2, timeoutMs))
            return std::nullopt;
        const bool fin = head[0] & 0x80;
        const quint8 opcode = head[0] & 0x0F;
        quint64 size = head[1] & 0x7F;
        if (size >= 126) {
            unsigned char extended[8];
            const int bytes = size == 126 ? 2 : 8;
            if (!readExactly(reinterpret_cast<char*>(extended), bytes, timeoutMs))
                return std::nullopt;
            size = 0;
            for (int i = 0; i < bytes; ++i)
                size = (size << 8) | extended[i];
        }
        unsigned char mask[4] = {0, 0, 0, 0};
        const bool masked = head[1] & 0x80;
        if (masked && !readExactly(reinterpret_cast<char*>(mask), 4, timeoutMs))
            return std::nullopt;
        QByteArray payload(qsizetype(size), Qt::Uninitialized);
        if (size > 0 && !readExactly(payload.data(), qint64(size), timeoutMs))
            return std::nullopt;
        if (masked) {
            for (qsizetype i = 0; i < payload.size(); ++i)
                payload[i] = char(payload[i] ^ mask[i % 4]);
        }
        if (opcode == kClose)
            return std::nullopt;
        if (opcode == kPing) {
            QByteArray pong;
            pong.append(char(0x8A));
            pong.append(char(0x80));
            pong.append("\0\0\0\0", 4);
            m_socket.write(pong);
            continue;
        }
        if (opcode != kText && opcode != kContinuation)
            continue;
        message += payload;
        if (fin)
            return message;
    }
}

QJsonObject DevToolsSession::command(const QString& method, const QJsonObject& params,
                                     bool inSession)
{
    const int id = m_nextId++;
    QJsonObject message{{u"id"_s, id}, {u"method"_s, method}, {u"params"_s, params}};
    if (inSession)
        message.insert(u"sessionId"_s, m_sessionId);
    if (!sendText(QJsonDocument(message).toJson(QJsonDocument::Compact))) {
        m_error = u"could not send "_s + method;
        return {};
    }
    for (;;) {
        const std::optional<QByteArray> text = readMessage(kAnswerMs);
        if (!text) {
            m_error = u"no answer to "_s + method;
            return {};
        }
        const QJsonObject answer = QJsonDocument::fromJson(*text).object();
        if (answer.contains(u"method"_s)) {
            m_events.append(answer);
            continue;
        }
        if (answer.value(u"id"_s).toInt() != id)
            continue;
        if (answer.contains(u"error"_s)) {
            m_error = method + u": "_s +
                      answer.value(u"error"_s).toObject().value(u"message"_s).toString();
            return {};
        }
        return answer.value(u"result"_s).toObject();
    }
}

QJsonObject DevToolsSession::call(const QString& method, const QJsonObject& params)
{
    return command(method, params, true);
}

bool DevToolsSession::navigate(const QString& url)
{
    m_events.clear();
    const QJsonObject result = call(u"Page.navigate"_s, {{u"url"_s, url}});
    if (result.isEmpty())
        return false;
    if (result.contains(u"errorText"_s)) {
        m_error = result.value(u"errorText"_s).toString();
        return false;
    }
    const QDeadlineTimer deadline(kAnswerMs);
    for (;;) {
        for (const QJsonObject& event : std::as_const(m_events)) {
            if (event.value(u"method"_s).toString() == "Page.loadEventFired"_L1)
                return true;
        }
        m_events.clear();
        const std::optional<QByteArray> text = readMessage(int(deadline.remainingTime()));
        if (!text || deadline.hasExpired()) {
            m_error = u"the page did not load: "_s + url;
            return false;
        }
        m_events.append(QJsonDocument::fromJson(*text).object());
    }
}

QJsonValue DevToolsSession::evaluate(const QString& expression)
{
    const QJsonObject result = call(
        u"Runtime.evaluate"_s,
        {{u"expression"_s, expression}, {u"returnByValue"_s, true}, {u"awaitPromise"_s, true}});
    if (result.contains(u"exceptionDetails"_s)) {
        m_error = result.value(u"exceptionDetails"_s)
                      .toObject()
                      .value(u"exception"_s)
                      .toObject()
                      .value(u"description"_s)
                      .toString();
        return QJsonValue(QJsonValue::Undefined);
    }
    return result.value(u"result"_s).toObject().value(u"value"_s);
}

bool DevToolsSession::waitFor(const QString& expression, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (evaluate(expression).toBool())
            return true;
        QThread::msleep(50);
    }
    m_error = u"timed out waiting for "_s + expression;
    return false;
}

bool DevToolsSession::pressKey(const QString& name, bool shift)
{
    const std::optional<Key> key = keyFor(name);
    if (!key) {
        m_error = u"unknown key "_s + name;
        return false;
    }
    QJsonObject event{{u"key"_s, key->key},
                      {u"code"_s, key->code},
                      {u"windowsVirtualKeyCode"_s, key->keyCode},
                      {u"nativeVirtualKeyCode"_s, key->keyCode},
                      {u"modifiers"_s, shift ? 8 : 0}};
    QJsonObject down = event;
    down.insert(u"type"_s, key->text.isEmpty() ? u"rawKeyDown"_s : u"keyDown"_s);
    if (!key->text.isEmpty()) {
        down.insert(u"text"_s, key->text);
        down.insert(u"unmodifiedText"_s, key->text);
    }
    QJsonObject up = event;
    up.insert(u"type"_s, u"keyUp"_s);
    const QString before = m_error;
    call(u"Input.dispatchKeyEvent"_s, down);
    call(u"Input.dispatchKeyEvent"_s, up);
    return m_error == before;
}

} // namespace lorvo::test
