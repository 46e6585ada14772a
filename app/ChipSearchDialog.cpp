#include "app/ChipSearchDialog.h"

#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

#include <algorithm>

namespace kestrum {

ChipSearchDialog::ChipSearchDialog(
    QWidget* parent, Reporter& reporter, const ChipTable& table, HandlerGuard runGuarded, ChipChoice choose)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_table(table)
    , m_runGuarded(std::move(runGuarded))
    , m_choose(std::move(choose))
{
    setObjectName(QStringLiteral("chipSearch"));
    setWindowTitle(QStringLiteral("Chip Select"));
    resize(420, 360);
    auto* layout = new QGridLayout(this);
    findLabel = new QLabel(QStringLiteral("Find"), this);
    findLabel->setObjectName(QStringLiteral("findLabel"));
    findCombo = new QComboBox(this);
    findCombo->setObjectName(QStringLiteral("findCombo"));
    findCombo->setEditable(true);
    findCombo->setInsertPolicy(QComboBox::NoInsert);
    chipList = new QTreeWidget(this);
    chipList->setObjectName(QStringLiteral("chipList"));
    chipList->setRootIsDecorated(false);
    chipList->setSelectionBehavior(QAbstractItemView::SelectRows);
    chipList->setSelectionMode(QAbstractItemView::SingleSelection);
    chipList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    chipList->setUniformRowHeights(true);
    // The "pos" column is one pixel wide: neither stretched as the last column nor held at the
    // style's minimum section width, either of which would show the slot numbers.
    chipList->header()->setStretchLastSection(false);
    chipList->header()->setMinimumSectionSize(1);
    selectButton = new QPushButton(QStringLiteral("Select"), this);
    selectButton->setObjectName(QStringLiteral("selectButton"));
    selectButton->setEnabled(false);
    quitButton = new QPushButton(QStringLiteral("Quit"), this);
    quitButton->setObjectName(QStringLiteral("quitButton"));
    layout->addWidget(findLabel, 0, 0);
    layout->addWidget(findCombo, 0, 1, 1, 2);
    layout->addWidget(chipList, 1, 0, 1, 3);
    layout->addWidget(selectButton, 2, 1);
    layout->addWidget(quitButton, 2, 2);
    layout->setColumnStretch(1, 1);

    // Enter in the search text or the list chooses the only match, or the highlighted one. The
    // editable list passes the keys it gets to its text field without asking filters: it is
    // watched as well.
    findCombo->installEventFilter(this);
    findCombo->lineEdit()->installEventFilter(this);
    chipList->installEventFilter(this);
    connect(findCombo, &QComboBox::editTextChanged, this, [this] { m_runGuarded([this] { filterChanged(); }); });
    connect(chipList, &QTreeWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(chipList, &QTreeWidget::itemDoubleClicked, this, [this] { m_runGuarded([this] { selectChip(); }); });
    connect(selectButton, &QPushButton::clicked, this, [this] { m_runGuarded([this] { selectChip(); }); });
    connect(quitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ChipSearchDialog::rebuildColumns()
{
    chipList->clear();
    QStringList titles = searchColumnTitles(m_reporter.language());
    titles << QStringLiteral("pos");
    chipList->setColumnCount(4);
    chipList->setHeaderLabels(titles);
    // The columns keep their widths unless a title needs more.
    const int widths[] = {80, 80, 100};
    for (int column = 0; column < 3; ++column)
        chipList->setColumnWidth(column, std::max(widths[column], chipList->header()->sectionSizeHint(column)));
    chipList->setColumnWidth(3, 1);
    selectionChanged();
}

void ChipSearchDialog::addRow(const ChipSearchRow& row)
{
    // Rows are added one by one, so a record with too few names ends the list right there.
    chipList->addTopLevelItem(
        new QTreeWidgetItem(QStringList {row.type, row.maker, row.name, QString::number(row.slot)}));
}

void ChipSearchDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only an opening lists every chip again; the window system showing the dialog again (after
    // a minimise) keeps the list as filtered.
    if (!event->spontaneous())
        m_runGuarded([this] { listAllChips(); });
}

void ChipSearchDialog::listAllChips()
{
    rebuildColumns();
    allChipRows(m_table, [this](const ChipSearchRow& row) { addRow(row); });
}

void ChipSearchDialog::filterChanged()
{
    rebuildColumns();
    // Letter case does not matter: "w25q" finds the W25Q chips.
    const QString key = trimControl(findCombo->currentText());
    if (key.isEmpty())
        return;
    // Only a matching record is split into its names.
    for (int slot = 0; slot < ChipSlots && !m_table[slot].isEnd(); ++slot) {
        const QString names = m_table[slot].namesText();
        if (!names.contains(key, Qt::CaseInsensitive))
            continue;
        const NameTokens tokens(names);
        addRow({tokens.at(0), tokens.at(1), tokens.at(2), slot});
    }
    // The only match is highlighted: Select takes it at once.
    if (chipList->topLevelItemCount() == 1)
        chipList->topLevelItem(0)->setSelected(true);
}

bool ChipSearchDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_runGuarded([this] { chooseByEnter(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ChipSearchDialog::chooseByEnter()
{
    if (chipList->selectedItems().isEmpty() && chipList->topLevelItemCount() == 1)
        chipList->topLevelItem(0)->setSelected(true);
    selectChip();
}

void ChipSearchDialog::selectionChanged()
{
    selectButton->setEnabled(!chipList->selectedItems().isEmpty());
}

void ChipSearchDialog::selectChip()
{
    const QList<QTreeWidgetItem*> selected = chipList->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* row = selected.constFirst();
    m_choose(row->text(0), row->text(1), row->text(2));
    accept();
}

} // namespace kestrum
