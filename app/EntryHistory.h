#pragma once

#include <QString>

class QComboBox;
class QWidget;

namespace kestrum {

/// An editable list that offers the last ten entries again, newest first.
QComboBox* historyCombo(QWidget* parent, const char* name, int minimumCharacters);

/// Puts `entry` first in the list, once; an empty entry is not kept.
void rememberEntry(QComboBox* combo, const QString& entry);

} // namespace kestrum
