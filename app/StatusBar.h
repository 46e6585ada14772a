#pragma once

#include <QProgressBar>
#include <QStatusBar>
#include <QString>

#include <array>
#include <functional>

namespace kestrum {

/// True when panel 1's text is drawn red: it equals "Not connected" in the language now in force.
bool isNotConnectedText(const QString& text, int language);

/// The status bar: five fixed panels drawn by the bar itself; panel 1 is drawn red while it says
/// "Not connected". The progress bar lives inside it, right of panel 3.
class StatusBar : public QStatusBar
{
    Q_OBJECT
public:
    static constexpr std::array<int, 5> PanelWidths {50, 120, 70, 75, 50};

    StatusBar(QWidget* parent, std::function<int()> language);

    void setPanelText(int panel, const QString& text);
    [[nodiscard]] QString panelText(int panel) const;
    /// Width of a panel: its design width, or what its text needs under a larger font or in a
    /// longer language.
    [[nodiscard]] int panelWidth(int panel) const;
    /// Width of panels 0 to 3, left of the progress bar.
    [[nodiscard]] int fixedPanelsWidth() const;
    /// Rectangle of a panel inside the bar; the last panel (4, the hex view's position) reaches
    /// the right edge of the bar.
    [[nodiscard]] QRect panelRect(int panel) const;
    /// Width of the longest rate and time left in the current language.
    [[nodiscard]] int rateRoom() const;
    /// Whether panel 1 is currently drawn red.
    [[nodiscard]] bool panel1IsRed() const;

    [[nodiscard]] QProgressBar* progress() const { return m_progress; }
    /// Keeps the progress bar right of panel 3 (317 pixels from the left at the design widths) and
    /// as much narrower than the bar as panels 0 to 3 are wide, less the room panel 4 needs beside
    /// it for the rate and the time left while it is shown.
    void placeProgress();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void drawPanel(QPainter& painter, int panel, const QRect& rect);

    std::array<QString, 5> m_texts;
    std::function<int()> m_language;
    QProgressBar* m_progress;
};

} // namespace kestrum
