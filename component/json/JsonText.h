#pragma once

#include "component/api/JsonNumber.h"

#include <QByteArray>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvane::component {

// Largest JSON file the component reads; anything bigger is refused unread,
// since neither a driver table nor a receiver profile comes near it.
inline constexpr qint64 maxJsonBytes = 1024 * 1024;

// "not valid JSON at line 3, column 7 (offset 41): unterminated object".
QString describeParseError(const QByteArray& text, const QJsonParseError& error);

// Reads a whole file of at most maxJsonBytes. Throws RuntimeError (component
// failure) "<what> <path>: <problem>" when it is missing, unreadable or too big.
QByteArray readCapped(const QString& path, const QString& what);

// Text for a trace line or a message: in double quotes, with \" \\ and \xNN
// for control characters.
QString quoted(const QString& text);

} // namespace corvane::component
