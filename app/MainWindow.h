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
#include "jobs/ProductionRun.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

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
class QTranslator;

namespace kestrum {

class StatusBar;
class ChipEditorDialog;
class ChipSearchDialog;
class FillDialog;
class AboutBox;
class FlashEditorHost;
class FindBar;
class GoToDialog;
class SelectRangeDialog;
class BookmarksDialog;
class UsbLink;
class ChipProgrammer;
class ChipOperations;
class MainWindowJobView;
class DeviceChangeMonitor;
class CompareDialog;
class RegionsView;
class LogFile;
struct Comparison;

/// The main window. It owns everything that lives for the whole run: the data buffer, the chip
/// table and selection, the settings file, the log and the dialogs. Commands run through the
/// window-free libraries; the window only binds their state to its controls.
///
/// Construction, settings and the window's events live in MainWindow.cpp; the tool bars, menu,
/// chip column, hex view and log in MainWindowBody.cpp; the command table and the chip and file
/// commands' handlers in MainWindowCommands.cpp; the language switch in MainWindowLanguage.cpp;
/// Compare, the safeguard options, the backups and the log file in MainWindowSafeguards.cpp; the
/// find bar, Go to, Select range and the bookmarks in MainWindowSearch.cpp.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    /// ui: where boxes, questions, file dialogs and beeps go (null: real message boxes).
    /// executablePath: names the settings and database files (empty: the running program).
    explicit MainWindow(UserInterface* ui = nullptr, const QString& executablePath = QString());
    ~MainWindow() override;

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
    [[nodiscard]] MainWindowJobView& jobView() { return *m_jobView; }
    /// The probe run on activation and on every device change. With several programmers attached
    /// it first fills the Programmer list and points the link at the chosen one.
    void probeProgrammer();
    /// The Programmer list's choice: remembered by its location, used from the next job on.
    void chooseProgrammer(int index);
    /// Index of the speed list as the programmer receives it (no selection gives 0xFF).
    [[nodiscard]] std::uint8_t speedByte() const;

    /// Reads the database beside the executable; selects the chip of the restored indices when
    /// the file was loaded.
    LoadResult loadChipDatabase();
    /// The search dialog's choice: three fills by the names (see ChipSelection::selectByNames),
    /// then the lists shown.
    int selectChipByNames(const QString& type, const QString& maker, const QString& name);
    /// A selection fill followed by showing the lists in the combo boxes.
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex);
    /// The hex view shows buffer bytes 0 .. count-1.
    void reloadView(std::uint32_t count);
    /// Takes the hex view's edits into the buffer, over the chip size (the whole view when no
    /// chip is shown).
    void takeViewEdits();
    /// Takes the hex view's edits into the buffer with their whole length, also where an insert
    /// made them longer than the chip.
    void takeWholeViewEdits();

    /// Runs an event handler; an error that escapes it is shown in the error box and the program goes on.
    void runGuarded(const std::function<void()>& handler);
    /// Runs a handler that touches the buffer or the programmer unless a chip command runs.
    void runCommand(const std::function<void()>& handler);

    // The commands (MainWindowCommands.cpp); each menu item, tool button and key runs one.
    void openFile();
    void saveFile();
    void showBufferInformation();
    void quit();
    void fillBuffer();
    void readChip();
    void eraseChip();
    void writeChip();
    void verifyChip();
    void blankCheckChip();
    void runAuto();
    /// Operation → "Program all programmers…": the gang window over the buffer's image.
    void programAllProgrammers();
    /// The window's Auto as a gang run does it: chip, speed, auto options, the buffer's image.
    ProductionJob gangJob();
    void detectChip();
    void findChip();
    void editChipDatabase();
    void showAbout();
    void stopJob();
    void useSimplifiedChinese();
    void useTraditionalChinese();
    void useEnglish();
    // The Edit menu and the hex view's context menu: the hex view's editing commands.
    void undoEdit();
    void redoEdit();
    void cutSelection();
    void copySelection();
    void pasteClipboard();
    void selectAll();
    /// The selected bytes as hexadecimal text, "4B 45 53", 16 bytes a line.
    void copyAsHexText();
    /// Hexadecimal bytes from the clipboard's text ("4B45", "4B 45", "0x4B,0x45"; blanks and line
    /// ends ignored), pasted as Paste does; other text is refused with a message.
    void pasteHexText();
    void toggleInsertMode();
    // Finding and moving about in the hex view.
    /// Opens the find bar under the hex view (Ctrl+F); Replace adds its replacement row (Ctrl+H).
    void startFind();
    void startReplace();
    /// The next or previous match of the find bar's entry (F3, Shift+F3).
    void findNext();
    void findPrevious();
    /// Go to address (Ctrl+G), Select range, and the list of bookmarks.
    void goToAddress();
    void selectRange();
    void showBookmarks();
    // What is on the chip (MainWindowSafeguards.cpp): Compare, the buffer against a file, the
    // confirmed read and backup options, the backups folder and the log file.
    void compareChip();
    void compareWithFile();
    void toggleReadTwice();
    void toggleBackUp();
    void openBackups();
    void openLogFile();
    /// The comparison's ranges in the compare window; choosing one selects it in the hex view.
    void showComparison(const Comparison& comparison);
    /// The log file this window writes every log line to.
    [[nodiscard]] const LogFile& logFile() const { return *m_logFile; }

    // The chip lists: a new type starts at its first manufacturer and name, a new manufacturer at
    // its first name.
    void typeChanged();
    void manufacturerChanged();
    void nameChanged();

    /// Applies the captions of the current language to every window and sets the language check marks.
    void applyLanguage();
    /// Switches to a language (0 Simplified Chinese, 1 Traditional Chinese, 2 English).
    void switchLanguage(int language);

    /// Every command's action, in the order of the command table.
    [[nodiscard]] std::vector<QAction*> commandActions() const;

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
    struct Command;
    /// What exists: every command with its action, caption key, icon, key, handler and guard.
    static const std::vector<Command>& commandTable();

    /// One action per command, built from the command table and wired to its handler.
    void buildCommands();
    void buildToolBars();
    /// A tool bar at the top that stays where it is, with the command bar's icon size and height.
    QToolBar* addFixedToolBar(const QString& name);
    /// Adds the action's button to the bar, named buttonName, at least the design size.
    void addToolButton(QToolBar* bar, QAction* action, const QString& buttonName);
    void buildMenu();
    void buildBody();
    QWidget* buildChipGroup(QWidget* parent);
    QWidget* buildChipSettings(QWidget* parent);
    QWidget* buildAutoOptions(QWidget* parent);
    QWidget* buildDataColumn(QWidget* parent);
    void buildDialogs();
    void applySettings();
    void collectSettings();
    /// What the first show does: centre, load the database, captions, the first probe.
    void firstShow();
    void activated();
    /// The size list shows the chosen chip's size only; the language and size of a first start.
    void setUpComfort();
    /// Asks before unsaved changes are dropped; true when there are none or the user discards them.
    bool confirmDiscard();
    /// The window caption, with a leading '*' while there are unsaved changes.
    void showModifiedMark();
    /// The chip column at its design width, or wider where the font or the captions need it.
    void fitToFont();
    /// The smallest size at which the tool bars, the left column and the status bar stay usable.
    void updateMinimumSize();
    /// Runs a chip command; true when it ran to its end (not refused, failed, declined or stopped).
    bool ranToItsEnd(const std::function<void()>& command);
    /// The file dialogs start in the folder last used; a chosen file's folder is remembered.
    void prepareFileDialog(UserInterface& ui) const;
    QString rememberFolder(const QString& chosen);
    /// The kind Save proposes: raw, unless the last file opened was of another kind.
    [[nodiscard]] QString saveSuffix() const;
    /// The name of the chip shown ("kestrum" without one): the name Save proposes.
    [[nodiscard]] QString chipName() const;
    /// Runs a selection fill and shows the lists, also when the fill ends with an error.
    int showingSelection(const std::function<int()>& fill);
    /// Copies the lists of the selection into the three combo boxes and the chip fields.
    void showChipSelection();
    /// The language items carry the check mark of the language in force.
    void showLanguageChecks();
    /// The Edit items enabled as the hex view's state allows (nothing to undo, no selection, a job).
    void updateEditActions();
    /// Moves the caret to a typed address, clamped to the data with a word; false for an entry
    /// that is no address.
    bool goTo(const QString& entry);
    /// Selects a typed range; false for entries that are no addresses or a range outside the data.
    bool selectRangeOf(const QString& start, const QString& extent, bool isLength);
    /// Qt's own texts follow the language in force (where their translations are installed).
    void applyQtLanguage(int language);
    /// The log file and the safeguard options as the settings say (MainWindowSafeguards.cpp).
    void setUpSafeguards();
    /// A log line also goes to the log file; it is written at once unless a job runs.
    void keepLogLine(const QString& line);
    /// Writes the log file's waiting lines; a file that cannot be written is told of once.
    void flushLogFile();

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
    std::unique_ptr<MainWindowJobView> m_jobView;
    std::unique_ptr<ChipProgrammer> m_programmer;
    std::unique_ptr<ChipOperations> m_operations;
    DeviceChangeMonitor* m_deviceMonitor = nullptr;
    bool m_closeRequested = false;
    bool m_activatedOnce = false;
    QString m_caption; ///< the window caption in the current language
    QString m_lastOpened; ///< the file the Open dialog gave last
    /// Qt's own texts (buttons of the boxes, the file dialogs) in the Chinese languages.
    std::unique_ptr<QTranslator> m_qtTexts;
    std::unique_ptr<LogFile> m_logFile;
    bool m_logFileFailureTold = false;
    QString m_backupFolder; ///< where the backups go when the option is on

    // The commands' actions; each one's object name is its name here, the caption table's key.
    QAction* openAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* bufferInfoAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* fillAction = nullptr;
    QAction* autoAction = nullptr;
    QAction* gangAction = nullptr;
    QAction* eraseAction = nullptr;
    QAction* writeAction = nullptr;
    QAction* readAction = nullptr;
    QAction* verifyAction = nullptr;
    QAction* blankCheckAction = nullptr;
    QAction* detectAction = nullptr;
    QAction* deviceAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* simplifiedChineseAction = nullptr;
    QAction* traditionalChineseAction = nullptr;
    QAction* englishAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* cutAction = nullptr;
    QAction* copyAction = nullptr;
    QAction* pasteAction = nullptr;
    QAction* selectAllAction = nullptr;
    QAction* copyAsHexAction = nullptr;
    QAction* pasteHexAction = nullptr;
    QAction* insertModeAction = nullptr;
    QAction* findAction = nullptr;
    QAction* replaceAction = nullptr;
    QAction* findNextAction = nullptr;
    QAction* findPreviousAction = nullptr;
    QAction* goToAction = nullptr;
    QAction* selectRangeAction = nullptr;
    QAction* bookmarksAction = nullptr;
    QAction* compareAction = nullptr;
    QAction* compareFileAction = nullptr;
    QAction* readTwiceAction = nullptr;
    QAction* backUpAction = nullptr;
    QAction* backupsAction = nullptr;
    QAction* logFileAction = nullptr;

    // The controls and the dialogs. Each one's object name is its name here; the language switch
    // finds them by it.
    StatusBar* m_statusBar = nullptr; ///< object name "statusBar"
    QToolBar* commandBar = nullptr;
    QToolBar* stopBar = nullptr;
    QMenu* fileMenu = nullptr;
    QMenu* bufferMenu = nullptr;
    QMenu* editMenu = nullptr;
    QMenu* operationMenu = nullptr;
    QMenu* languageMenu = nullptr;
    QMenu* helpMenu = nullptr;

    QWidget* mainPanel = nullptr;
    QWidget* chipColumn = nullptr;
    QWidget* dataColumn = nullptr;
    QWidget* chipSettingsPanel = nullptr;
    QGroupBox* chipGroup = nullptr;
    QGroupBox* autoOptionsGroup = nullptr;
    QLabel* typeLabel = nullptr;
    QLabel* manufacturerLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* sizeLabel = nullptr;
    QLabel* pageSizeLabel = nullptr;
    QLabel* speedLabel = nullptr;
    QLabel* programmerLabel = nullptr;
    QComboBox* typeCombo = nullptr;
    QComboBox* manufacturerCombo = nullptr;
    QComboBox* nameCombo = nullptr;
    QComboBox* speedCombo = nullptr;
    QComboBox* programmerCombo = nullptr; ///< shown only while several programmers are attached
    QComboBox* sizeCombo = nullptr;
    QLineEdit* capacityEdit = nullptr;
    QLineEdit* pageSizeEdit = nullptr;
    QPushButton* detectButton = nullptr;
    QPushButton* findButton = nullptr;
    QPushButton* autoButton = nullptr;
    QCheckBox* autoEraseCheck = nullptr;
    QCheckBox* autoProgramCheck = nullptr;
    QCheckBox* autoVerifyCheck = nullptr;
    FlashEditorHost* hexView = nullptr;
    FindBar* findBar = nullptr;
    QTextEdit* logView = nullptr;

    ChipEditorDialog* chipEditor = nullptr;
    ChipSearchDialog* chipSearch = nullptr;
    FillDialog* fillDialog = nullptr;
    AboutBox* aboutBox = nullptr;
    GoToDialog* goToDialog = nullptr;
    SelectRangeDialog* selectRangeDialog = nullptr;
    BookmarksDialog* bookmarksDialog = nullptr;
    CompareDialog* compareDialog = nullptr;
    RegionsView* regionsView = nullptr;
};

} // namespace kestrum
