#pragma once

#include "ops/JobView.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kestrum::test {

/// A JobView that records every call, in order, as short texts ("status:Ready", "lock",
/// "unlock", "show:1024", "pos:768", "hide", "pump", "refresh:16"), and keeps the state a window
/// would show.
class RecordingJobView : public JobView
{
public:
    void setStatusText(const QString& text) override
    {
        status = text;
        events << QStringLiteral("status:") + text;
    }
    void setControlsLocked(bool isLocked) override
    {
        locked = isLocked;
        events << (isLocked ? QStringLiteral("lock") : QStringLiteral("unlock"));
    }
    void showProgress(quint32 max, ProgressUnit) override
    {
        progressVisible = true;
        maximum = max;
        position = 0;
        events << QStringLiteral("show:%1").arg(max);
    }
    void setProgressPosition(quint32 pos) override
    {
        position = pos;
        positions.push_back(pos);
        events << QStringLiteral("pos:%1").arg(pos);
    }
    void hideProgress() override
    {
        progressVisible = false;
        position = 0;
        events << QStringLiteral("hide");
    }
    void processPendingEvents() override
    {
        ++pumps;
        events << QStringLiteral("pump");
        if (duringPump)
            duringPump();
    }
    void reloadView(quint32 count) override
    {
        refreshed.push_back(count);
        events << QStringLiteral("refresh:%1").arg(count);
    }

    void clear()
    {
        events.clear();
        positions.clear();
        refreshed.clear();
        pumps = 0;
    }

    QStringList events;
    QString status;
    bool locked = false;
    bool progressVisible = false;
    quint32 maximum = 0;
    quint32 position = 0;
    std::vector<quint32> positions;
    std::vector<quint32> refreshed;
    int pumps = 0;
    /// Runs at every pump, after it was recorded: what the window's events do meanwhile.
    std::function<void()> duringPump;
};

} // namespace kestrum::test
