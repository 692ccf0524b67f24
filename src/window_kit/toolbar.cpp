#include "window_kit/toolbar.h"

#include "window_kit/image_list.h"

#include <QLayout>

namespace kit {

QToolBar* makeToolBar(QWidget* parent, const QString& objectName) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName(objectName);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(ImageList::IconSize, ImageList::IconSize));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; spacing: 0px; padding: 0px; }"));
    return bar;
}

QToolButton* addToolButton(QToolBar* bar, const QString& objectName, const QString& caption, int iconIndex,
                           std::function<void()> handler) {
    auto* button = new QToolButton(bar);
    button->setObjectName(objectName);
    button->setText(caption);
    // Read by assistive tools as its caption; a button without one is read
    // by its tool tip.
    button->setAccessibleName(caption.trimmed());
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(ImageList::IconSize, ImageList::IconSize));
    if (iconIndex >= 0)
        button->setIcon(ImageList::instance().icon(iconIndex));
    button->setMinimumSize(51, 51);
    QObject::connect(button, &QToolButton::clicked, bar, [handler = std::move(handler)] {
        if (handler)
            handler();
    });
    bar->addWidget(button);
    return button;
}

void addSeparator(QToolBar* bar, int width) {
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(width);
    bar->addWidget(gap);
}

}  // namespace kit
