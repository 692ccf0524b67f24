#pragma once

#include "data/engine/query.h"
#include "window_kit/window_registry.h"

#include <QWidget>

class QMenu;
class QAction;
class QToolButton;

namespace kit {
class StatusPanels;
}
namespace spreadsheet {
class Worksheet;
}
namespace dbui {
class DataSource;
class DbGrid;
class DbNavigator;
class DbCheckBox;
class GridKeyboardRule;
}

// "订单表": the order table "dd.db" and the tools that change it. Its query
// is the one query over the orders; every other window and tool uses it.
class TaForm3DD : public QWidget {
    Q_OBJECT

public:
    explicit TaForm3DD(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    data::Query* Query1 = nullptr;
    dbui::DataSource* DataSource1 = nullptr;
    dbui::DbNavigator* DBNavigator1 = nullptr;
    dbui::DbCheckBox* DBCheckBox1 = nullptr;
    dbui::DbGrid* DBGrid2 = nullptr;  // upper strip
    dbui::DbGrid* DBGrid1 = nullptr;  // lower grid
    QMenu* PopupMenu1 = nullptr;
    QAction* N4 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    kit::StatusPanels* sBar = nullptr;

    // The hint the third status panel starts with.
    static QString gridHint();
    // Odd record numbers of the lower grid are drawn on silver.
    static bool isStripedRecord(int recNo) { return recNo % 2 == 1; }

    void Query1BeforePost(data::Query& query);
    data::Query::PostErrorAction Query1PostError(data::Query& query, const data::EngineError& error);
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton5Click();
    void ToolButton8Click();
    void ToolButton9Click();
    void ToolButton11Click();
    void ToolButton12Click();
    void ToolButtonCXClick();  // "撤销"
    void ImportWorksheet(spreadsheet::Worksheet& sheet, dbui::DbGrid* grid);

    // The file types the import's file dialog offers, the first one chosen.
    static QStringList importFilters();
    void N1Click();
    void N2Click();
    void N4Click();

    // Replaces the drop-down choices of the lower grid's shoe-model column.
    void setModelChoices(const QStringList& models);
    QStringList modelChoices() const;

private:
    void buildToolBar(class QVBoxLayout* layout);
    void barWhatThisDeskMayNotChange();
    void buildGrids(class QVBoxLayout* layout);
    void setBulkLoopRunning(bool running);
    void showSkippedRows(int skipped);

    kit::WindowRegistry& windows_;
    QList<QWidget*> walkingCommands_;
    QString lastImportFile_;  // disabled while a bulk loop walks the query
};
