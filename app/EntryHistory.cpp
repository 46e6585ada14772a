#include "app/EntryHistory.h"

#include <QComboBox>

namespace kestrum {

namespace {

constexpr int RememberedEntries = 10;

} // namespace

QComboBox* historyCombo(QWidget* parent, const char* name, int minimumCharacters)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(minimumCharacters);
    combo->setMaxCount(RememberedEntries);
    return combo;
}

void rememberEntry(QComboBox* combo, const QString& entry)
{
    if (entry.isEmpty())
        return;
    const int old = combo->findText(entry);
    if (old == 0)
        return;
    if (old > 0)
        combo->removeItem(old);
    combo->insertItem(0, entry);
    combo->setCurrentIndex(0);
}

} // namespace kestrum
