#pragma once

#include <QString>
#include <stdexcept>

// Errors that steps leave uncaught travel up to the top-level error report as one of these.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// An operating-system call failed; carries errno and the system's text for it.
class OsError : public AppError {
public:
    OsError(int code, const QString& systemMessage)
        : AppError(QStringLiteral("System Error.  Code: %1.\n%2").arg(code).arg(systemMessage)),
          code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Raised by the registry store: "Failed to set data for '%s'", "Invalid data type for '%s'", ...
class RegistryError : public AppError {
public:
    using AppError::AppError;
};
