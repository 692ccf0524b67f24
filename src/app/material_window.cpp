#include "app/material_window.h"

#include "app/window_look.h"

#include "app/status_panels.h"

#include <QVBoxLayout>

TaForm10YL::TaForm10YL(QWidget* parent)
    : QWidget(parent, app::fixedWindowFlags()) {
    setObjectName(QStringLiteral("aForm10YL"));
    setWindowTitle(QStringLiteral("材料用量快速输入"));
    setFixedSize(426, 566);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    sBar = new app::StatusPanels({50}, this);
    layout->addWidget(sBar);
}
