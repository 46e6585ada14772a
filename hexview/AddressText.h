#pragma once

#include <QString>

#include <optional>

namespace kestrum {

/// An address as a person types it: hexadecimal with or without "0x" ("1000", "0x1000"),
/// decimal after "#" ("#4096"), or relative to `current` after "+" or "-" ("+16", "-#8").
/// Blanks around it are ignored. None for anything else or a value beyond 2^62.
std::optional<qint64> parseAddressText(const QString& text, qint64 current);

/// The address as the view shows offsets: "0x" and at least six upper-case digits.
QString addressText(qint64 address);

} // namespace kestrum
