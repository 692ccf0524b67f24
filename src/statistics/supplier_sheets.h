#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace data {
class Query;
}
namespace spreadsheet {
class Worksheet;
}

namespace statistics {

// One sole model of a supplier as the statistics hold it: the model, the
// pairs and the sixteen sizes "33" to "48", each as the field's text.
struct PurchaseRow {
    QString model;
    QString pairs;
    QStringList sizes;
};

// The rows of one supplier, in the order of the statistics.
struct SupplierRows {
    QString supplier;  // as stored; empty for rows without a supplier
    std::vector<PurchaseRow> rows;
};

// The statistics rows grouped by supplier: the suppliers in the order in
// which they first appear, every row in exactly one group. A supplier of
// blanks only counts as empty. The query ends past its last record.
std::vector<SupplierRows> groupBySupplier(data::Query& statistics);

// The name a supplier's purchase sheet goes by: "未填供应商" for an empty
// supplier, the supplier itself otherwise ("未登记" stays "未登记").
QString supplierLabel(const QString& supplier);

// The label made fit to start a file name on every system: characters a
// file name may not hold (<>:"/\|?* and control characters) become "_",
// leading and trailing blanks go, at most 80 characters are kept; "_" when
// nothing is left. (The date that follows keeps device names such as "CON"
// and trailing dots harmless.)
QString safeFileName(const QString& label);

// The label made fit for a sheet name: the characters []*?:/\ become "_",
// at most 31 characters, no apostrophe at either end.
QString safeSheetName(const QString& label);

// "<name>_<yyyy-MM-dd>", or with " (2)", " (3)"... appended, the first for
// which neither a .xlsx nor a .pdf of that name exists in folder and which
// is not among `taken` (names handed out before, compared without regard
// to letter case).
QString freeBaseName(const QString& folder, const QString& name, const QDate& date, const QStringList& taken);

// The purchase sheet of one supplier on `sheet` (a new, empty worksheet):
// the sheet named by the supplier, the title "鞋底采购单", the supplier and
// the date as a Chinese long date, the title row "鞋底型号", "双数", "33" ...
// "48", one row per sole model, and a "合计" row whose sums are formulas.
// Models stay texts; printed landscape, one page wide, with grid lines.
void writePurchaseSheet(spreadsheet::Worksheet& sheet, const SupplierRows& supplier, const QDate& date);

// Where the sheet's parts lie.
inline constexpr int PurchaseTitleRow = 5;      // "鞋底型号", "双数", "33" ...
inline constexpr int PurchaseFirstDataRow = 6;
inline constexpr int PurchaseColumns = 18;      // model, pairs, sixteen sizes

}  // namespace statistics
