#include "window_kit/status_panels.h"

namespace kit {

StatusPanels::StatusPanels(const QVector<int>& fixedWidths, QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("sBar"));
    setSizeGripEnabled(false);
    setFixedHeight(25);
    for (int i = 0; i <= fixedWidths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setObjectName(QStringLiteral("sBarPanel%1").arg(i + 1));
        if (i < fixedWidths.size()) {
            label->setFixedWidth(fixedWidths[i]);
            addWidget(label);
        } else {
            label->setMinimumWidth(10);
            addWidget(label, 1);
        }
        panels_ << label;
    }
}

void StatusPanels::setPanelText(int panel, const QString& text) {
    if (QLabel* label = panels_.value(panel)) {
        // Assistive tools read a panel as what it shows.
        label->setText(text);
        label->setAccessibleName(text);
    }
}

QString StatusPanels::panelText(int panel) const {
    QLabel* label = panels_.value(panel);
    return label ? label->text() : QString();
}

}  // namespace kit
