#pragma once

// Reaching a form's controls by their object names, as the language switch does.

#include <QDialog>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace kestrum::test {

/// True when `object` sits in `form` itself: no other window (a dialog the form owns) lies between
/// them. A menu is a popup window of its own; it counts for the window of its menu bar.
inline bool belongsToForm(const QObject* object, const QWidget& form)
{
    for (const QObject* p = object->parent(); p; p = p->parent()) {
        if (p == &form)
            return true;
        const auto* widget = qobject_cast<const QWidget*>(p);
        if (widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget))
            return false;
    }
    return false;
}

/// The control of type T named `name` in `form` (not in one of its dialogs). A form with no such
/// control, or with more than one, ends the test with an error naming it.
template <class T> T* child(QWidget& form, const char* name)
{
    const QString wanted = QString::fromLatin1(name);
    T* found = nullptr;
    for (T* candidate : form.findChildren<T*>(wanted)) {
        if (!belongsToForm(candidate, form))
            continue;
        if (found)
            throw std::logic_error(
                "two controls named " + std::string(name) + " in " + form.objectName().toStdString());
        found = candidate;
    }
    if (!found)
        throw std::logic_error(
            "no control " + std::string(name) + " of that type in " + form.objectName().toStdString());
    return found;
}

} // namespace kestrum::test
