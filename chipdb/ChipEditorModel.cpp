#include "chipdb/ChipEditorModel.h"

#include "base/Gbk.h"
#include "base/IntegerText.h"
#include "base/Messages.h"
#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace kestrum {

namespace {

/// A list position as a list control takes it: anything outside the entries means no selection.
int listIndex(qint64 index, qsizetype count)
{
    return index >= 0 && index < count ? int(index) : -1;
}

/// Cuts text at its first comma; without a comma the head is empty and the whole text is the tail.
void cutAtComma(const QString& text, QString& head, QString& tail)
{
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (comma < 0) {
        head.clear();
        tail = text;
        return;
    }
    head = text.left(comma);
    tail = text.mid(comma + 1);
}

/// A name as the database file spells it: in quotes (inner quotes doubled) when it holds a blank,
/// a comma or a quote; a name already in quotes stays as it is.
QString quotedName(const QString& name)
{
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name;
    // Blanks around a name are no part of it.
    const QString trimmed = name.trimmed();
    if (!trimmed.contains(QLatin1Char(' ')) && !trimmed.contains(QLatin1Char(','))
        && !trimmed.contains(QLatin1Char('"')))
        return name;
    QString inner = trimmed;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

/// A name as it reads: without the quotes of the database file's spelling.
QString unquotedName(const QString& cell)
{
    return cell.startsWith(QLatin1Char('"')) ? NameTokens(cell).at(0) : cell;
}

EditorRow titleRow()
{
    const QStringList titles = editorColumnTitles();
    EditorRow row;
    for (int c = 0; c < EditorColumns; ++c)
        row[static_cast<size_t>(c)] = titles[c];
    return row;
}

QString u16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

} // namespace

std::optional<qint32> cellInteger(const QString& text)
{
    return readInt32(text, IntegerNotation::decimalOrHex());
}

QString notAnIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

int floorLog2(qint32 v)
{
    int halvings = 0;
    while (v > 1) {
        v >>= 1;
        ++halvings;
    }
    return halvings;
}

QStringList editorColumnTitles()
{
    return {u16(u"芯片类型"), u16(u"芯片厂家"), u16(u"芯片型号"), u16(u"芯片ID"), QStringLiteral("FLASH"),
        u16(u"FLASH页"), u16(u"类型"), u16(u"子类型"), u16(u"延时"), u16(u"工作电压"), QStringLiteral("EEPROM"),
        u16(u"EEPROM页"), u16(u"关联XML")};
}

QStringList editorClassItems()
{
    return {u16(u"25 flash 系列"), u16(u"24 eeprom 系列"), u16(u"93 eeprom 系列"), u16(u"25 eeprom 系列")};
}

QStringList editorFlashItems()
{
    return sizeListItems();
}

QStringList editorFlashPageItems()
{
    return {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("16"),
        QStringLiteral("32"), QStringLiteral("64"), QStringLiteral("128"), QStringLiteral("256")};
}

QStringList editorVoltageItems()
{
    return {QStringLiteral("3.3V"), QStringLiteral("1.8V"), QStringLiteral("5.0V")};
}

QStringList editorEepromItems()
{
    // Item 0 is no EEPROM; item k is 1 << k bytes.
    QStringList items {QStringLiteral("0B"), QStringLiteral("2B"), QStringLiteral("4B"), QStringLiteral("8B"),
        QStringLiteral("16B"), QStringLiteral("32B")};
    items << sizeListItems();
    return items;
}

QStringList editorEepromPageItems()
{
    return editorFlashPageItems();
}

QStringList algorithmItems(int chipClass)
{
    switch (chipClass) {
    case SpiFlash25:
        return {u16(u"非SST SPI flash"), QStringLiteral("SST SPI flash")};
    case I2cEeprom24:
        return {u16(u"小于4KB"), u16(u"大于等于4KB")};
    case MicrowireEeprom93:
        return {QStringLiteral("93C46 8 BITS"), QStringLiteral("93C57 8 BITS"), QStringLiteral("93C66 8 BITS"),
            QStringLiteral("93C76 8 BITS"), QStringLiteral("93C86 8 BITS"), QStringLiteral("93C46 16 BITS"),
            QStringLiteral("93C57 16 BITS"), QStringLiteral("93C66 16 BITS"), QStringLiteral("93C76 16 BITS"),
            QStringLiteral("93C86 16 BITS")};
    case SpiEeprom25:
        return {u16(u"小于512B"), u16(u"大等于512B"), u16(u"大于64KB")};
    default:
        return {};
    }
}

int subtypeForAlgorithm(int chipClass, int algorithmIndex)
{
    // The programmer takes the 93 series organisation as its command code: 7..11 for 8-bit
    // words, 87..91 for 16-bit words.
    if (chipClass == MicrowireEeprom93)
        return algorithmIndex < 5 ? algorithmIndex + 7 : algorithmIndex + 82;
    return algorithmIndex;
}

ChipEditorModel::ChipEditorModel()
{
    m_rows.push_back(titleRow());
}

void ChipEditorModel::setCell(int r, int column, const QString& text)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= EditorColumns)
        return;
    m_rows[static_cast<size_t>(r)][static_cast<size_t>(column)] = text;
}

void ChipEditorModel::selectCell(int r)
{
    m_currentRow = r;
    m_selectedRow = r;
}

void ChipEditorModel::clampCurrentRow()
{
    m_currentRow = std::clamp(m_currentRow, 1, std::max(1, rowCount() - 1));
}

void ChipEditorModel::load(const ChipTable& table)
{
    m_rows.assign(1, titleRow());
    m_types.clear();
    m_makers.clear();
    m_models.clear();
    for (int i = 0; i < ChipSlots && !table[i].isEnd(); ++i) {
        const ChipRecord& record = table[i];
        QString type;
        QString rest;
        QString maker;
        QString model;
        cutAtComma(record.namesText(), type, rest);
        cutAtComma(rest, maker, model);

        EditorRow row;
        row[ColType] = type;
        row[ColMaker] = maker;
        row[ColModel] = model;
        row[ColChipId] = QStringLiteral("0x") + QString::number(record.chipId, 16).toUpper();
        row[ColFlashSize] = QString::number(record.flashSize);
        row[ColFlashPage] = QString::number(record.flashPage);
        row[ColClass] = QString::number(record.chipClass);
        row[ColSubtype] = QString::number(record.subtype);
        row[ColDelay] = QString::number(record.delay);
        row[ColVoltage] = QString::number(record.voltage);
        row[ColEepromSize] = QString::number(record.eepromSize);
        row[ColEepromPage] = QString::number(record.eepromPage);
        row[ColXmlLink] = QString::number(record.xmlLink);
        m_rows.push_back(row);

        // The lists offer the names as they read.
        type = unquotedName(type);
        maker = unquotedName(maker);
        model = unquotedName(model);
        if (!m_types.containsIgnoringCase(type))
            m_types.append(type);
        if (!maker.isEmpty() && !m_makers.containsIgnoringCase(maker))
            m_makers.append(maker);
        if (!m_models.containsIgnoringCase(model))
            m_models.append(model);
    }
    m_types.select(0);
    m_makers.select(0);
    m_models.select(0);
    clampCurrentRow();
}

std::optional<EditorRow> ChipEditorModel::buildRow(const ChipEditorFields& f, std::optional<EditorList>* missing)
{
    // Every number below is computed from a list position; a list without a selection has none.
    const struct
    {
        int index;
        qsizetype count;
        EditorList list;
    } lists[] = {
        {f.classIndex, editorClassItems().size(), EditorList::Class},
        {f.voltageIndex, editorVoltageItems().size(), EditorList::Voltage},
        {f.flashIndex, editorFlashItems().size(), EditorList::Flash},
        {f.flashPageIndex, editorFlashPageItems().size(), EditorList::FlashPage},
        {f.algorithmIndex, algorithmItems(f.classIndex).size(), EditorList::Algorithm},
        {f.eepromIndex, editorEepromItems().size(), EditorList::Eeprom},
        {f.eepromPageIndex, editorEepromPageItems().size(), EditorList::EepromPage},
    };
    if (missing)
        missing->reset();
    for (const auto& list : lists) {
        if (listIndex(list.index, list.count) < 0) {
            if (missing)
                *missing = list.list;
            return std::nullopt;
        }
    }

    EditorRow row;
    row[ColType] = quotedName(f.type);
    row[ColMaker] = quotedName(f.maker);
    row[ColModel] = quotedName(f.model);
    row[ColChipId] = f.chipId;
    row[ColFlashSize] = QString::number(64u << f.flashIndex);
    row[ColFlashPage] = QString::number(1u << f.flashPageIndex);
    row[ColClass] = QString::number(f.classIndex);
    row[ColSubtype] = QString::number(subtypeForAlgorithm(f.classIndex, f.algorithmIndex));
    row[ColDelay] = f.delay;
    row[ColVoltage] = QString::number(f.voltageIndex);
    row[ColEepromSize] = QString::number(f.eepromIndex == 0 ? 0u : 1u << f.eepromIndex);
    row[ColEepromPage] = QString::number(1u << f.eepromPageIndex);
    // An empty extension field stands for no extension; the row must still save.
    row[ColXmlLink] = trimControl(f.extend).isEmpty() ? QStringLiteral("0") : f.extend;
    return row;
}

bool ChipEditorModel::add(const ChipEditorFields& fields, std::optional<EditorList>* missing)
{
    const std::optional<EditorRow> row = buildRow(fields, missing);
    if (!row)
        return false;
    m_rows.push_back(*row);
    selectCell(rowCount() - 1);
    return true;
}

bool ChipEditorModel::edit(const ChipEditorFields& fields, std::optional<EditorList>* missing)
{
    if (m_selectedRow < 1 || m_selectedRow >= rowCount()) {
        if (missing)
            missing->reset();
        return false;
    }
    const std::optional<EditorRow> row = buildRow(fields, missing);
    if (!row)
        return false;
    m_rows[static_cast<size_t>(m_selectedRow)] = *row;
    return true;
}

void ChipEditorModel::deleteCurrentRow()
{
    if (rowCount() < 2)
        return;
    clampCurrentRow();
    for (int r = m_currentRow; r < rowCount() - 1; ++r)
        m_rows[static_cast<size_t>(r)] = m_rows[static_cast<size_t>(r) + 1];
    m_rows.pop_back();
    clampCurrentRow();
}

bool ChipEditorModel::loadSelectedRow(ChipEditorFields& fields, QString* error) const
{
    const int r = m_selectedRow;
    if (r <= 0 || r >= rowCount())
        return true;
    const EditorRow& cells = row(r);
    auto number = [&](int column) {
        const QString& text = cells[static_cast<size_t>(column)];
        const std::optional<qint32> value = cellInteger(text);
        if (!value && error)
            *error = notAnIntegerText(text);
        return value;
    };

    // The fields show a name as it reads; the grid keeps it as the database file spells it.
    fields.type = unquotedName(cells[ColType]);
    fields.maker = unquotedName(cells[ColMaker]);
    fields.model = unquotedName(cells[ColModel]);
    fields.chipId = cells[ColChipId];

    const auto flashSize = number(ColFlashSize);
    if (!flashSize)
        return false;
    fields.flashIndex = listIndex(qint64(floorLog2(*flashSize)) - 6, editorFlashItems().size());
    const auto flashPage = number(ColFlashPage);
    if (!flashPage)
        return false;
    fields.flashPageIndex = listIndex(floorLog2(*flashPage), editorFlashPageItems().size());

    const auto chipClass = number(ColClass);
    if (!chipClass)
        return false;
    fields.classIndex = listIndex(*chipClass, editorClassItems().size());
    // The class change: the class's algorithm list with its first entry.
    const qsizetype algorithms = algorithmItems(fields.classIndex).size();
    fields.algorithmIndex = listIndex(0, algorithms);

    const auto subtype = number(ColSubtype);
    if (!subtype)
        return false;
    const qint64 v = *subtype;
    switch (fields.classIndex) {
    case SpiFlash25:
        fields.algorithmIndex = listIndex(v, algorithms);
        break;
    case I2cEeprom24:
        // Addressing of the 24 series changes at 4 KB; the size decides, not the stored value.
        fields.algorithmIndex = fields.flashIndex >= 6 ? 1 : 0;
        break;
    case MicrowireEeprom93:
        fields.algorithmIndex = listIndex(v < 80 ? v - 7 : v - 82, algorithms);
        break;
    case SpiEeprom25:
        fields.algorithmIndex = fields.flashIndex >= 4 ? 1 : 0;
        break;
    default:
        break;
    }

    const auto delay = number(ColDelay);
    if (!delay)
        return false;
    fields.delay = QString::number(*delay);
    const auto voltage = number(ColVoltage);
    if (!voltage)
        return false;
    fields.voltageIndex = listIndex(*voltage, editorVoltageItems().size());
    const auto eepromSize = number(ColEepromSize);
    if (!eepromSize)
        return false;
    fields.eepromIndex = listIndex(floorLog2(*eepromSize), editorEepromItems().size());
    const auto eepromPage = number(ColEepromPage);
    if (!eepromPage)
        return false;
    fields.eepromPageIndex = listIndex(floorLog2(*eepromPage), editorEepromPageItems().size());
    const auto xmlLink = number(ColXmlLink);
    if (!xmlLink)
        return false;
    fields.extend = QString::number(*xmlLink);
    return true;
}

std::optional<qint32> ChipEditorModel::saveInto(ChipTable& table, QString* error) const
{
    const int chips = rowCount() - 1;
    if (chips > ChipSlots - 1) {
        if (error)
            *error = messageText(MsgEditorTooManyRows, m_language).arg(ChipSlots - 1).arg(chips);
        return std::nullopt;
    }

    // The rows go into a copy; the table changes only once every row has been converted.
    const auto converted = std::make_unique<ChipTable>(table);
    for (int r = 1; r <= chips; ++r) {
        const EditorRow& cells = row(r);
        ChipRecord& record = (*converted)[r - 1];

        const QString names = trimControl(cells[ColType]) + QLatin1Char(',') + trimControl(cells[ColMaker])
            + QLatin1Char(',') + trimControl(cells[ColModel]);
        bool representable = false;
        const QByteArray gbk = toGbk(names, &representable);
        if (!representable || gbk.contains('\0')) {
            if (error)
                *error = messageText(MsgEditorNamesNotGbk, m_language).arg(r).arg(names);
            return std::nullopt;
        }
        if (gbk.size() > NamesSize - 1) {
            if (error)
                *error = messageText(MsgEditorNamesTooLong, m_language)
                             .arg(r)
                             .arg(names)
                             .arg(gbk.size())
                             .arg(NamesSize - 1);
            return std::nullopt;
        }
        const bool stored = record.setNamesText(names);
        Q_ASSERT(stored);
        Q_UNUSED(stored);

        // Each number is taken as 32 bits and the field keeps its low bits.
        std::optional<qint32> value;
        auto convert = [&](int column) {
            const QString& text = cells[static_cast<size_t>(column)];
            value = cellInteger(text);
            if (!value && error)
                *error = notAnIntegerText(text);
            return value.has_value();
        };
        auto bits = [&] { return static_cast<std::uint32_t>(*value); };
        if (!convert(ColChipId))
            return std::nullopt;
        record.chipId = bits();
        if (!convert(ColFlashSize))
            return std::nullopt;
        record.flashSize = bits();
        if (!convert(ColFlashPage))
            return std::nullopt;
        record.flashPage = static_cast<std::uint16_t>(bits());
        if (!convert(ColClass))
            return std::nullopt;
        record.chipClass = static_cast<std::uint8_t>(bits());
        if (!convert(ColSubtype))
            return std::nullopt;
        record.subtype = static_cast<std::uint8_t>(bits());
        if (!convert(ColDelay))
            return std::nullopt;
        record.delay = static_cast<std::uint16_t>(bits());
        if (!convert(ColVoltage))
            return std::nullopt;
        record.voltage = static_cast<std::uint8_t>(bits());
        if (!convert(ColEepromSize))
            return std::nullopt;
        record.eepromSize = static_cast<std::uint16_t>(bits());
        if (!convert(ColEepromPage))
            return std::nullopt;
        record.eepromPage = static_cast<std::uint8_t>(bits());
        if (!convert(ColXmlLink))
            return std::nullopt;
        record.xmlLink = static_cast<std::uint16_t>(bits());

        // The commands refuse a record that cannot be right; the editor does not store one.
        if (const std::optional<RecordFlaw> flaw = recordFlaw(record)) {
            if (error)
                *error = messageText(MsgEditorRowFlawed, m_language)
                             .arg(r)
                             .arg(messageText(recordFlawMessage(*flaw), m_language));
            return std::nullopt;
        }
    }

    // The end marker needs only an empty names text; the rest of the slot stays as it was.
    std::memset(&(*converted)[chips], 0, 20);
    table = *converted;
    return static_cast<qint32>((chips + 1) * ChipRecordSize);
}

int selectChipAgain(ChipSelection& selection, const ChipTable& table)
{
    const int found
        = selection.selectByNames(selection.types().text(), selection.makers().text(), selection.names().text());
    if (found >= 0 || table[0].isEnd())
        return found;
    const NameTokens first(table[0].namesText());
    return selection.selectByNames(first.trimmedAt(0), first.trimmedAt(1), first.trimmedAt(2));
}

} // namespace kestrum
