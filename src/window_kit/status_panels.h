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
    QString panelText(int panel) const;  // as shown, a notice included
    QLabel* panel(int panel) const { return panels_.value(panel); }

    // A notice shown in the first panel, which no bulk loop writes, over
    // what the panel says; the panel grows to fit it. An empty text ends the
    // notice: the panel gets back its width and its own text (the last one
    // written meanwhile).
    void setNotice(const QString& text);
    const QString& notice() const { return notice_; }

private:
    QVector<QLabel*> panels_;
    QString notice_;
    QString ownText_;  // of the first panel, while a notice covers it
    int firstWidth_ = -1;  // the first panel's own width; -1 when it takes the rest
};

}  // namespace kit
