#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QVector>

namespace kit {

// A status bar of fixed panels: every panel but the last has its own width,
// the last takes the rest. Panels are numbered from 0.
class StatusPanels : public QStatusBar {
    Q_OBJECT

public:
    StatusPanels(const QVector<int>& fixedWidths, QWidget* parent = nullptr);

    int panelCount() const { return int(panels_.size()); }
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QLabel* panel(int panel) const { return panels_.value(panel); }

private:
    QVector<QLabel*> panels_;
};

}  // namespace kit
