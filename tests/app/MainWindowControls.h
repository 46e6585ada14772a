#pragma once

// The main window's controls and dialogs as the tests reach them: by their object names.

#include "app/ChipEditorDialog.h"
#include "app/ChipSearchDialog.h"
#include "app/FillDialog.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/StatusBar.h"
#include "tests/support/FormChild.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrum::test {

inline QAction& action(QWidget& form, const char* name)
{
    return *child<QAction>(form, name);
}

inline QComboBox& combo(QWidget& form, const char* name)
{
    return *child<QComboBox>(form, name);
}

inline QPushButton& button(QWidget& form, const char* name)
{
    return *child<QPushButton>(form, name);
}

inline QLabel& label(QWidget& form, const char* name)
{
    return *child<QLabel>(form, name);
}

inline QLineEdit& lineEdit(QWidget& form, const char* name)
{
    return *child<QLineEdit>(form, name);
}

inline StatusBar& statusBar(MainWindow& window)
{
    return *child<StatusBar>(window, "statusBar");
}

inline FlashEditorHost& hexView(MainWindow& window)
{
    return *child<FlashEditorHost>(window, "hexView");
}

inline ChipEditorDialog& chipEditor(MainWindow& window)
{
    return *child<ChipEditorDialog>(window, "chipEditor");
}

inline ChipSearchDialog& searchDialog(MainWindow& window)
{
    return *child<ChipSearchDialog>(window, "chipSearch");
}

inline FillDialog& fillDialog(MainWindow& window)
{
    return *child<FillDialog>(window, "fillDialog");
}

} // namespace kestrum::test
