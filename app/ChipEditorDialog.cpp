#include "app/ChipEditorDialog.h"

#include "app/Captions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace kestrum {

namespace {

constexpr int DefaultColumnWidth = 75;
constexpr int NarrowColumnWidth = 60;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

/// editable: free text with the entries as suggestions; otherwise a pick list, whose placeholder
/// is what it shows while nothing is selected.
QComboBox* makeCombo(QWidget* parent, const char* name, bool editable, const QStringList& items = {},
    const QString& placeholder = QString())
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    if (editable)
        box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    box->addItems(items);
    if (!placeholder.isEmpty())
        box->setPlaceholderText(placeholder);
    return box;
}

} // namespace

ChipEditorDialog::ChipEditorDialog(QWidget* parent, Reporter& reporter, ChipTable& table, QString databasePath,
    HandlerGuard runGuarded, std::function<void()> tableChanged)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_table(table)
    , m_databasePath(std::move(databasePath))
    , m_runGuarded(std::move(runGuarded))
    , m_tableChanged(std::move(tableChanged))
{
    setObjectName(QStringLiteral("chipEditor"));
    setWindowTitle(QStringLiteral("Chip Editor"));
    setFixedSize(960, 600);

    buildGrid();
    buildFields();
    buildButtons();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chipGrid, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fieldsGroup, 1);
    bottom->addWidget(buttonColumn);
    layout->addLayout(bottom);

    setFields(ChipEditorFields {});
}

void ChipEditorDialog::buildGrid()
{
    chipGrid = new QTableWidget(this);
    chipGrid->setObjectName(QStringLiteral("chipGrid"));
    chipGrid->setColumnCount(EditorColumns);
    chipGrid->setHorizontalHeaderLabels(editorColumnTitles());
    chipGrid->horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    chipGrid->horizontalHeader()->setSectionsClickable(false);
    chipGrid->verticalHeader()->setVisible(false);
    chipGrid->verticalHeader()->setDefaultSectionSize(24);
    chipGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    chipGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    // A click loads the row into the fields; typing or a second click edits the cell.
    chipGrid->setEditTriggers(
        QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    chipGrid->setWordWrap(false);

    // A cell is selected by moving to it, or by pressing on it even when it already is the
    // current cell (the grid places its current cell itself when it is filled).
    connect(chipGrid, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0)
            selectCell(row + 1);
    });
    connect(chipGrid, &QTableWidget::cellPressed, this, [this](int row, int) { selectCell(row + 1); });
    connect(chipGrid, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (const QTableWidgetItem* item = chipGrid->item(row, column)) {
            m_model.setCell(row + 1, column, item->text());
            m_rowsChanged = true;
        }
    });
    // One click on a row loads it into the fields (a double click is a click as well).
    connect(chipGrid, &QTableWidget::cellClicked, this, [this] { m_runGuarded([this] { loadSelectedRow(); }); });
}

void ChipEditorDialog::buildFields()
{
    fieldsGroup = new QGroupBox(QStringLiteral("Config"), this);
    fieldsGroup->setObjectName(QStringLiteral("fieldsGroup"));
    auto* grid = new QGridLayout(fieldsGroup);
    grid->setHorizontalSpacing(8);

    QWidget* g = fieldsGroup;
    typeLabel = makeLabel(g, "typeLabel", QStringLiteral("Type"));
    typeCombo = makeCombo(g, "typeCombo", true);
    manufacturerLabel = makeLabel(g, "manufacturerLabel", QStringLiteral("Manufacturer"));
    manufacturerCombo = makeCombo(g, "manufacturerCombo", true);
    nameLabel = makeLabel(g, "nameLabel", QStringLiteral("Name"));
    nameCombo = makeCombo(g, "nameCombo", true);
    delayLabel = makeLabel(g, "delayLabel", QStringLiteral("Delay"));
    delayEdit = new QLineEdit(g);
    delayEdit->setObjectName(QStringLiteral("delayEdit"));
    classLabel = makeLabel(g, "classLabel", QStringLiteral("Class"));
    classCombo = makeCombo(g, "classCombo", false, editorClassItems(), editorClassItems().constFirst());
    flashLabel = makeLabel(g, "flashLabel", QStringLiteral("FLASH"));
    flashCombo = makeCombo(g, "flashCombo", false, editorFlashItems());
    flashPageLabel = makeLabel(g, "flashPageLabel", QStringLiteral("FLASH Page"));
    flashPageCombo = makeCombo(g, "flashPageCombo", false, editorFlashPageItems());
    voltageLabel = makeLabel(g, "voltageLabel", QStringLiteral("Voltage"));
    voltageCombo = makeCombo(g, "voltageCombo", false, editorVoltageItems(), editorVoltageItems().constFirst());
    algorithmLabel = makeLabel(g, "algorithmLabel", QStringLiteral("Algorithm"));
    algorithmCombo = makeCombo(g, "algorithmCombo", false, {}, algorithmItems(SpiFlash25).constFirst());
    chipIdLabel = makeLabel(g, "chipIdLabel", QStringLiteral("Chip ID"));
    chipIdCombo = makeCombo(g, "chipIdCombo", true);
    eepromLabel = makeLabel(g, "eepromLabel", QStringLiteral("EEPROM"));
    eepromCombo = makeCombo(g, "eepromCombo", false, editorEepromItems());
    eepromPageLabel = makeLabel(g, "eepromPageLabel", QStringLiteral("EEPROM page"));
    eepromPageCombo = makeCombo(g, "eepromPageCombo", false, editorEepromPageItems());
    extendLabel = makeLabel(g, "extendLabel", QStringLiteral("Extend"));
    extendCombo = makeCombo(g, "extendCombo", true);

    const std::pair<QLabel*, QWidget*> pairs[] = {
        {typeLabel, typeCombo},
        {manufacturerLabel, manufacturerCombo},
        {nameLabel, nameCombo},
        {delayLabel, delayEdit},
        {classLabel, classCombo},
        {flashLabel, flashCombo},
        {flashPageLabel, flashPageCombo},
        {voltageLabel, voltageCombo},
        {algorithmLabel, algorithmCombo},
        {chipIdLabel, chipIdCombo},
        {eepromLabel, eepromCombo},
        {eepromPageLabel, eepromPageCombo},
        {extendLabel, extendCombo},
    };
    int i = 0;
    for (const auto& [label, field] : pairs) {
        const int row = i / 4;
        const int column = (i % 4) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(field, row, column + 1);
        ++i;
    }
    for (int c = 1; c < 8; c += 2)
        grid->setColumnStretch(c, 1);

    connect(classCombo, &QComboBox::activated, this, [this] { m_runGuarded([this] { classChanged(); }); });
}

void ChipEditorDialog::buildButtons()
{
    buttonColumn = new QWidget(this);
    buttonColumn->setObjectName(QStringLiteral("buttonColumn"));
    auto* column = new QVBoxLayout(buttonColumn);
    column->setContentsMargins(0, 0, 0, 0);
    auto button = [this, column](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, buttonColumn);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        column->addWidget(b);
    };
    button(deleteButton, "deleteButton", QStringLiteral("Delete"));
    button(addButton, "addButton", QStringLiteral("Add"));
    button(editButton, "editButton", QStringLiteral("Edit"));
    button(saveButton, "saveButton", QStringLiteral("Save"));
    button(quitButton, "quitButton", QStringLiteral("Quit"));
    column->addStretch();

    connect(deleteButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { deleteChip(); }); });
    connect(addButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { addChip(); }); });
    connect(editButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { editChip(); }); });
    connect(saveButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { saveDatabase(); }); });
    // Closing saves nothing; the grid is rebuilt from the file at the next opening.
    connect(quitButton, &QPushButton::clicked, this, &QDialog::reject);
}

ChipEditorFields ChipEditorDialog::fields() const
{
    ChipEditorFields f;
    f.type = typeCombo->currentText();
    f.maker = manufacturerCombo->currentText();
    f.model = nameCombo->currentText();
    f.delay = delayEdit->text();
    f.classIndex = classCombo->currentIndex();
    f.flashIndex = flashCombo->currentIndex();
    f.flashPageIndex = flashPageCombo->currentIndex();
    f.voltageIndex = voltageCombo->currentIndex();
    f.algorithmIndex = algorithmCombo->currentIndex();
    f.chipId = chipIdCombo->currentText();
    f.eepromIndex = eepromCombo->currentIndex();
    f.eepromPageIndex = eepromPageCombo->currentIndex();
    f.extend = extendCombo->currentText();
    return f;
}

void ChipEditorDialog::setFields(const ChipEditorFields& f)
{
    typeCombo->setEditText(f.type);
    manufacturerCombo->setEditText(f.maker);
    nameCombo->setEditText(f.model);
    delayEdit->setText(f.delay);
    classCombo->setCurrentIndex(f.classIndex);
    flashCombo->setCurrentIndex(f.flashIndex);
    flashPageCombo->setCurrentIndex(f.flashPageIndex);
    voltageCombo->setCurrentIndex(f.voltageIndex);
    algorithmCombo->clear();
    algorithmCombo->addItems(algorithmItems(f.classIndex));
    algorithmCombo->setCurrentIndex(f.algorithmIndex);
    chipIdCombo->setEditText(f.chipId);
    eepromCombo->setCurrentIndex(f.eepromIndex);
    eepromPageCombo->setCurrentIndex(f.eepromPageIndex);
    extendCombo->setEditText(f.extend);
}

void ChipEditorDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only an opening reloads; the window system showing it again (after a minimise) must not
    // drop the rows not yet saved.
    if (!event->spontaneous())
        m_runGuarded([this] { reloadAndShow(); });
}

LoadResult ChipEditorDialog::reloadDatabase()
{
    return loadChipDatabaseFile(m_databasePath, m_table, m_reporter, IntegrityMessage::EditorFixedText);
}

void ChipEditorDialog::reloadAndShow()
{
    // Grid changes not saved at an earlier opening are dropped: the file is the reference.
    const bool reloaded = reloadDatabase() == LoadResult::Loaded;
    m_model.load(m_table);
    m_rowsChanged = false;
    for (int c = 0; c < EditorColumns; ++c) {
        const bool narrow = (c >= ColChipId && c <= ColVoltage) || c == ColEepromPage || c == ColXmlLink;
        chipGrid->setColumnWidth(c, narrow ? NarrowColumnWidth : DefaultColumnWidth);
    }
    showGrid();
    fitColumnsToCells();
    showNameLists();
    if (reloaded && m_tableChanged)
        m_tableChanged();
}

void ChipEditorDialog::fitColumnsToCells()
{
    // The widths above are the least a column gets; a longer ID, size or name widens its column.
    const QFontMetrics metrics(chipGrid->font());
    const int padding = 2 * chipGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, chipGrid) + 8;
    for (int c = 0; c < EditorColumns; ++c) {
        int widest = 0;
        for (int r = 0; r < chipGrid->rowCount(); ++r)
            if (const QTableWidgetItem* item = chipGrid->item(r, c))
                widest = std::max(widest, metrics.horizontalAdvance(item->text()));
        if (widest > 0)
            chipGrid->setColumnWidth(c, std::max(chipGrid->columnWidth(c), widest + padding));
    }
}

void ChipEditorDialog::showGrid()
{
    const QSignalBlocker block(chipGrid);
    QStringList titles;
    for (const QString& title : m_model.row(0))
        titles << title;
    chipGrid->setHorizontalHeaderLabels(titles);
    const int chipRows = m_model.rowCount() - 1;
    chipGrid->setRowCount(chipRows);
    for (int r = 0; r < chipRows; ++r) {
        const EditorRow& cells = m_model.row(r + 1);
        for (int c = 0; c < EditorColumns; ++c) {
            if (QTableWidgetItem* item = chipGrid->item(r, c))
                item->setText(cells[static_cast<size_t>(c)]);
            else
                chipGrid->setItem(r, c, new QTableWidgetItem(cells[static_cast<size_t>(c)]));
        }
    }
    const int current = m_model.currentRow() - 1;
    if (current >= 0 && current < chipRows)
        chipGrid->setCurrentCell(current, std::max(0, chipGrid->currentColumn()));
}

void ChipEditorDialog::showNameLists()
{
    auto show = [](QComboBox* box, const PickList& list) {
        box->clear();
        box->addItems(list.items());
        box->setCurrentIndex(list.selected());
    };
    show(typeCombo, m_model.types());
    show(manufacturerCombo, m_model.makers());
    show(nameCombo, m_model.models());
}

void ChipEditorDialog::selectCell(int row)
{
    m_model.selectCell(row);
}

void ChipEditorDialog::loadSelectedRow()
{
    ChipEditorFields f = fields();
    QString error;
    m_model.setLanguage(m_reporter.language());
    const bool complete = m_model.loadSelectedRow(f, &error);
    // What was loaded before a failing cell stays in the fields.
    setFields(f);
    if (!complete)
        m_reporter.showError(error);
}

void ChipEditorDialog::classChanged()
{
    const QStringList algorithms = algorithmItems(classCombo->currentIndex());
    algorithmCombo->clear();
    algorithmCombo->addItems(algorithms);
    algorithmCombo->setCurrentIndex(algorithms.isEmpty() ? -1 : 0);
}

void ChipEditorDialog::refuseMissingList(EditorList list) const
{
    // A list is named by the caption of its label.
    const char* label = "classLabel";
    switch (list) {
    case EditorList::Class:
        label = "classLabel";
        break;
    case EditorList::Voltage:
        label = "voltageLabel";
        break;
    case EditorList::Flash:
        label = "flashLabel";
        break;
    case EditorList::FlashPage:
        label = "flashPageLabel";
        break;
    case EditorList::Algorithm:
        label = "algorithmLabel";
        break;
    case EditorList::Eeprom:
        label = "eepromLabel";
        break;
    case EditorList::EepromPage:
        label = "eepromPageLabel";
        break;
    }
    m_reporter.showError(m_reporter.message(MsgEditorChooseList)
                             .arg(captionText(CaptionWindow::ChipEditor, label, m_reporter.language())));
}

void ChipEditorDialog::addChip()
{
    std::optional<EditorList> missing;
    if (!m_model.add(fields(), &missing)) {
        if (missing)
            refuseMissingList(*missing);
        return;
    }
    m_rowsChanged = true;
    showGrid();
}

void ChipEditorDialog::editChip()
{
    std::optional<EditorList> missing;
    if (!m_model.edit(fields(), &missing)) {
        // No message while no chip row is selected: there is nothing to edit.
        if (missing)
            refuseMissingList(*missing);
        return;
    }
    m_rowsChanged = true;
    showGrid();
}

void ChipEditorDialog::deleteChip()
{
    m_model.deleteCurrentRow();
    m_rowsChanged = true;
    showGrid();
}

void ChipEditorDialog::saveDatabase()
{
    // Every row is converted into a copy; the program's table changes only once all rows are
    // accepted and the file holds them, so the commands never see a half-saved table.
    const auto saved = std::make_unique<ChipTable>(m_table);
    QString error;
    m_model.setLanguage(m_reporter.language());
    const std::optional<qint32> length = m_model.saveInto(*saved, &error);
    if (!length) {
        m_reporter.showError(error);
        return;
    }
    if (!writeDatabaseFile(m_databasePath, saved->bytes(), *length, m_reporter))
        return;
    m_table = *saved;
    m_rowsChanged = false;
    if (m_tableChanged)
        m_tableChanged();
}

void ChipEditorDialog::reject()
{
    if (m_rowsChanged && !m_reporter.ui().askYesNo(m_reporter.message(MsgEditorDiscardRows)))
        return;
    QDialog::reject();
}

} // namespace kestrum
