#pragma once
// The one exception type of the program. File, conversion and network failures throw it
// with the French text the operator reads; the window's guard catches it, shows the text
// in an error box and lets the program go on.
#include <QString>
#include <exception>

class AppError : public std::exception {
public:
    explicit AppError(QString message, QString reason = {})
        : m_message(std::move(message)), m_reason(std::move(reason)), m_utf8(m_message.toUtf8())
    {
    }
    const QString &message() const noexcept { return m_message; }
    // The system's reason alone, when the message quotes one ("Le disque est plein.").
    const QString &reason() const noexcept { return m_reason; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_reason;
    QByteArray m_utf8;
};
