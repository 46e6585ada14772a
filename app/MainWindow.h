#pragma once

#include "app/Captions.h"
#include "base/IniFile.h"
#include "base/Reporter.h"
#include "base/Settings.h"
#include "buffer/DataBuffer.h"
#include "buffer/FileCommands.h"
#include "buffer/ViewHandOver.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipSelection.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QWidget;
class QPushButton;
class QTextEdit;
class QToolBar;

namespace kestrum {

class TStatusBar;
class TForm2;
class TForm3;
class TForm4;
class TAboutBox;
class FlashEditorHost;
class UsbLink;
class ChipProgrammer;
class ChipOperations;
class WindowJobs;
class DeviceChangeMonitor;

/// The language of a first start from a locale name: zh_CN and zh_SG Simplified Chinese (0),
/// zh_TW, zh_HK and zh_MO Traditional Chinese (1), anything else English (2).
int languageForLocale(const QString& localeName);

/// The main window. It owns everything that lives for the whole run: the data buffer, the chip
/// table and selection, the settings file, the log and the dialogs. Commands run through the
/// window-free libraries; the window only binds their state to its controls.
class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    /// ui: where boxes, questions, file dialogs and beeps go (null: real message boxes).
    /// executablePath: names the settings and database files (empty: the running program).
    explicit TForm1(UserInterface* ui = nullptr, const QString& executablePath = QString());
    ~TForm1() override;

    // State shared with the commands.
    [[nodiscard]] Reporter& reporter() { return m_reporter; }
    [[nodiscard]] DataBuffer& dataBuffer() { return m_buffer; }
    [[nodiscard]] ChipTable& chipTable() { return m_table; }
    [[nodiscard]] ChipSelection& selection() { return m_selection; }
    [[nodiscard]] const Settings& settings() const { return m_settings; }
    /// The executable path that names the database and settings files.
    [[nodiscard]] const QString& executablePath() const { return m_executablePath; }
    [[nodiscard]] ViewHandOver& viewHandOver() { return *m_handOver; }
    [[nodiscard]] const ChipRecord& currentRecord() const { return m_selection.currentRecord(); }
    [[nodiscard]] std::uint32_t chipSize() const { return m_selection.currentRecord().flashSize; }
    [[nodiscard]] int typeIndex() const { return m_settings.typeIndex; }
    [[nodiscard]] int makerIndex() const { return m_settings.makerIndex; }
    [[nodiscard]] int nameIndex() const { return m_settings.nameIndex; }
    void setSelectionIndices(int typeIndex, int makerIndex, int nameIndex);
    /// The indices the lists show now become the persisted ones.
    void rememberSelection();
    /// The USB link, the programmer protocol and the chip commands.
    [[nodiscard]] UsbLink& usb() { return *m_usb; }
    [[nodiscard]] ChipProgrammer& programmer() { return *m_programmer; }
    [[nodiscard]] ChipOperations& operations() { return *m_operations; }
    [[nodiscard]] DeviceChangeMonitor& deviceMonitor() { return *m_deviceMonitor; }
    /// What the chip jobs show in the window (tests set its clock).
    [[nodiscard]] WindowJobs& jobView() { return *m_jobs; }
    /// `probeProgrammer`: the probe run on activation and on every device change.
    void probeProgrammer();
    /// Index of the speed list as the programmer receives it (no selection gives 0xFF).
    [[nodiscard]] std::uint8_t speedByte() const;

    /// `LoadChipDatabase`: reads the database beside the executable; runs the selection fill with
    /// the restored indices when the file was loaded.
    LoadResult LoadChipDatabase();
    /// The search dialog's choice: three fills by the names (see ChipSelection::selectByNames),
    /// then the lists shown.
    int selectChipByNames(const QString& type, const QString& maker, const QString& name);
    /// `selectByIndices` followed by showing the lists in the combo boxes.
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex);
    /// `reloadView`: the hex view shows buffer bytes 0 .. count-1.
    void reloadView(std::uint32_t count);
    /// `takeViewEdits` with the chip size.
    void takeViewEdits();

    /// Runs an event handler; an error that escapes it is shown in the error box and the program goes on.
    void runGuarded(const std::function<void()>& handler);
    /// Runs a handler that touches the buffer or the programmer unless a chip command runs.
    void runCommand(const std::function<void()>& handler);

    // Handlers.
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void BitBtn2Click();
    void ToolAboutClick();
    void ToolFillClick();
    /// Opens the chip editor.
    void ToolDeviceClick();
    void ToolOpenClick();
    void ToolSaveClick();
    void ToolReadClick();
    void ToolEraseClick();
    void ToolWriteClick();
    void ToolVerifyClick();
    void ToolBankClick();
    void ToolAutoClick();
    void BitBtn1Click();
    /// File > Buffer information: the box with the lengths and checksums of the buffer.
    void BufferInfoClick();
    /// Applies the captions of the current language to every window and sets the language check marks.
    void ApplyLanguage();
    /// The handlers of the language menu items.
    void switchLanguage(int language);

    /// True while the buffer or the hex view holds changes that were neither saved nor written.
    [[nodiscard]] bool hasUnsavedChanges() const;

    /// Hook for what the activation of the window runs (the programmer probe).
    std::function<void()> onActivate;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class LogForwarder;

    void buildActions();
    void wireCommands();
    void buildToolBar();
    /// A tool bar at the top that stays where it is, with ToolBar1's icon size and height.
    QToolBar* addFixedToolBar(const QString& name);
    /// Adds the action's button to the bar, named buttonName, at least the design size.
    void addToolButton(QToolBar* bar, QAction* action, const QString& buttonName);
    /// Stop (tool button and Esc) in a tool bar of its own after ToolBar1, which a job disables.
    void buildStopBar();
    void buildMenu();
    void buildBody();
    void applySettings();
    void collectSettings();
    void FormShow();
    void FormActivate();
    void FormResize();
    /// Keys, the language of a first start, the modified mark (MainWindowComfort.cpp).
    void setUpComfort();
    void tearDownComfort();
    /// Asks before unsaved changes are dropped; true when there are none or the user discards them.
    bool confirmDiscard();
    /// The window caption, with a leading '*' while there are unsaved changes.
    void showModifiedMark();
    /// The smallest size at which the tool bar, the left column and the status bar stay usable.
    void updateMinimumSize();
    /// Runs a chip command; true when it ran to its end (not refused, failed, declined or stopped).
    bool ranToItsEnd(const std::function<void()>& command);
    /// The file dialogs start in the folder last used; a chosen file's folder is remembered.
    void prepareFileDialog(UserInterface& ui) const;
    QString rememberFolder(const QString& chosen);
    /// Runs a selection fill and shows the lists, also when the fill ends with an error.
    int showingSelection(const std::function<int()>& fill);
    /// Copies the lists of the selection into the three combo boxes and the chip fields.
    void showChipSelection();

    std::unique_ptr<UserInterface> m_ownedUi;
    std::unique_ptr<LogForwarder> m_logForwarder;
    Reporter m_reporter;
    QString m_executablePath;
    DataBuffer m_buffer;
    ChipTable m_table;
    ChipSelection m_selection;
    IniFile m_ini;
    Settings m_settings;
    bool m_firstShowDone = false;
    std::unique_ptr<ViewHandOver> m_handOver;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<UsbLink> m_usb;
    std::unique_ptr<WindowJobs> m_jobs;
    std::unique_ptr<ChipProgrammer> m_programmer;
    std::unique_ptr<ChipOperations> m_operations;
    DeviceChangeMonitor* m_deviceMonitor = nullptr;
    bool m_closeRequested = false;
    bool m_activatedOnce = false;
    QString m_caption; ///< the window caption in the current language

    // The controls and the dialogs. Each one's object name is its name here; the language switch
    // finds them by it.
    TStatusBar* StatusBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction* ToolOpen = nullptr;
    QAction* ToolSave = nullptr;
    QAction* ToolRead = nullptr;
    QAction* ToolErase = nullptr;
    QAction* ToolWrite = nullptr;
    QAction* ToolVerify = nullptr;
    QAction* ToolAuto = nullptr;
    QAction* ToolBank = nullptr;
    QAction* ToolFill = nullptr;
    QAction* ToolDevice = nullptr;
    QAction* ToolAbout = nullptr;
    QToolBar* ToolBarStop = nullptr;
    QAction* ToolStop = nullptr;

    QMenu* O1 = nullptr;
    QAction* O2 = nullptr;
    QAction* S1 = nullptr;
    QAction* Q1 = nullptr;
    QAction* BufferInfo = nullptr;
    QMenu* Buff = nullptr;
    QAction* Fill = nullptr;
    QMenu* O3 = nullptr;
    QAction* A1 = nullptr;
    QAction* E1 = nullptr;
    QAction* W1 = nullptr;
    QAction* R1 = nullptr;
    QAction* V1 = nullptr;
    QAction* N7 = nullptr;
    QAction* N3 = nullptr;
    QMenu* L1 = nullptr;
    QAction* China = nullptr;
    QAction* fanti = nullptr;
    QAction* Enlish = nullptr;
    QMenu* H1 = nullptr;
    QAction* N5 = nullptr;

    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel8 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    FlashEditorHost* FlashEditor = nullptr;
    QTextEdit* RichEdit1 = nullptr;

    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* FillDialog = nullptr;
    TAboutBox* AboutBox = nullptr;
};

} // namespace kestrum
