#pragma once

// The main window's controls and dialogs as the tests reach them: by their object names.

#include "app/ChipEditorDialog.h"
#include "app/FillDialog.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/SearchDialog.h"
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

inline TStatusBar& statusBar(TForm1& window)
{
    return *child<TStatusBar>(window, "StatusBar1");
}

inline FlashEditorHost& hexView(TForm1& window)
{
    return *child<FlashEditorHost>(window, "FlashEditor");
}

inline TForm2& chipEditor(TForm1& window)
{
    return *child<TForm2>(window, "Form2");
}

inline TForm3& searchDialog(TForm1& window)
{
    return *child<TForm3>(window, "Form3");
}

inline TForm4& fillDialog(TForm1& window)
{
    return *child<TForm4>(window, "FillDialog");
}

} // namespace kestrum::test
