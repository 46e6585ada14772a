#include "app/SearchDialog.h"

#include "app/MainWindow.h"
#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

namespace kestrum {

TForm3::TForm3(TForm1* mainWindow)
    : QDialog(mainWindow)
    , m_main(mainWindow)
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

    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] { m_main->runGuarded([this] { ComboBox1Change(); }); });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { ListView1SelectItem(); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { m_main->runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { m_main->runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::rebuildColumns()
{
    ListView1->clear();
    QStringList titles = searchColumnTitles(m_main->shell().language());
    titles << QStringLiteral("pos");
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels(titles);
    ListView1->setColumnWidth(0, 80);
    ListView1->setColumnWidth(1, 80);
    ListView1->setColumnWidth(2, 100);
    ListView1->setColumnWidth(3, 1);
    ListView1SelectItem();
}

template <typename Rows> void TForm3::addRows(const Rows& rowsOf)
{
    // Rows are added one by one so that a record with too few names ends the list right there.
    const ChipTable& table = m_main->chipTable();
    for (int i = 0; i < ChipSlots && !table[i].isEnd(); ++i) {
        if (!rowsOf(table[i]))
            continue;
        const NameTokens tokens(table[i].namesText());
        auto* item = new QTreeWidgetItem(
            QStringList{tokens.at(0), tokens.at(1), tokens.at(2), QString::number(i)});
        ListView1->addTopLevelItem(item);
    }
}

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only an opening lists every chip again; the window system showing the dialog again (after
    // a minimise) keeps the list as filtered.
    if (!event->spontaneous())
        m_main->runGuarded([this] { FormShow(); });
}

void TForm3::FormShow()
{
    rebuildColumns();
    addRows([](const ChipRecord&) { return true; });
}

void TForm3::ComboBox1Change()
{
    rebuildColumns();
    const QString key = trimControl(ComboBox1->currentText());
    if (key.isEmpty())
        return;
    addRows([&key](const ChipRecord& r) { return r.namesText().contains(key, Qt::CaseSensitive); });
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
    const QString type = row->text(0);
    const QString maker = row->text(1);
    const QString name = row->text(2);
    // Three fills: each rebuilds the lists below the level it receives. The persisted indices
    // stay those of the last choice made with the lists.
    ChipSelection& selection = m_main->selection();
    for (int pass = 0; pass < 3; ++pass) {
        m_main->FillChipSelection(selection.types().indexOfIgnoringCase(type),
                                  selection.makers().indexOfIgnoringCase(maker),
                                  selection.names().indexOfIgnoringCase(name));
    }
    accept();
}

} // namespace kestrum
