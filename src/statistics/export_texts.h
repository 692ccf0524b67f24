#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace statistics {

// Texts of the export and print commands.
QString confirmExportQuestion();                 // "你真的要导出数据吗？"
QString manyRowsExportQuestion();                // "数据超过400行，是否继续？"
QString confirmPrintQuestion();                  // "你真的要打印吗？"
QString manyRowsPrintQuestion(int presetRows);   // "数据超过" P "行，是否继续？"
QString insertRowsQuestion(int presetRows);      // "数据超过" P "行，目标表格预设行数不够，是否自动插入？"
QString exportFailedMessage();                   // "导出异常，请检查打印机！"
QString templateMissingMessage();                // "鞋底打印.xls模板文件已丢失!"
QString pageFooterText();                        // "Tavrel-Quorin下载"
QString clearEndedText(int figure);              // "在第一列第" k "行检测到空值，清空已结束！"
QString cellClearedText(int row, int figure);    // "在" row "::第" k "行检测到空值，清空已结束！"
QString clearTooManyRowsText();                  // "行数大于十万行，清空已结束！"
// The template's date, the Chinese long date whatever the desktop's
// language: "2026年12月8日".
QString templateDateText(const QDate& date);

// Texts of the export by supplier.
QString exportBySupplierCaption();               // "按供应商导出"
QString exportBySupplierQuestion();              // "你真的要按供应商导出吗？"
QString purchaseSheetTitle();                    // "鞋底采购单"
QString supplierCaption();                       // "供应商："
QString dateCaption();                           // "日期："
QString totalCaption();                          // "合计"
QString noSupplierLabel();                       // "未填供应商"
QString suppliersExportedText(int count);        // "已导出" N "家供应商的采购单"
// Added to the fault that ends the export: whose files were written.
QString suppliersWrittenText(const QStringList& suppliers);
QString folderNotCreatedText(const QString& path);

// The folder of the purchase sheets beside the program: "采购单".
QString purchaseFolderName();

// The template beside the program: folder "打印", file "鞋底打印.xls".
QString templateRelativePath();                  // "打印/鞋底打印.xls"

}  // namespace statistics
