// Feeds the statement layer whatever bytes libFuzzer makes up. The first
// byte chooses what the rest is:
//   0, 1, 2  the lines of a list search on batch, order number or model;
//   3, 4     the search box of the catalogue, on shoe or sole model;
//   5        the combined search: a byte of ticks, then four texts;
//   6, 7     a statement text as it stands.
// A statement the windows build must run and find exactly the records a
// plain loop over the same records finds. A statement text must run, or be
// refused by the statement layer itself (an engine error without an SQLite
// code); anything else stops the run: a crash, a sanitizer report, an
// SQLite error on its way to the clerk, or a wrong answer.
//
// With TAVREL_FUZZ_SEEDS set to a folder, the statements the program builds
// are first written there as a seed corpus.

#include "catalogue/catalogue_search.h"
#include "data/core/errors.h"
#include "data/engine/query.h"
#include "data/core/search_terms.h"
#include "data/engine/open_store.h"
#include "orders/order_search.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Order {
    QString batch, order, model, colour;
    bool counted;
};

struct Model {
    QString shoe, colour, sole;
};

// Texts with wildcards, quotes, the escape character, case and blanks.
const std::vector<Order> orders = {
    {"A1", "D1", "ab-1", "黑", true},   {"a1", "D1", "AB-1", "棕", false},    {"A2", "d1", "A_1", "5%", false},
    {"B'3", "O'K", "", "", true},       {"100%", "D2", "A%1", "%", false},    {"1_0", "D2", "a\\1", "\\", false},
    {"1001", "", "12", "黑/BLACK", false}, {"1002", "D 3", " x ", " ", true}, {"X", "%", "%%", "_", false},
    {"鞋1", "鞋", "鞋的型号", "卡其", false}, {"Ab", "aB", "ab", "AB", true},     {"_", "_", "_", "_", false},
};

const std::vector<Model> models = {
    {"112", "黑", "D-1"}, {"A3B", "棕", "d-2"}, {"5%_1", "黑", "E\\1"}, {"", "黑", "D-5"},
    {"M'1", "黑", "D'9"}, {"ab", "白", "AB"},   {"%", "黑", "_"},       {"Q9", "黑", ""},
};

std::unique_ptr<QTemporaryDir> folder;
std::unique_ptr<data::Engine> engine;
std::unique_ptr<data::Query> orderQuery, modelQuery;

[[noreturn]] void stop(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

void fillTables() {
    data::Query q(*engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    for (const Order& o : orders) {
        q.append();
        q.field(QStringLiteral("批号")).setText(o.batch);
        q.field(QStringLiteral("单号")).setText(o.order);
        q.field(QStringLiteral("鞋的型号")).setText(o.model);
        q.field(QStringLiteral("颜色")).setText(o.colour);
        q.field(QStringLiteral("已统计")).setBoolean(o.counted);
        q.post();
    }
    data::Query m(*engine);
    m.setSql(QStringLiteral("select * from shoes.db"));
    m.open();
    for (const Model& r : models) {
        m.append();
        m.field(QStringLiteral("鞋的型号")).setText(r.shoe);
        m.field(QStringLiteral("颜色")).setText(r.colour);
        m.field(QStringLiteral("鞋底型号")).setText(r.sole);
        m.post();
    }
}

QString asciiUpper(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return text;
}

QString withoutNul(QString text) {
    text.remove(QChar(0));
    return text;
}

// What a contains-search finds: a field that is not blank and holds the
// term, ASCII letters in either case.
bool contains(const QString& value, const QString& term) {
    return !value.isEmpty() && asciiUpper(value).contains(asciiUpper(data::trimBlanks(withoutNul(term))));
}

QStringList found(data::Query& q, const QString& statement, const QStringList& keyFields) {
    q.close();
    q.setSql(statement);
    q.open();
    QStringList keys;
    for (q.first(); !q.eof(); q.next()) {
        QStringList parts;
        for (const QString& f : keyFields)
            parts << q.field(f).asText();
        keys << parts.join(QLatin1Char('|'));
    }
    return keys;
}

void expectSame(const QStringList& got, const QStringList& expected, const QString& statement) {
    if (got != expected)
        stop("wrong records", QStringLiteral("%1\n  found:    %2\n  expected: %3")
                                  .arg(statement.left(2000), got.join(QLatin1Char(',')), expected.join(QLatin1Char(','))));
}

void listSearch(orders::ListSearchField field, const QString& text) {
    const QStringList lines = data::listLines(text);
    const QString statement = orders::listSearchStatement(field, lines);
    if (lines.isEmpty())
        return;
    QStringList expected;
    for (const Order& o : orders) {
        const QString& value = field == orders::ListSearchField::BatchNumber   ? o.batch
                               : field == orders::ListSearchField::OrderNumber ? o.order
                                                                               : o.model;
        for (const QString& line : lines)
            if (value == withoutNul(line)) {
                expected << o.batch;
                break;
            }
    }
    expectSame(found(*orderQuery, statement, {QStringLiteral("批号")}), expected, statement);
}

void catalogueSearch(catalogue::SearchField field, const QString& text) {
    const QStringList terms = catalogue::searchTerms(text);
    const QString statement = catalogue::searchStatement(field, terms);
    if (terms.isEmpty())
        return;
    QStringList expected;
    for (const Model& m : models) {
        const QString& value = field == catalogue::SearchField::ShoeModel ? m.shoe : m.sole;
        for (const QString& term : terms)
            if (contains(value, term)) {
                expected << m.shoe + QLatin1Char('|') + m.colour;
                break;
            }
    }
    expectSame(found(*modelQuery, statement, {QStringLiteral("鞋的型号"), QStringLiteral("颜色")}), expected, statement);
}

void combinedSearch(quint8 ticks, const QString& text) {
    const QStringList texts = text.split(QLatin1Char('\n'));
    auto textAt = [&](int i) { return i < texts.size() ? texts[i] : QString(); };
    orders::SearchCriteria c;
    c.batchTicked = ticks & 1;
    c.orderTicked = ticks & 2;
    c.modelTicked = ticks & 4;
    c.modelFuzzy = ticks & 8;
    c.colourTicked = ticks & 16;
    c.counted = ticks & 32;
    c.notCounted = (ticks & 64) && !c.counted;
    c.batch = textAt(0);
    c.order = textAt(1);
    c.model = textAt(2);
    c.colour = textAt(3);
    const QString statement = orders::combinedSearchStatement(c);
    QStringList expected;
    for (const Order& o : orders) {
        bool match = true;
        if (c.batchTicked && !c.batch.isEmpty())
            match = match && o.batch == asciiUpper(withoutNul(c.batch));
        if (c.orderTicked && !c.order.isEmpty())
            match = match && o.order == asciiUpper(withoutNul(c.order));
        if (c.colourTicked && !c.colour.isEmpty())
            match = match && contains(o.colour, c.colour);
        if (c.modelTicked && !c.model.isEmpty())
            match = match && (c.modelFuzzy ? contains(o.model, c.model) : o.model == asciiUpper(withoutNul(c.model)));
        if (c.counted)
            match = match && o.counted;
        if (c.notCounted)
            match = match && !o.counted;
        if (match)
            expected << o.batch;
    }
    expectSame(found(*orderQuery, statement, {QStringLiteral("批号")}), expected, statement);
}

void statementText(const QString& text) {
    data::Query q(*engine);
    try {
        q.setSql(text);
        q.open();
        for (q.first(); !q.eof(); q.next())
            q.value(0);
    } catch (const data::EngineError& e) {
        if (e.code() != 0)
            stop("SQLite error", e.message() + QStringLiteral("\n  statement: ") + text.left(2000));
    }
}

void run(const uint8_t* bytes, size_t size) {
    if (size == 0)
        return;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes + 1), qsizetype(size - 1));
    switch (bytes[0] % 8) {
    case 0:
        return listSearch(orders::ListSearchField::BatchNumber, text);
    case 1:
        return listSearch(orders::ListSearchField::OrderNumber, text);
    case 2:
        return listSearch(orders::ListSearchField::ShoeModel, text);
    case 3:
        return catalogueSearch(catalogue::SearchField::ShoeModel, text);
    case 4:
        return catalogueSearch(catalogue::SearchField::SoleModel, text);
    case 5:
        return size >= 2 ? combinedSearch(bytes[1], QString::fromUtf8(reinterpret_cast<const char*>(bytes + 2), qsizetype(size - 2)))
                         : void();
    default:
        return statementText(text);
    }
}

void writeSeed(const QDir& dir, int& n, char mode, const QByteArray& rest) {
    QFile file(dir.filePath(QStringLiteral("seed-%1").arg(++n, 3, 10, QLatin1Char('0'))));
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(1, mode) + rest);
}

// The inputs of the searches and the statements they build.
void writeSeeds(const QString& path) {
    QDir dir;
    dir.mkpath(path);
    dir.setPath(path);
    int n = 0;
    const QStringList lists = {"A1\n1001\n1002", "D1\nO'K\n", "12\n\n%\n_", "5%\na_\\1\n'\n鞋", "100%\n1_0\n"};
    QStringList statements;
    for (const QString& l : lists) {
        for (char mode : {'\0', '\1', '\2', '\3', '\4'})
            writeSeed(dir, n, mode, l.toUtf8());
        statements << orders::listSearchStatement(orders::ListSearchField::BatchNumber, data::listLines(l))
                   << catalogue::searchStatement(catalogue::SearchField::ShoeModel, catalogue::searchTerms(l));
    }
    for (quint8 ticks : {quint8(0x01 | 0x20), quint8(0x1F), quint8(0x04 | 0x08 | 0x40), quint8(0x10)}) {
        writeSeed(dir, n, '\5', QByteArray(1, char(ticks)) + QByteArray("a1\nd 2\nA_1\n5%"));
        orders::SearchCriteria c;
        c.batchTicked = c.orderTicked = c.modelTicked = c.colourTicked = true;
        c.modelFuzzy = ticks & 8;
        c.counted = ticks & 32;
        c.batch = "a1";
        c.order = "d 2";
        c.model = "A_1";
        c.colour = "5%";
        statements << orders::combinedSearchStatement(c);
    }
    statements << orders::allOrdersStatement() << catalogue::allModelsStatement()
               << QStringLiteral("select * from dd.db where 已统计=false")
               << QStringLiteral("select * from shoes.db where 鞋的型号='A1' and 颜色='黑'")
               << QStringLiteral("select * from XdTJ.db where 鞋底型号='X' and 供应商=''")
               << QStringLiteral("select * from dd.db where (33='5' or 件数=2) and (批号 like 'a%' or 颜色 like '%\\%%' escape '\\')");
    for (const QString& s : statements)
        writeSeed(dir, n, '\6', s.toUtf8());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid())
        stop("setup", QStringLiteral("no temporary folder"));
    data::createTables(folder->path());
    engine = std::make_unique<data::Engine>(folder->path());
    fillTables();
    orderQuery = std::make_unique<data::Query>(*engine);
    modelQuery = std::make_unique<data::Query>(*engine);
    if (const QByteArray seeds = qgetenv("TAVREL_FUZZ_SEEDS"); !seeds.isEmpty())
        writeSeeds(QString::fromLocal8Bit(seeds));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    try {
        run(bytes, size);
    } catch (const std::exception& e) {
        stop("exception", QString::fromUtf8(e.what()));
    }
    return 0;
}
