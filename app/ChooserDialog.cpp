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
    if (QTreeWidgetItem* item
        = m_list->topLevelItem(std::clamp<int>(choice.preselected, 0, int(choice.rows.size()) - 1)))
        m_list->setCurrentItem(item);
    layout->addWidget(m_list);
    connect(m_list, &QTreeWidget::itemActivated, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
    return m_list->indexOfTopLevelItem(m_list->currentItem());
}

} // namespace kestrum
