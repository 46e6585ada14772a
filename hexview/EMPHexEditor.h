#pragma once

#include <QString>

#include <stdexcept>

namespace kestrum {

/// Every error the hex editor control raises. The texts are fixed English texts, the same in
/// every language of the program.
class EMPHexEditor : public std::runtime_error
{
public:
    explicit EMPHexEditor(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    /// The text as given, for the application's error display.
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};

// The texts the control raises.
inline constexpr const char* MPH_ERR_DATA_BOUNDS = "Data position/length out of data bounds";
inline constexpr const char* MPH_ERR_UNDO = "Cannot update undo storage";
inline constexpr const char* MPH_ERR_FIXED_SIZE = "Cannot change fixed filesize";
inline constexpr const char* MPH_ERR_CANCELLED = "Operation cancelled";
inline constexpr const char* MPH_ERR_SEL_START = "Invalid selection start";
inline constexpr const char* MPH_ERR_SEL_END = "Invalid selection end";
inline constexpr const char* MPH_ERR_BOOKMARK_INDEX = "Invalid bookmark index";
inline constexpr const char* MPH_ERR_BYTES_PER_UNIT = "Invalid bytes per unit value %1, allowed: 1,2,4,8";
inline constexpr const char* MPH_ERR_UNICODE_UNIT = "BytesPerUnit must be set to 2 in unicode mode";
inline constexpr const char* MPH_ERR_BYTES_PER_LINE = "Invalid bytes per line argument";
inline constexpr const char* MPH_ERR_BYTES_PER_COLUMN = "Invalid bytes per column argument";
inline constexpr const char* MPH_ERR_UNICODE_ODD_SIZE = "Cannot use unicode mode with odd-sized files";
inline constexpr const char* MPH_ERR_UNICODE_TRANSLATION = "Translations cannot be used in unicode mode";
inline constexpr const char* MPH_ERR_STREAM_READ = "Stream read error";
inline constexpr const char* MPH_ERR_INVALID_CHAR = "Invalid character %1, cannot convert using radix %2h";
inline constexpr const char* MPH_ERR_MISSING_CHAR = "Missing char in offset format: %1";
inline constexpr const char* MPH_ERR_INVALID_RADIX = "Invalid radix in offset format (%1h), allowed: 02h..10h";
inline constexpr const char* MPH_ERR_RULER_UNIT = "Invalid ruler bytes per unit value %1, allowed: -1,1,2,4,8";
inline constexpr const char* MPH_ERR_BOOKMARK_BITMAP = "Invalid bookmark bitmap (must be 10 x 200 px)";
inline constexpr const char* MPH_ERR_INTEGER_OVERFLOW = "Integer overflow";
inline constexpr const char* MPH_ERR_DIVISION_BY_ZERO = "Division by zero";

/// Raises EMPHexEditor with one of the fixed texts above.
[[noreturn]] inline void RaiseMPHexEditor(const char* text)
{
    throw EMPHexEditor(QString::fromLatin1(text));
}

} // namespace kestrum
