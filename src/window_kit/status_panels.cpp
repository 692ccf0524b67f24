#include "window_kit/status_panels.h"

#include <algorithm>

namespace kit {

StatusPanels::StatusPanels(const QVector<int>& fixedWidths, QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("sBar"));
    setSizeGripEnabled(false);
    setFixedHeight(25);
    firstWidth_ = fixedWidths.value(0, -1);
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
    if (panel == 0 && !notice_.isEmpty()) {
        ownText_ = text;
        return;
    }
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

void StatusPanels::setNotice(const QString& text) {
    QLabel* first = panels_.value(0);
    if (!first || text == notice_)
        return;
    if (text.isEmpty()) {
        notice_.clear();
        if (firstWidth_ >= 0)
            first->setFixedWidth(firstWidth_);
        setPanelText(0, ownText_);
        return;
    }
    if (notice_.isEmpty())
        ownText_ = first->text();
    notice_ = text;
    if (firstWidth_ >= 0) {
        const int room = first->fontMetrics().horizontalAdvance(text) + 2 * first->frameWidth() + 8;
        first->setFixedWidth(std::max(firstWidth_, room));
    }
    first->setText(text);
    first->setAccessibleName(text);
}

}  // namespace kit
