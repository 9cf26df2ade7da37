#pragma once
#include <QString>
#include <exception>

// An error shown to the user by the standard error report.
class Error : public std::exception {
public:
    explicit Error(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// Ends the current operation without a word (a refused save).
class Abort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};
