// The program's one exception class: failures travel as Exception with a text for the operator.
#pragma once

#include <QString>
#include <stdexcept>

class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};
