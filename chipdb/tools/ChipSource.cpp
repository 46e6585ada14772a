#include "chipdb/tools/ChipSource.h"

#include "base/Gbk.h"
#include "chipdb/NameTokens.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

namespace kestrum::chipsource {

namespace {

constexpr std::uint32_t MinCapacity = 64;
constexpr std::uint32_t MaxCapacity = 64u << 20; // the size of the data buffer
constexpr std::uint32_t MaxPage = 256;
constexpr std::uint32_t MaxEepromSize = 32768; // the widest value the 16-bit field holds
constexpr std::uint32_t MaxEepromPage = 128; // the widest value the 8-bit field holds

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32 || c.unicode() == 127;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString headerText()
{
    QStringList names;
    for (const char* c : Columns)
        names << QString::fromLatin1(c);
    return names.join(QLatin1Char(','));
}

// Field parsers: each returns the value, or nothing with *error set.

std::optional<std::uint64_t> parseDecimal(const QString& text, QString* error)
{
    if (text.isEmpty()) {
        *error = QStringLiteral("is empty");
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            *error = QStringLiteral("is not a decimal number");
            return std::nullopt;
        }
        value = value * 10 + std::uint64_t(c.unicode() - '0');
        if (value > 0xFFFFFFFFull) {
            *error = QStringLiteral("is too large");
            return std::nullopt;
        }
    }
    return value;
}

// A capacity in bytes, optionally with the binary multiple K (1024) or M (1024 * 1024).
std::optional<std::uint64_t> parseCapacity(const QString& text, QString* error)
{
    QString digits = text;
    std::uint64_t unit = 1;
    if (text.endsWith(QLatin1Char('K'), Qt::CaseInsensitive))
        unit = 1024;
    else if (text.endsWith(QLatin1Char('M'), Qt::CaseInsensitive))
        unit = 1024 * 1024;
    if (unit != 1)
        digits.chop(1);
    const auto value = parseDecimal(digits, error);
    if (!value)
        return std::nullopt;
    return *value * unit;
}

// A 24-bit identification in hexadecimal, "0x" optional; "0" for a chip without one.
std::optional<std::uint32_t> parseChipId(const QString& text, QString* error)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty()) {
        *error = QStringLiteral("is empty");
        return std::nullopt;
    }
    if (digits.size() > 6) {
        *error = QStringLiteral("has more than 6 hexadecimal digits (an identification is 3 bytes)");
        return std::nullopt;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-'))) {
        *error = QStringLiteral("is not a hexadecimal number");
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> parseVoltage(const QString& text, QString* error)
{
    if (text == QLatin1String("3.3V"))
        return Volt33;
    if (text == QLatin1String("1.8V"))
        return Volt18;
    if (text == QLatin1String("5.0V"))
        return Volt50;
    *error = QStringLiteral("must be 3.3V, 1.8V or 5.0V");
    return std::nullopt;
}

bool isPowerOfTwo(std::uint64_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

// The sub-types the programmer knows for each class.
QString checkSubtype(std::uint8_t chipClass, std::uint8_t subtype, std::uint32_t capacity)
{
    switch (chipClass) {
    case SpiFlash25:
        if (subtype > 1)
            return QStringLiteral("subtype of a 25-series flash must be 0 (standard) or 1 (SST)");
        return {};
    case I2cEeprom24: {
        const std::uint8_t expected = capacity >= 4096 ? 1 : 0;
        if (subtype != expected)
            return QStringLiteral("subtype of a 24-series EEPROM of %1 bytes must be %2 (0 below 4 KB, 1 from 4 KB)")
                .arg(capacity)
                .arg(expected);
        return {};
    }
    case MicrowireEeprom93: {
        const std::uint32_t organised = microwireCapacity(subtype);
        if (organised == 0)
            return QStringLiteral("subtype %1 is no 93-series organisation code (7..11 for 8 bits, 87..91 for 16 bits)")
                .arg(subtype);
        if (capacity > organised)
            return QStringLiteral("capacity %1 exceeds the %2 bytes that organisation code %3 addresses")
                .arg(capacity)
                .arg(organised)
                .arg(subtype);
        return {};
    }
    case SpiEeprom25: {
        const std::uint8_t expected = capacity < 512 ? 0 : capacity <= 65536 ? 1 : 2;
        if (subtype != expected)
            return QStringLiteral(
                "subtype of a 25-series EEPROM of %1 bytes must be %2 (0 below 512 B, 1 up to 64 KB, 2 above)")
                .arg(capacity)
                .arg(expected);
        return {};
    }
    default:
        return QStringLiteral("unknown class");
    }
}

// A manufacturer or model name: it must survive the main window's split, which cuts at commas
// and blanks and gives double quotes a meaning of their own.
QString checkName(const QString& what, const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("%1 is empty").arg(what);
    for (QChar c : name) {
        if (isBlankOrControl(c))
            return QStringLiteral("%1 \"%2\" contains a blank or control character (the chip lists split names there)")
                .arg(what, name);
        if (c == QLatin1Char('"'))
            return QStringLiteral("%1 \"%2\" contains a double quote").arg(what, name);
    }
    return {};
}

// Whether the main window reads the names text as exactly these three names.
bool readsBack(const QString& names, const QStringList& parts)
{
    const NameTokens tokens(names);
    if (tokens.count() != parts.size())
        return false;
    for (int i = 0; i < tokens.count(); ++i)
        if (tokens.trimmedAt(i) != parts[i])
            return false;
    return true;
}

const ChipType* findType(const QString& text)
{
    for (const ChipType& t : Types)
        if (text == QLatin1String(t.text))
            return &t;
    return nullptr;
}

int typeIndex(const QString& text)
{
    for (int i = 0; i < int(Types.size()); ++i)
        if (text == QLatin1String(Types[size_t(i)].text))
            return i;
    return -1;
}

// Parses one chip row; on failure returns nothing and appends the reasons to errors.
std::optional<SourceChip> parseRow(int line, const QStringList& rawFields, std::vector<SourceError>& errors)
{
    auto fail = [&](const QString& message) { errors.push_back({line, message}); };
    if (rawFields.size() != int(Columns.size())) {
        fail(QStringLiteral("expected %1 fields, found %2").arg(Columns.size()).arg(rawFields.size()));
        return std::nullopt;
    }
    QStringList f;
    for (const QString& field : rawFields)
        f << field.trimmed();

    const std::size_t errorsBefore = errors.size();
    SourceChip chip;
    chip.line = line;
    chip.type = f[0];
    chip.manufacturer = f[1];
    chip.model = f[2];

    const ChipType* type = findType(chip.type);
    if (!type) {
        QStringList known;
        for (const ChipType& t : Types)
            known << quoted(QString::fromLatin1(t.text));
        fail(QStringLiteral("unknown type \"%1\" (known types: %2)").arg(chip.type, known.join(QStringLiteral(", "))));
    }
    if (const QString e = checkName(QStringLiteral("manufacturer"), chip.manufacturer); !e.isEmpty())
        fail(e);
    if (const QString e = checkName(QStringLiteral("model"), chip.model); !e.isEmpty())
        fail(e);

    auto field = [&](int index) { return QString::fromLatin1(Columns[size_t(index)]); };
    QString why;

    std::optional<std::uint32_t> chipId = parseChipId(f[3], &why);
    if (!chipId)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(3), f[3], why));

    std::optional<std::uint64_t> capacity = parseCapacity(f[4], &why);
    if (!capacity)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(4), f[4], why));
    else if (!isPowerOfTwo(*capacity) || *capacity < MinCapacity || *capacity > MaxCapacity)
        fail(QStringLiteral("capacity %1 is not a power of two from 64 bytes to 64 MB").arg(*capacity));

    std::optional<std::uint64_t> page = parseDecimal(f[5], &why);
    if (!page)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(5), f[5], why));
    else if (!isPowerOfTwo(*page) || *page > MaxPage)
        fail(QStringLiteral("page size %1 is not a power of two from 1 to 256").arg(*page));

    std::optional<std::uint64_t> chipClass = parseDecimal(f[6], &why);
    if (!chipClass)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(6), f[6], why));
    else if (*chipClass > SpiEeprom25)
        fail(QStringLiteral("class %1 is not 0..3").arg(*chipClass));
    else if (type && *chipClass != type->chipClass)
        fail(QStringLiteral("class %1 does not match type \"%2\", which is class %3")
                 .arg(*chipClass)
                 .arg(chip.type)
                 .arg(int(type->chipClass)));

    std::optional<std::uint64_t> subtype = parseDecimal(f[7], &why);
    if (!subtype)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(7), f[7], why));
    else if (*subtype > 255)
        fail(QStringLiteral("subtype %1 does not fit one byte").arg(*subtype));

    std::optional<std::uint64_t> delay = parseDecimal(f[8], &why);
    if (!delay)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(8), f[8], why));
    else if (*delay > 65535)
        fail(QStringLiteral("delay %1 does not fit 16 bits (at most 65535)").arg(*delay));

    std::optional<std::uint8_t> voltage = parseVoltage(f[9], &why);
    if (!voltage)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(9), f[9], why));

    std::optional<std::uint64_t> eepromSize = parseDecimal(f[10], &why);
    if (!eepromSize)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(10), f[10], why));
    else if (*eepromSize != 0 && (!isPowerOfTwo(*eepromSize) || *eepromSize > MaxEepromSize))
        fail(QStringLiteral("eeprom_size %1 must be 0 or a power of two up to 32768").arg(*eepromSize));

    std::optional<std::uint64_t> eepromPage = parseDecimal(f[11], &why);
    if (!eepromPage)
        fail(QStringLiteral("%1 \"%2\" %3").arg(field(11), f[11], why));
    else if (*eepromPage != 0 && (!isPowerOfTwo(*eepromPage) || *eepromPage > MaxEepromPage))
        fail(QStringLiteral("eeprom_page %1 must be 0 or a power of two up to 128").arg(*eepromPage));

    chip.source = f[12];
    if (chip.source.isEmpty())
        fail(QStringLiteral("%1 is empty: name the public ID tables or the datasheet the row's facts come from")
                 .arg(field(12)));

    if (errors.size() != errorsBefore)
        return std::nullopt;

    chip.chipId = *chipId;
    chip.capacity = std::uint32_t(*capacity);
    chip.page = std::uint16_t(*page);
    chip.chipClass = std::uint8_t(*chipClass);
    chip.subtype = std::uint8_t(*subtype);
    chip.delay = std::uint16_t(*delay);
    chip.voltage = *voltage;
    chip.eepromSize = std::uint16_t(*eepromSize);
    chip.eepromPage = std::uint8_t(*eepromPage);

    // Checks that relate fields to each other.
    if (const QString e = checkSubtype(chip.chipClass, chip.subtype, chip.capacity); !e.isEmpty())
        fail(e);
    if (chip.chipClass == SpiFlash25) {
        if ((chip.chipId >> 16) == 0)
            fail(QStringLiteral(
                "a 25-series flash needs its JEDEC identification (manufacturer, memory type, capacity), "
                "with a non-zero manufacturer byte"));
        if (chip.delay == 0)
            fail(QStringLiteral("a 25-series flash needs a non-zero delay: it limits the chip-erase wait to "
                                "delay status polls of about 100 ms"));
        else if (chip.delay < minimumFlashDelay(chip.capacity))
            fail(QStringLiteral("delay %1 is under the floor %2 for %3 bytes (at least 100 polls of about "
                                "100 ms, and 16 per Mbit): the chip erase would be given up too early")
                     .arg(chip.delay)
                     .arg(minimumFlashDelay(chip.capacity))
                     .arg(chip.capacity));
    } else if (chip.chipId != 0) {
        fail(QStringLiteral("an EEPROM answers no identification; jedec_id must be 0"));
    }
    if (chip.page > chip.capacity)
        fail(QStringLiteral("page size %1 exceeds the capacity %2").arg(chip.page).arg(chip.capacity));

    const QString names = namesText(chip);
    bool encodable = false;
    const QByteArray gbk = toGbk(names, &encodable);
    if (!encodable)
        fail(QStringLiteral("names text \"%1\" has a character without a GBK form").arg(names));
    else if (gbk.size() > NamesSize - 1)
        fail(QStringLiteral("names text \"%1\" takes %2 bytes in GBK, at most %3 fit")
                 .arg(names)
                 .arg(gbk.size())
                 .arg(NamesSize - 1));
    else if (!readsBack(names, {chip.type, chip.manufacturer, chip.model}))
        fail(QStringLiteral("names text \"%1\" does not read back as type, manufacturer and model").arg(names));

    if (errors.size() != errorsBefore)
        return std::nullopt;
    return chip;
}

} // namespace

std::uint32_t minimumFlashDelay(std::uint32_t capacity)
{
    constexpr std::uint32_t BytesPerMbit = 131072;
    return std::max<std::uint32_t>(100, (capacity / BytesPerMbit) * 16);
}

std::uint32_t microwireCapacity(std::uint8_t code)
{
    // 93C46 = 1 Kbit, 93C57 = 2 Kbit, 93C66 = 4 Kbit, 93C76 = 8 Kbit, 93C86 = 16 Kbit
    if (code >= 7 && code <= 11)
        return 128u << (code - 7);
    if (code >= 87 && code <= 91)
        return 128u << (code - 87);
    return 0;
}

std::uint8_t microwireCode(std::uint32_t capacity, int wordBits)
{
    if (wordBits != 8 && wordBits != 16)
        return 0;
    for (std::uint8_t k = 0; k < 5; ++k)
        if (capacity == (128u << k))
            return std::uint8_t((wordBits == 8 ? 7 : 87) + k);
    return 0;
}

QString namesText(const SourceChip& chip)
{
    auto part = [](const QString& name) {
        for (QChar c : name)
            if (isBlankOrControl(c) || c == QLatin1Char('"') || c == QLatin1Char(','))
                return quoted(QString(name).replace(QLatin1String("\""), QLatin1String("\"\"")));
        return name;
    };
    return part(chip.type) + QLatin1Char(',') + part(chip.manufacturer) + QLatin1Char(',') + part(chip.model);
}

ParsedSource parseChipSource(QByteArrayView text)
{
    ParsedSource result;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);

    bool headerSeen = false;
    int typesSeen = 0;
    QHash<QString, int> firstOfName; // type, manufacturer and model (any case) -> line
    QHash<QString, std::pair<QString, int>> makerSpelling; // manufacturer in lower case -> first spelling, line
    QHash<std::uint32_t, std::size_t> firstOfId; // flash identification -> index of its first chip

    int line = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView raw = text.sliced(start, end - start);
        start = end + 1;
        ++line;
        if (raw.endsWith('\r'))
            raw.chop(1);

        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString content = decoder.decode(raw);
        if (decoder.hasError()) {
            result.errors.push_back({line, QStringLiteral("the line is not valid UTF-8")});
            continue;
        }
        const QString trimmed = content.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;

        const QStringList fields = content.split(QLatin1Char(','));
        if (!headerSeen) {
            headerSeen = true;
            QStringList titles;
            for (const QString& f : fields)
                titles << f.trimmed();
            if (titles.join(QLatin1Char(',')) != headerText())
                result.errors.push_back(
                    {line, QStringLiteral("expected the header line \"%1\" before the first chip").arg(headerText())});
            continue;
        }

        std::optional<SourceChip> chip = parseRow(line, fields, result.errors);
        if (!chip)
            continue;

        const QString key
            = chip->type + QLatin1Char('\n') + chip->manufacturer.toLower() + QLatin1Char('\n') + chip->model.toLower();
        if (const auto it = firstOfName.constFind(key); it != firstOfName.cend()) {
            result.errors.push_back({line,
                QStringLiteral("%1 %2 is listed twice (first on line %3); "
                               "only the first one could be selected")
                    .arg(chip->manufacturer, chip->model)
                    .arg(*it)});
            continue;
        }
        const QString makerKey = chip->manufacturer.toLower();
        if (const auto it = makerSpelling.constFind(makerKey);
            it != makerSpelling.cend() && it->first != chip->manufacturer) {
            result.errors.push_back({line,
                QStringLiteral("manufacturer \"%1\" differs only in letter case from \"%2\" "
                               "(line %3); the chip lists would never select it")
                    .arg(chip->manufacturer, it->first)
                    .arg(it->second)});
            continue;
        }

        const int index = typeIndex(chip->type);
        if (index > typesSeen) {
            QStringList order;
            for (const ChipType& t : Types)
                order << quoted(QString::fromLatin1(t.text));
            result.errors.push_back({line,
                QStringLiteral("type \"%1\" comes before the first \"%2\" chip; the types must first appear "
                               "in the order %3, because the identify replies select the type list by position")
                    .arg(chip->type, QString::fromLatin1(Types[size_t(typesSeen)].text),
                        order.join(QStringLiteral(", ")))});
            continue;
        }
        if (index == typesSeen)
            ++typesSeen;

        if (int(result.chips.size()) == MaxChips) {
            result.errors.push_back({line,
                QStringLiteral("more than %1 chips: the table has %2 slots and one of "
                               "them holds the end marker")
                    .arg(MaxChips)
                    .arg(ChipSlots)});
            continue;
        }
        // Detection may end on any chip of an identification: they all wait as long as the slowest,
        // and where their supplies differ, the first (the one a careless choice takes) is not 1.8 V.
        if (chip->chipClass == SpiFlash25) {
            if (const auto it = firstOfId.constFind(chip->chipId); it != firstOfId.cend()) {
                const SourceChip& first = result.chips[*it];
                if (chip->delay != first.delay)
                    result.errors.push_back({line,
                        QStringLiteral("delay %1 differs from the %2 of %3 (line %4), which answers the same "
                                       "jedec_id; every chip of an identification takes the longest delay")
                            .arg(chip->delay)
                            .arg(first.delay)
                            .arg(first.model)
                            .arg(first.line)});
                if (chip->voltage != first.voltage && first.voltage == Volt18)
                    result.errors.push_back({line,
                        QStringLiteral("%1 (line %2) answers the same jedec_id at 1.8V; the chips of other "
                                       "supplies must come before it")
                            .arg(first.model)
                            .arg(first.line)});
            } else {
                firstOfId.insert(chip->chipId, result.chips.size());
            }
        }
        firstOfName.insert(key, line);
        makerSpelling.insert(makerKey, {chip->manufacturer, line});
        result.chips.push_back(*chip);
    }

    if (!headerSeen)
        result.errors.push_back({0, QStringLiteral("no header line \"%1\"").arg(headerText())});
    else if (result.chips.empty() && result.errors.empty())
        result.errors.push_back({0, QStringLiteral("the source lists no chip")});
    return result;
}

ParsedSource readChipSourceFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ParsedSource result;
        result.errors.push_back({0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())});
        return result;
    }
    return parseChipSource(file.readAll());
}

ChipRecord toRecord(const SourceChip& chip)
{
    ChipRecord r {};
    r.setNamesText(namesText(chip));
    r.chipId = chip.chipId;
    r.flashSize = chip.capacity;
    r.flashPage = chip.page;
    r.chipClass = chip.chipClass;
    r.subtype = chip.subtype;
    r.delay = chip.delay;
    r.xmlLink = 0;
    r.eepromSize = chip.eepromSize;
    r.eepromPage = chip.eepromPage;
    r.voltage = chip.voltage;
    return r;
}

QByteArray databaseBytes(const std::vector<SourceChip>& chips)
{
    QByteArray bytes(qsizetype(chips.size() + 1) * ChipRecordSize, '\0');
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const ChipRecord r = toRecord(chips[i]);
        std::memcpy(bytes.data() + qsizetype(i) * ChipRecordSize, &r, ChipRecordSize);
    }
    return bytes;
}

} // namespace kestrum::chipsource
