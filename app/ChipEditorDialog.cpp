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

TForm2::TForm2(QWidget* parent, Reporter& reporter, ChipTable& table, QString databasePath, HandlerGuard runGuarded,
    std::function<void()> tableChanged)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_table(table)
    , m_databasePath(std::move(databasePath))
    , m_runGuarded(std::move(runGuarded))
    , m_tableChanged(std::move(tableChanged))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Chip Editor"));
    setFixedSize(960, 600);

    buildGrid();
    buildFields();
    buildButtons();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(GroupBox1, 1);
    bottom->addWidget(Panel1);
    layout->addLayout(bottom);

    setFields(ChipEditorFields {});
}

void TForm2::buildGrid()
{
    StringGrid1 = new QTableWidget(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setColumnCount(EditorColumns);
    StringGrid1->setHorizontalHeaderLabels(editorColumnTitles());
    StringGrid1->horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    StringGrid1->horizontalHeader()->setSectionsClickable(false);
    StringGrid1->verticalHeader()->setVisible(false);
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // A double click loads the row into the fields; typing or a second click edits the cell.
    StringGrid1->setEditTriggers(
        QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    StringGrid1->setWordWrap(false);

    // A cell is selected by moving to it, or by pressing on it even when it already is the
    // current cell (the grid places its current cell itself when it is filled).
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0)
            StringGrid1SelectCell(row + 1);
    });
    connect(StringGrid1, &QTableWidget::cellPressed, this, [this](int row, int) { StringGrid1SelectCell(row + 1); });
    connect(StringGrid1, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (const QTableWidgetItem* item = StringGrid1->item(row, column))
            m_model.setCell(row + 1, column, item->text());
    });
    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this,
        [this] { m_runGuarded([this] { StringGrid1DblClick(); }); });
}

void TForm2::buildFields()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Config"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);
    grid->setHorizontalSpacing(8);

    QWidget* g = GroupBox1;
    Label1 = makeLabel(g, "Label1", QStringLiteral("Type"));
    ComboBox1 = makeCombo(g, "ComboBox1", true);
    Label2 = makeLabel(g, "Label2", QStringLiteral("Manufacturer"));
    ComboBox2 = makeCombo(g, "ComboBox2", true);
    Label3 = makeLabel(g, "Label3", QStringLiteral("Name"));
    ComboBox3 = makeCombo(g, "ComboBox3", true);
    Label4 = makeLabel(g, "Label4", QStringLiteral("Delay"));
    Edit1 = new QLineEdit(g);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label5 = makeLabel(g, "Label5", QStringLiteral("Class"));
    ComboBox4 = makeCombo(g, "ComboBox4", false, editorClassItems(), editorClassItems().constFirst());
    Label6 = makeLabel(g, "Label6", QStringLiteral("FLASH"));
    ComboBox5 = makeCombo(g, "ComboBox5", false, editorFlashItems());
    Label7 = makeLabel(g, "Label7", QStringLiteral("FLASH Page"));
    ComboBox6 = makeCombo(g, "ComboBox6", false, editorFlashPageItems());
    Label8 = makeLabel(g, "Label8", QStringLiteral("Voltage"));
    ComboBox7 = makeCombo(g, "ComboBox7", false, editorVoltageItems(), editorVoltageItems().constFirst());
    Label9 = makeLabel(g, "Label9", QStringLiteral("Algorithm"));
    ComboBox8 = makeCombo(g, "ComboBox8", false, {}, algorithmItems(SpiFlash25).constFirst());
    Label10 = makeLabel(g, "Label10", QStringLiteral("Chip ID"));
    ComboBox9 = makeCombo(g, "ComboBox9", true);
    Label11 = makeLabel(g, "Label11", QStringLiteral("EEPROM"));
    ComboBox10 = makeCombo(g, "ComboBox10", false, editorEepromItems());
    Label12 = makeLabel(g, "Label12", QStringLiteral("EEPROM page"));
    ComboBox11 = makeCombo(g, "ComboBox11", false, editorEepromPageItems());
    Label13 = makeLabel(g, "Label13", QStringLiteral("Extend"));
    ComboBox12 = makeCombo(g, "ComboBox12", true);

    const std::pair<QLabel*, QWidget*> pairs[] = {
        {Label1, ComboBox1},
        {Label2, ComboBox2},
        {Label3, ComboBox3},
        {Label4, Edit1},
        {Label5, ComboBox4},
        {Label6, ComboBox5},
        {Label7, ComboBox6},
        {Label8, ComboBox7},
        {Label9, ComboBox8},
        {Label10, ComboBox9},
        {Label11, ComboBox10},
        {Label12, ComboBox11},
        {Label13, ComboBox12},
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

    connect(ComboBox4, &QComboBox::activated, this, [this] { m_runGuarded([this] { ComboBox4Change(); }); });
}

void TForm2::buildButtons()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(0, 0, 0, 0);
    auto button = [this, column](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        column->addWidget(b);
    };
    button(BtnDelete, "BtnDelete", QStringLiteral("Delete"));
    button(BtnAdd, "BtnAdd", QStringLiteral("Add"));
    button(BtnEdit, "BtnEdit", QStringLiteral("Edit"));
    button(BtnSave, "BtnSave", QStringLiteral("Save"));
    button(BtnExit, "BtnExit", QStringLiteral("Quit"));
    column->addStretch();

    connect(BtnDelete, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BtnDeleteClick(); }); });
    connect(BtnAdd, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BtnAddClick(); }); });
    connect(BtnEdit, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BtnEditClick(); }); });
    connect(BtnSave, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BtnSaveClick(); }); });
    // Closing saves nothing; the grid is rebuilt from the file at the next opening.
    connect(BtnExit, &QPushButton::clicked, this, &QDialog::reject);
}

ChipEditorFields TForm2::fields() const
{
    ChipEditorFields f;
    f.type = ComboBox1->currentText();
    f.maker = ComboBox2->currentText();
    f.model = ComboBox3->currentText();
    f.delay = Edit1->text();
    f.classIndex = ComboBox4->currentIndex();
    f.flashIndex = ComboBox5->currentIndex();
    f.flashPageIndex = ComboBox6->currentIndex();
    f.voltageIndex = ComboBox7->currentIndex();
    f.algorithmIndex = ComboBox8->currentIndex();
    f.chipId = ComboBox9->currentText();
    f.eepromIndex = ComboBox10->currentIndex();
    f.eepromPageIndex = ComboBox11->currentIndex();
    f.extend = ComboBox12->currentText();
    return f;
}

void TForm2::setFields(const ChipEditorFields& f)
{
    ComboBox1->setEditText(f.type);
    ComboBox2->setEditText(f.maker);
    ComboBox3->setEditText(f.model);
    Edit1->setText(f.delay);
    ComboBox4->setCurrentIndex(f.classIndex);
    ComboBox5->setCurrentIndex(f.flashIndex);
    ComboBox6->setCurrentIndex(f.flashPageIndex);
    ComboBox7->setCurrentIndex(f.voltageIndex);
    ComboBox8->clear();
    ComboBox8->addItems(algorithmItems(f.classIndex));
    ComboBox8->setCurrentIndex(f.algorithmIndex);
    ComboBox9->setEditText(f.chipId);
    ComboBox10->setCurrentIndex(f.eepromIndex);
    ComboBox11->setCurrentIndex(f.eepromPageIndex);
    ComboBox12->setEditText(f.extend);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only an opening reloads; the window system showing it again (after a minimise) must not
    // drop the rows not yet saved.
    if (!event->spontaneous())
        m_runGuarded([this] { FormShow(); });
}

LoadResult TForm2::ReloadChipDatabase()
{
    return loadChipDatabaseFile(m_databasePath, m_table, m_reporter, IntegrityMessage::EditorFixedText);
}

void TForm2::FormShow()
{
    // Grid changes not saved at an earlier opening are dropped: the file is the reference.
    const bool reloaded = ReloadChipDatabase() == LoadResult::Loaded;
    m_model.load(m_table);
    for (int c = 0; c < EditorColumns; ++c) {
        const bool narrow = (c >= ColChipId && c <= ColVoltage) || c == ColEepromPage || c == ColXmlLink;
        StringGrid1->setColumnWidth(c, narrow ? NarrowColumnWidth : DefaultColumnWidth);
    }
    showGrid();
    fitColumnsToCells();
    showNameLists();
    if (reloaded && m_tableChanged)
        m_tableChanged();
}

void TForm2::fitColumnsToCells()
{
    // The widths above are the least a column gets; a longer ID, size or name widens its column.
    const QFontMetrics metrics(StringGrid1->font());
    const int padding = 2 * StringGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, StringGrid1) + 8;
    for (int c = 0; c < EditorColumns; ++c) {
        int widest = 0;
        for (int r = 0; r < StringGrid1->rowCount(); ++r)
            if (const QTableWidgetItem* item = StringGrid1->item(r, c))
                widest = std::max(widest, metrics.horizontalAdvance(item->text()));
        if (widest > 0)
            StringGrid1->setColumnWidth(c, std::max(StringGrid1->columnWidth(c), widest + padding));
    }
}

void TForm2::showGrid()
{
    const QSignalBlocker block(StringGrid1);
    QStringList titles;
    for (const QString& title : m_model.row(0))
        titles << title;
    StringGrid1->setHorizontalHeaderLabels(titles);
    const int chipRows = m_model.rowCount() - 1;
    StringGrid1->setRowCount(chipRows);
    for (int r = 0; r < chipRows; ++r) {
        const EditorRow& cells = m_model.row(r + 1);
        for (int c = 0; c < EditorColumns; ++c) {
            if (QTableWidgetItem* item = StringGrid1->item(r, c))
                item->setText(cells[static_cast<size_t>(c)]);
            else
                StringGrid1->setItem(r, c, new QTableWidgetItem(cells[static_cast<size_t>(c)]));
        }
    }
    const int current = m_model.currentRow() - 1;
    if (current >= 0 && current < chipRows)
        StringGrid1->setCurrentCell(current, std::max(0, StringGrid1->currentColumn()));
}

void TForm2::showNameLists()
{
    auto show = [](QComboBox* box, const PickList& list) {
        box->clear();
        box->addItems(list.items());
        box->setCurrentIndex(list.selected());
    };
    show(ComboBox1, m_model.types());
    show(ComboBox2, m_model.makers());
    show(ComboBox3, m_model.models());
}

void TForm2::StringGrid1SelectCell(int row)
{
    m_model.selectCell(row);
}

void TForm2::StringGrid1DblClick()
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

void TForm2::ComboBox4Change()
{
    const QStringList algorithms = algorithmItems(ComboBox4->currentIndex());
    ComboBox8->clear();
    ComboBox8->addItems(algorithms);
    ComboBox8->setCurrentIndex(algorithms.isEmpty() ? -1 : 0);
}

void TForm2::refuseMissingList(EditorList list) const
{
    // A list is named by the caption of its label.
    const char* label = "Label5";
    switch (list) {
    case EditorList::Class:
        label = "Label5";
        break;
    case EditorList::Voltage:
        label = "Label8";
        break;
    case EditorList::Flash:
        label = "Label6";
        break;
    case EditorList::FlashPage:
        label = "Label7";
        break;
    case EditorList::Algorithm:
        label = "Label9";
        break;
    case EditorList::Eeprom:
        label = "Label11";
        break;
    case EditorList::EepromPage:
        label = "Label12";
        break;
    }
    m_reporter.showError(m_reporter.message(MsgEditorChooseList)
                                .arg(captionText(CaptionWindow::ChipEditor, label, m_reporter.language())));
}

void TForm2::BtnAddClick()
{
    std::optional<EditorList> missing;
    if (!m_model.add(fields(), &missing)) {
        if (missing)
            refuseMissingList(*missing);
        return;
    }
    showGrid();
}

void TForm2::BtnEditClick()
{
    std::optional<EditorList> missing;
    if (!m_model.edit(fields(), &missing)) {
        // No message while no chip row is selected: there is nothing to edit.
        if (missing)
            refuseMissingList(*missing);
        return;
    }
    showGrid();
}

void TForm2::BtnDeleteClick()
{
    m_model.deleteCurrentRow();
    showGrid();
}

void TForm2::BtnSaveClick()
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
    if (m_tableChanged)
        m_tableChanged();
}

} // namespace kestrum
