#include "app/ChooserDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrum {

ChooserDialog::ChooserDialog(const UserInterface::Choice& choice, QWidget* parent)
    : QDialog(parent)
    , m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("ChooserDialog"));
    setWindowTitle(choice.title);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(choice.text, this);
    text->setObjectName(QStringLiteral("ChooserText"));
    text->setWordWrap(true);
    layout->addWidget(text);

    m_list->setObjectName(QStringLiteral("ChooserList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels(choice.columns);
    for (const QStringList& row : choice.rows)
        m_list->addTopLevelItem(new QTreeWidgetItem(row));
    for (int c = 0; c < choice.columns.size(); ++c)
        m_list->resizeColumnToContents(c);
    // Without a preselected row nothing is selected, and OK waits for the user's own pick: the
    // list's focus alone makes the first row current, which must not count as a choice.
    if (QTreeWidgetItem* item = m_list->topLevelItem(choice.preselected))
        m_list->setCurrentItem(item);
    layout->addWidget(m_list);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] {
        if (chosenRow() >= 0)
            accept();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(chosenRow() >= 0);
    connect(m_list, &QTreeWidget::itemSelectionChanged, ok, [this, ok] { ok->setEnabled(chosenRow() >= 0); });
    buttons->button(QDialogButtonBox::Ok)->setText(choice.accept);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ChooserOk"));
    buttons->button(QDialogButtonBox::Cancel)->setText(choice.cancel);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ChooserCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Wide enough for every column without a scroll bar, as long as the screen allows.
    int width = 0;
    for (int c = 0; c < m_list->columnCount(); ++c)
        width += m_list->columnWidth(c);
    resize(std::max(360, width + 40), sizeHint().height());
    m_list->setFocus();
}

int ChooserDialog::chosenRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

} // namespace kestrum
