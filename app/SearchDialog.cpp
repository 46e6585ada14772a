#include "app/SearchDialog.h"

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

TForm3::TForm3(QWidget* parent, Reporter& reporter, const ChipTable& table, HandlerGuard runGuarded, ChipChoice choose)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_table(table)
    , m_runGuarded(std::move(runGuarded))
    , m_choose(std::move(choose))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Chip Select"));
    resize(420, 360);
    auto* layout = new QGridLayout(this);
    Label1 = new QLabel(QStringLiteral("Find"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setUniformRowHeights(true);
    // The "pos" column is one pixel wide: neither stretched as the last column nor held at the
    // style's minimum section width, either of which would show the slot numbers.
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(1);
    BitBtn1 = new QPushButton(QStringLiteral("Select"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setEnabled(false);
    BitBtn2 = new QPushButton(QStringLiteral("Quit"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(ComboBox1, 0, 1, 1, 2);
    layout->addWidget(ListView1, 1, 0, 1, 3);
    layout->addWidget(BitBtn1, 2, 1);
    layout->addWidget(BitBtn2, 2, 2);
    layout->setColumnStretch(1, 1);

    // Enter in the search text or the list chooses the only match, or the highlighted one.
    ComboBox1->lineEdit()->installEventFilter(this);
    ListView1->installEventFilter(this);
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] { m_runGuarded([this] { ComboBox1Change(); }); });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { ListView1SelectItem(); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { m_runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { m_runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::rebuildColumns()
{
    ListView1->clear();
    QStringList titles = searchColumnTitles(m_reporter.language());
    titles << QStringLiteral("pos");
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels(titles);
    // The columns keep their widths unless a title needs more.
    const int widths[] = {80, 80, 100};
    for (int column = 0; column < 3; ++column)
        ListView1->setColumnWidth(column, std::max(widths[column], ListView1->header()->sectionSizeHint(column)));
    ListView1->setColumnWidth(3, 1);
    ListView1SelectItem();
}

void TForm3::addRow(const ChipSearchRow& row)
{
    // Rows are added one by one, so a record with too few names ends the list right there.
    ListView1->addTopLevelItem(
        new QTreeWidgetItem(QStringList {row.type, row.maker, row.name, QString::number(row.slot)}));
}

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only an opening lists every chip again; the window system showing the dialog again (after
    // a minimise) keeps the list as filtered.
    if (!event->spontaneous())
        m_runGuarded([this] { FormShow(); });
}

void TForm3::FormShow()
{
    rebuildColumns();
    allChipRows(m_table, [this](const ChipSearchRow& row) { addRow(row); });
}

void TForm3::ComboBox1Change()
{
    rebuildColumns();
    // Letter case does not matter: "w25q" finds the W25Q chips.
    const QString key = trimControl(ComboBox1->currentText());
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
}

bool TForm3::eventFilter(QObject* watched, QEvent* event)
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

void TForm3::chooseByEnter()
{
    if (ListView1->selectedItems().isEmpty() && ListView1->topLevelItemCount() == 1)
        ListView1->topLevelItem(0)->setSelected(true);
    BitBtn1Click();
}

void TForm3::ListView1SelectItem()
{
    BitBtn1->setEnabled(!ListView1->selectedItems().isEmpty());
}

void TForm3::BitBtn1Click()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* row = selected.constFirst();
    m_choose(row->text(0), row->text(1), row->text(2));
    accept();
}

} // namespace kestrum
