#pragma once

#include "app/window_registry.h"
#include "data/query.h"

#include <QWidget>

class QListWidget;

namespace app {
class StatusPanels;
}
namespace dbui {
class DataSource;
class DbGrid;
}

// "鞋底型号表": the sole-model catalogue over "shoes.db".
class TAForm2shoes : public QWidget {
    Q_OBJECT

public:
    explicit TAForm2shoes(app::WindowRegistry& windows, QWidget* parent = nullptr);

    data::Query* Query1 = nullptr;
    dbui::DataSource* DataSource1 = nullptr;
    dbui::DbGrid* DBGrid1 = nullptr;
    app::StatusPanels* sBar = nullptr;
    QListWidget* LISTNO = nullptr;  // the unregistered models and colours

    // Adds a line at the end of the unregistered list (the sole assignment's
    // model:colour:pairs:batch lines).
    void addUnregisteredLine(const QString& line);

private:
    app::WindowRegistry& windows_;
};
