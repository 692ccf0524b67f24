#include "paradox_writer.h"

#include "paradox/code_page.h"

#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <paradox.h>
}

namespace paradox_fixture {

namespace {

void ignoreErrors(pxdoc_t*, int, const char*, void*) {}

QByteArray encoded(paradox::CodePage& codePage, const QString& text) {
    const std::optional<QByteArray> bytes = codePage.encode(text);
    if (!bytes)
        throw std::runtime_error("text not representable in the fixture's character set");
    return *bytes;
}

std::vector<Field> sizeFields() {
    std::vector<Field> fields;
    for (int size = 33; size <= 48; ++size)
        fields.push_back({QString::number(size), paradox::ParadoxType::Short, 2});
    return fields;
}

// pxlib will not write a header that names no code page, as older tables
// have; the two bytes at 0x6A that hold it are cleared afterwards.
void clearCodePage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(0x6A) || file.write(QByteArray(2, '\0')) != 2)
        throw std::runtime_error("cannot clear the code page of the fixture");
}

}  // namespace

void writeTable(const QString& path, const Table& table) {
    PX_boot();
    paradox::CodePage codePage(table.encoding);
    pxdoc_t* doc = PX_new3(ignoreErrors, nullptr, nullptr, nullptr, nullptr);
    const int count = int(table.fields.size());
    auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * count, "fields"));
    bool hasMemo = false;
    for (int i = 0; i < count; ++i) {
        const Field& f = table.fields[i];
        fields[i].px_fname = PX_strdup(doc, encoded(codePage, f.name).constData());
        fields[i].px_ftype = char(f.type);
        fields[i].px_flen = f.length;
        fields[i].px_fdc = 0;
        hasMemo = hasMemo || paradox::isMemoType(f.type);
    }
    QFile::remove(path);
    if (PX_create_file(doc, fields, count, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) < 0) {
        PX_delete(doc);
        throw std::runtime_error("pxlib cannot create the table");
    }
    if (table.codePage != 0)
        PX_set_value(doc, "codepage", float(table.codePage));
    if (!table.password.isEmpty())
        PX_set_parameter(doc, "password", table.password.toLatin1().constData());
    if (hasMemo) {
        const QString memoPath = QFileInfo(path).path() + QLatin1Char('/') + QFileInfo(path).completeBaseName() +
                                 QStringLiteral(".mb");
        QFile::remove(memoPath);
        if (PX_set_blob_file(doc, QFile::encodeName(memoPath).constData()) < 0) {
            PX_close(doc);
            PX_delete(doc);
            throw std::runtime_error("pxlib cannot create the memo file");
        }
    }

    std::vector<pxval_t> cells(count);
    std::vector<pxval_t*> pointers(count);
    std::vector<QByteArray> texts(count);
    for (const Record& record : table.records) {
        for (int i = 0; i < count; ++i) {
            pxval_t& cell = cells[i];
            std::memset(&cell, 0, sizeof cell);
            cell.type = int(table.fields[i].type);
            const Value value = i < int(record.size()) ? record[i] : Value();
            if (std::holds_alternative<std::monostate>(value)) {
                cell.isnull = 1;
            } else if (const QString* text = std::get_if<QString>(&value)) {
                texts[i] = encoded(codePage, *text);
                cell.value.str.val = texts[i].data();
                cell.value.str.len = int(texts[i].size());
            } else if (const qint64* n = std::get_if<qint64>(&value)) {
                cell.value.lval = long(*n);
            } else if (const bool* b = std::get_if<bool>(&value)) {
                cell.value.lval = *b ? 1 : 0;
            } else {
                cell.value.dval = std::get<double>(value);
            }
            pointers[i] = &cell;
        }
        if (PX_insert_record(doc, pointers.data()) < 0) {
            PX_close(doc);
            PX_delete(doc);
            throw std::runtime_error("pxlib cannot write a record");
        }
    }
    PX_close(doc);
    PX_delete(doc);
    if (table.codePage == 0)
        clearCodePage(path);
}

std::vector<Field> catalogueFields() {
    using T = paradox::ParadoxType;
    return {{QStringLiteral("鞋的型号"), T::Alpha, 20}, {QStringLiteral("颜色"), T::Alpha, 20},
            {QStringLiteral("鞋底型号"), T::Alpha, 20}, {QStringLiteral("供应商"), T::Alpha, 40},
            {QStringLiteral("备注"), T::Memo, 11},      {QStringLiteral("顺序"), T::Alpha, 40}};
}

std::vector<Field> orderFields() {
    using T = paradox::ParadoxType;
    std::vector<Field> fields = {{QStringLiteral("批号"), T::Alpha, 20},  {QStringLiteral("单号"), T::Alpha, 20},
                                 {QStringLiteral("鞋的型号"), T::Alpha, 20}, {QStringLiteral("颜色"), T::Alpha, 20},
                                 {QStringLiteral("件数"), T::Short, 2},   {QStringLiteral("双数"), T::Long, 4}};
    for (const Field& f : sizeFields())
        fields.push_back(f);
    fields.push_back({QStringLiteral("备注"), T::Memo, 11});
    fields.push_back({QStringLiteral("已统计"), T::Logical, 1});
    fields.push_back({QStringLiteral("供应商"), T::Alpha, 40});
    fields.push_back({QStringLiteral("鞋底型号"), T::Alpha, 20});
    return fields;
}

std::vector<Field> statisticsFields() {
    using T = paradox::ParadoxType;
    std::vector<Field> fields = {{QStringLiteral("供应商"), T::Alpha, 40}, {QStringLiteral("鞋底型号"), T::Alpha, 20},
                                 {QStringLiteral("双数"), T::Long, 4}};
    for (const Field& f : sizeFields())
        fields.push_back(f);
    fields.push_back({QStringLiteral("顺序"), T::Alpha, 60});
    return fields;
}

}  // namespace paradox_fixture
