#pragma once
// The real zelvano-club program started for a test, and a real chromium driven over the
// WebDriver protocol by chromedriver (both Debian packages), so the pages are tested as a
// person sees them.
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace ClubTest {

inline quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

struct ClubProcess {
    QProcess process;
    quint16 http = 0, frames = 0;
    QString output;

    // Starts the program and waits for its listening line; false when it did not come.
    bool start(const QStringList &args, int timeoutMs = 15000)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(ZV_CLUB_PATH),
                      QStringList{"--listen", "127.0.0.1", "--http-port", "0", "--frame-port", "0"} + args);
        if (!process.waitForStarted(5000))
            return false;
        static const QRegularExpression re(QStringLiteral("http://[^:]+:(\\d+)/, feuilles port (\\d+)"));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            process.waitForReadyRead(100);
            output += QString::fromUtf8(process.readAll());
            const auto m = re.match(output);
            if (m.hasMatch()) {
                http = quint16(m.captured(1).toUInt());
                frames = quint16(m.captured(2).toUInt());
                return true;
            }
            if (process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    QString url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(http).arg(path); }
    ~ClubProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }
};

// A chromium session through chromedriver. Every call waits for its answer.
struct Browser {
    QProcess driver;
    QNetworkAccessManager net;
    QTemporaryDir profile;
    QString base, session, error;

    static bool available()
    {
        return QFile::exists(QStringLiteral("/usr/bin/chromedriver")) && QFile::exists(QStringLiteral("/usr/bin/chromium"));
    }

    QJsonValue call(const QByteArray &verb, const QString &path, const QJsonObject &body = {}, int timeoutMs = 30000)
    {
        QNetworkRequest req(QUrl(base + path));
        req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply *r = verb == "GET" ? net.get(req)
                                         : verb == "DELETE" ? net.deleteResource(req)
                                                            : net.post(req, QJsonDocument(body).toJson());
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!r->isFinished())
            loop.exec();
        const QByteArray bytes = r->readAll();
        if (!r->isFinished())
            error = QStringLiteral("WebDriver sans réponse : %1").arg(path);
        r->deleteLater();
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        const QJsonValue v = o.value(QStringLiteral("value"));
        if (v.isObject() && v.toObject().contains(QStringLiteral("error")))
            error = v.toObject().value(QStringLiteral("message")).toString();
        return v;
    }

    bool start(int width = 1280, int height = 800)
    {
        const quint16 port = freePort();
        base = QStringLiteral("http://127.0.0.1:%1").arg(port);
        driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        driver.start(QStringLiteral("/usr/bin/chromedriver"), {QStringLiteral("--port=%1").arg(port)});
        if (!driver.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 15000) {
            error.clear();
            const QJsonValue v = call("GET", QStringLiteral("/status"), {}, 1000);
            if (v.toObject().value(QStringLiteral("ready")).toBool())
                break;
            QTest::qWait(100);
        }
        const QJsonArray args{"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                              "--disable-component-update", "--disable-sync", "--no-first-run",
                              "--disable-dev-shm-usage", "--hide-scrollbars", "--lang=fr-FR",
                              QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
                              QStringLiteral("--user-data-dir=%1").arg(profile.path())};
        const QJsonObject caps{{"capabilities", QJsonObject{{"alwaysMatch", QJsonObject{
            {"browserName", "chrome"},
            {"goog:chromeOptions", QJsonObject{{"binary", "/usr/bin/chromium"}, {"args", args}}}}}}}};
        error.clear();
        session = call("POST", QStringLiteral("/session"), caps, 60000).toObject().value(QStringLiteral("sessionId")).toString();
        return !session.isEmpty();
    }
    bool go(const QString &url)
    {
        error.clear();
        call("POST", QStringLiteral("/session/%1/url").arg(session), {{"url", url}});
        return error.isEmpty();
    }
    QJsonValue js(const QString &script, const QJsonArray &args = {})
    {
        return call("POST", QStringLiteral("/session/%1/execute/sync").arg(session), {{"script", script}, {"args", args}});
    }
    // Waits until the script returns true (checked by the test, not by the page).
    bool waitFor(const QString &script, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (js(script).toBool())
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    bool resize(int width, int height)
    {
        error.clear();
        call("POST", QStringLiteral("/session/%1/window/rect").arg(session), {{"width", width}, {"height", height}});
        return error.isEmpty();
    }
    QByteArray screenshot()
    {
        return QByteArray::fromBase64(call("GET", QStringLiteral("/session/%1/screenshot").arg(session)).toString().toLatin1());
    }
    ~Browser()
    {
        if (!session.isEmpty())
            call("DELETE", QStringLiteral("/session/%1").arg(session), {}, 10000);
        driver.terminate();
        if (!driver.waitForFinished(3000))
            driver.kill();
        driver.waitForFinished(3000);
    }
};

} // namespace ClubTest
