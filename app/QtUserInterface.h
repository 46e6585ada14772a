#pragma once

#include "base/UserInterface.h"

#include <QString>

class QWidget;

namespace kestrum {

/// The window implementation of the user-interface seam: message boxes, file dialogs and the
/// beep. The main window writes the log box itself.
class QtUserInterface : public UserInterface
{
public:
    explicit QtUserInterface(QWidget* parent);

    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void showInformation(const QString& text) override;
    void beep() override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter, const QString& defaultSuffix) override;
    void insertLogLine(const QString& line) override;
    void openLocation(const QString& path) override;
    std::optional<int> chooseRow(const Choice& choice) override;
    int askButtons(const QString& text, const QStringList& captions) override;
    /// The folder the Open and Save dialogs start in (empty: the dialogs' own choice).
    void setStartFolder(const QString& folder) { m_startFolder = folder; }
    /// The file name the next Save dialog starts with, in the start folder.
    void proposeName(const QString& name) { m_proposedName = name; }

    /// "Binary (*.bin)|*.bin|All files (*.*)|*.*" → "Binary (*.bin);;All files (*.*)" for Qt's dialogs.
    static QString qtFilter(const QString& pipeFilter);
    /// The suffix a name typed without one gets under a Qt filter entry: the first pattern's
    /// ("Binary (*.bin)" gives "bin"), or the fallback when the entry names no extension.
    static QString suffixForFilter(const QString& qtFilterEntry, const QString& fallback);

private:
    QWidget* m_parent;
    QString m_startFolder;
    QString m_proposedName;
};

} // namespace kestrum
