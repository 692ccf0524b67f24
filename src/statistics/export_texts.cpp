#include "statistics/export_texts.h"

#include <QLocale>

namespace statistics {

QString templateDateText(const QDate& date)
{
    return QLocale(QLocale::Chinese, QLocale::China).toString(date, QStringLiteral("yyyy年M月d日"));
}

QString confirmExportQuestion() { return QStringLiteral("你真的要导出数据吗？"); }
QString manyRowsExportQuestion() { return QStringLiteral("数据超过400行，是否继续？"); }
QString confirmPrintQuestion() { return QStringLiteral("你真的要打印吗？"); }
QString manyRowsPrintQuestion(int presetRows) { return QStringLiteral("数据超过%1行，是否继续？").arg(presetRows); }
QString insertRowsQuestion(int presetRows) {
    return QStringLiteral("数据超过%1行，目标表格预设行数不够，是否自动插入？").arg(presetRows);
}
QString exportFailedMessage() { return QStringLiteral("导出异常，请检查打印机！"); }
QString templateMissingMessage() { return QStringLiteral("鞋底打印.xls模板文件已丢失!"); }
QString pageFooterText() { return QStringLiteral("Tavrel-Quorin下载"); }
QString clearEndedText(int figure) { return QStringLiteral("在第一列第%1行检测到空值，清空已结束！").arg(figure); }
QString cellClearedText(int row, int figure) {
    return QStringLiteral("在%1::第%2行检测到空值，清空已结束！").arg(row).arg(figure);
}
QString clearTooManyRowsText() { return QStringLiteral("行数大于十万行，清空已结束！"); }
QString exportBySupplierCaption() { return QStringLiteral("按供应商导出"); }
QString exportBySupplierQuestion() { return QStringLiteral("你真的要按供应商导出吗？"); }
QString purchaseSheetTitle() { return QStringLiteral("鞋底采购单"); }
QString supplierCaption() { return QStringLiteral("供应商："); }
QString dateCaption() { return QStringLiteral("日期："); }
QString totalCaption() { return QStringLiteral("合计"); }
QString noSupplierLabel() { return QStringLiteral("未填供应商"); }
QString suppliersExportedText(int count) { return QStringLiteral("已导出%1家供应商的采购单").arg(count); }
QString suppliersWrittenText(const QStringList& suppliers) {
    if (suppliers.isEmpty())
        return QStringLiteral("没有写出任何供应商的采购单。");
    return QStringLiteral("已写出%1家供应商的采购单：%2").arg(suppliers.size()).arg(suppliers.join(QStringLiteral("、")));
}
QString folderNotCreatedText(const QString& path) { return QStringLiteral("无法创建文件夹：%1").arg(path); }
QString purchaseFolderName() { return QStringLiteral("采购单"); }
QString templateRelativePath() { return QStringLiteral("打印/鞋底打印.xls"); }

}  // namespace statistics
