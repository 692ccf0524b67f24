#include "catalogue_fixture.h"

#include "catalogue/catalogue_delete.h"
#include "catalogue/catalogue_search.h"

namespace {

const QString Model = QStringLiteral("鞋的型号");
const QString Colour = QStringLiteral("颜色");
const QString Supplier = QStringLiteral("供应商");

using CatalogueRules = CatalogueTables;

// The colour code is expanded first, and the sequence is built from the
// expanded colour, for new and for changed records alike.
TEST_F(CatalogueRules, PostingExpandsTheColourThenBuildsTheSequence) {
    struct Case {
        QString model, colour;
        QString stored;  // model/colour/sequence
    };
    const Case cases[] = {
        {"A1", "h", "A1/黑/A1黑"},        {"A2", "ZY", "A2/棕油/A2棕油"},    {"A3", "black", "A3/black/A3black"},
        {"A4", "", "A4//A4"},             {"", "kq", "/卡其/卡其"},          {"A5", "h ", "A5/h /A5h "},
        {"A6", "黑/BLACK", "A6/黑/BLACK/A6黑/BLACK"},
    };
    QStringList expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.toStdString() + " " + c.colour.toStdString());
        shoes->append();
        shoes->field(Model).setText(c.model);
        shoes->field(Colour).setText(c.colour);
        shoes->field(QStringLiteral("顺序")).setText(QStringLiteral("typed"));
        shoes->post();
        expected << c.stored;
        EXPECT_EQ(storedModels(), expected);
    }

    // An edited record gets its colour and sequence again.
    shoes->first();
    shoes->edit();
    shoes->field(Model).setText(QStringLiteral("Z9"));
    shoes->field(Colour).setText(QStringLiteral("hbl"));
    shoes->post();
    EXPECT_EQ(storedModels().first(), QStringLiteral("Z9/黑/BLACK/Z9黑/BLACK"));
    EXPECT_EQ(duplicateMessages, 0);
}

// A second record with the same model and colour, new or changed into one,
// is reported once and dropped; the stored records stay as they were.
TEST_F(CatalogueRules, ADuplicateModelAndColourIsReportedAndDropped) {
    addModels({{"A1", "黑", "D1", "S1"}, {"A1", "棕", "D2", "S2"}});
    const QStringList before = storedModels();
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"insert the same",
         [&] {
             shoes->last();
             shoes->append();
             shoes->field(Model).setText(QStringLiteral("A1"));
             shoes->field(Colour).setText(QStringLiteral("黑"));
         }},
        {"insert a code expanding to the same",
         [&] {
             shoes->append();
             shoes->field(Model).setText(QStringLiteral("A1"));
             shoes->field(Colour).setText(QStringLiteral("h"));
         }},
        {"edit into the same",
         [&] {
             shoes->last();
             shoes->edit();
             shoes->field(Colour).setText(QStringLiteral("h"));
             shoes->field(Supplier).setText(QStringLiteral("lost"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        duplicateMessages = 0;
        c.change();
        EXPECT_THROW(shoes->post(), data::SilentAbort);
        EXPECT_EQ(duplicateMessages, 1);
        EXPECT_EQ(shoes->state(), data::Query::State::Browse);
        EXPECT_EQ(shoes->rowCount(), 2);
        EXPECT_EQ(shoes->field(Supplier).asText(), QStringLiteral("S2"));
        EXPECT_EQ(storedModels(), before);
    }
}

TEST_F(CatalogueRules, SearchTermsAreTheLinesOfTheBox) {
    struct Case {
        QString text;
        QStringList terms;
    };
    const Case cases[] = {
        {"", {}},
        {"12", {"12"}},
        {"12\n3", {"12", "3"}},
        {"12\n3\n", {"12", "3"}},
        {"12\n\n3", {"12", "", "3"}},
        {"\n", {""}},
        {"12\r\n3\r\n", {"12", "3"}},
        // A long term wraps in the narrow box but is still one line.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(catalogue::searchTerms(c.text), c.terms) << c.text.toStdString();
}

// Any one of the terms found anywhere inside the field selects a record.
TEST_F(CatalogueRules, SearchStatementsFindAnyTermInsideTheField) {
    addModels({{"A1", "", "D-3", ""}, {"X2", "", "D-30", ""}, {"O'B", "", "", ""}, {"\u3000X9", "", "d-3", ""}, {"B7", "", "", ""}});
    using F = catalogue::SearchField;
    struct Case {
        F field;
        QStringList terms;
        QString found;
    };
    const Case cases[] = {
        {F::ShoeModel, {"1", "X2"}, "A1,X2"},
        {F::SoleModel, {" D-3\t"}, "A1,X2,\u3000X9"},  // trimmed; LIKE ignores ASCII case
        {F::ShoeModel, {"A", "", "B"}, "A1,X2,O'B,\u3000X9,B7"},  // an empty term finds every filled field
        {F::ShoeModel, {"O'B"}, "O'B"},
        {F::ShoeModel, {"\u3000X"}, "\u3000X9"},
        {F::ShoeModel, {"Z"}, ""},
        {F::ShoeModel, {"_"}, ""},  // % and _ are the typed text, not wildcards
        {F::ShoeModel, {"%", "\\"}, ""},
        {F::ShoeModel, {QStringLiteral("X") + QChar(0) + "2"}, "X2"},  // a NUL is dropped, not the end of the term
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terms.join('|').toStdString());
        shoes->setSql(catalogue::searchStatement(c.field, c.terms));
        shoes->open();
        EXPECT_EQ(column(*shoes, Model).join(','), c.found);
    }
    EXPECT_TRUE(catalogue::searchStatement(F::SoleModel, {}).isEmpty());
}

TEST_F(CatalogueRules, SearchShowsTheMatchesAndCountsTermsAndRecords) {
    addModels({{"112", "黑", "D-1", "S"},
               {"A3B", "棕", "D-2", "S"},
               {"X12", "黑", "R-3", "S"},
               {"Q9", "黑", "R-12", "S"},
               {"M'1", "黑", "D'9", "S"},
               {"", "黑", "D-5", "S"},
               {"5%_1", "黑", "E\\1", "S"}});
    using F = catalogue::SearchField;
    // A box of many terms, as pasted: "12" among terms that match nothing.
    QString manyTerms;
    for (int i = 0; i < 100000; ++i)
        manyTerms += i == 70000 ? QStringLiteral("12\n") : QStringLiteral("Z%1\n").arg(i);
    struct Case {
        F field;
        QString box;
        QStringList models;
        QString termCount;
    };
    const Case cases[] = {
        {F::ShoeModel, "12\n3", {"112", "A3B", "X12"}, "2"},
        {F::ShoeModel, "12\n3\n", {"112", "A3B", "X12"}, "2"},
        {F::ShoeModel, " Q9 ", {"Q9"}, "1"},
        {F::ShoeModel, "M'1", {"M'1"}, "1"},
        {F::ShoeModel, "'", {"M'1"}, "1"},
        {F::ShoeModel, "A3B\n\n", {"A3B", "112", "X12", "Q9", "M'1", "5%_1"}, "2"},  // '%%' skips the blank model
        // Wildcards, the escape character and NUL are searched for as typed.
        {F::ShoeModel, "%", {"5%_1"}, "1"},
        {F::ShoeModel, "_", {"5%_1"}, "1"},
        {F::SoleModel, "\\", {"5%_1"}, "1"},
        {F::ShoeModel, QStringLiteral("%") + QChar(0) + "_", {"5%_1"}, "1"},
        {F::ShoeModel, manyTerms, {"112", "X12"}, "100000"},
        {F::SoleModel, QString(100000, QLatin1Char('D')), {}, "1"},
        {F::SoleModel, "R-\nD'", {"X12", "Q9", "M'1"}, "2"},
        {F::SoleModel, "none", {}, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.toStdString());
        RecordingSink sink;
        EXPECT_TRUE(catalogue::searchModels(*shoes, c.field, c.box, sink));
        QStringList found = column(*shoes, Model);
        QStringList expected = c.models;
        found.sort();
        expected.sort();
        EXPECT_EQ(found, expected);
        EXPECT_EQ(sink.writes, (std::vector<std::pair<int, QString>>{
                                   {kit::CountPanel, c.termCount},
                                   {kit::ProgressPanel, QStringLiteral("共有数据%1条").arg(c.models.size())}}));
        EXPECT_EQ(shoes->sql().count(QLatin1Char('\n')), 0);  // one line of text
    }
}

// An empty box touches nothing; refresh shows every record and leaves the
// term count alone.
TEST_F(CatalogueRules, EmptyBoxDoesNothingAndRefreshShowsAll) {
    addModels({{"A1", "黑", "", ""}, {"B1", "黑", "", ""}, {"B2", "棕", "", ""}});
    shoes->setSql(QStringLiteral("select * from shoes.db where 鞋的型号 LIKE '%B%'"));
    shoes->open();
    shoes->last();
    const QString sql = shoes->sql();
    for (catalogue::SearchField field : {catalogue::SearchField::ShoeModel, catalogue::SearchField::SoleModel}) {
        RecordingSink sink;
        EXPECT_FALSE(catalogue::searchModels(*shoes, field, QString(), sink));
        EXPECT_TRUE(sink.writes.empty());
        EXPECT_EQ(shoes->sql(), sql);
        EXPECT_TRUE(shoes->isOpen());
        EXPECT_EQ(shoes->recNo(), 2);
    }
    RecordingSink sink;
    catalogue::showAllModels(*shoes, sink);
    EXPECT_EQ(shoes->sql(), QStringLiteral("select * from shoes.db"));
    EXPECT_EQ(sink.writes, (std::vector<std::pair<int, QString>>{{kit::ProgressPanel, QStringLiteral("共有数据3条")}}));
}

// Replacing the statement stores a record being edited instead of losing it.
TEST_F(CatalogueRules, SearchAndRefreshStoreARecordBeingEdited) {
    addModels({{"A1", "黑", "", ""}, {"B1", "黑", "", ""}});
    struct Case {
        const char* name;
        std::function<void(RecordingSink&)> run;
    };
    const Case cases[] = {
        {"search", [&](RecordingSink& s) { catalogue::searchModels(*shoes, catalogue::SearchField::ShoeModel, "1", s); }},
        {"refresh", [&](RecordingSink& s) { catalogue::showAllModels(*shoes, s); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shoes->first();
        shoes->edit();
        shoes->field(Supplier).setText(QString::fromLatin1(c.name));
        RecordingSink sink;
        c.run(sink);
        auto stored = openQuery(QStringLiteral("select * from shoes.db where 鞋的型号='A1'"));
        EXPECT_EQ(stored->field(Supplier).asText(), QString::fromLatin1(c.name));
    }
}

TEST_F(CatalogueRules, DeleteAfterASearchRemovesOnlyTheMatches) {
    addModels({{"K1", "黑", "", ""}, {"A1", "黑", "", ""}, {"K2", "黑", "", ""}, {"K3", "棕", "", ""},
               {"B1", "黑", "", ""}, {"K4", "黑", "", ""}, {"K5", "卡其", "", ""}, {"C1", "黑", "", ""}});
    RecordingSink search;
    ASSERT_TRUE(catalogue::searchModels(*shoes, catalogue::SearchField::ShoeModel, QStringLiteral("K"), search));
    ASSERT_EQ(shoes->recordCount(), 5);
    shoes->moveTo(3);  // the loop starts from the first record wherever the cursor is

    RecordingSink sink;
    bool busyInside = true;
    sink.onEvents = [&] { busyInside = busyInside && shoes->isBusy(); };
    EXPECT_EQ(catalogue::deleteShownModels(*shoes, sink), 5);
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
              (QStringList{"此表共有记录4条:未完成:4@已完成:1", "此表共有记录3条:未完成:3@已完成:2",
                           "此表共有记录2条:未完成:2@已完成:3", "此表共有记录1条:未完成:1@已完成:4",
                           "此表共有记录0条:未完成:0@已完成:5", "删除完毕"}));
    EXPECT_EQ(sink.eventTurns, 5);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(shoes->isBusy());
    EXPECT_EQ(storedModels(), (QStringList{"A1/黑/", "B1/黑/", "C1/黑/"}));
}

TEST_F(CatalogueRules, DeleteOfAnEmptyResultOnlySaysItIsDone) {
    addModels({{"A1", "黑", "", ""}});
    RecordingSink search;
    ASSERT_TRUE(catalogue::searchModels(*shoes, catalogue::SearchField::ShoeModel, QStringLiteral("Z"), search));
    RecordingSink sink;
    EXPECT_EQ(catalogue::deleteShownModels(*shoes, sink), 0);
    EXPECT_EQ(sink.writes, (std::vector<std::pair<int, QString>>{{kit::ProgressPanel, QStringLiteral("删除完毕")}}));
    EXPECT_EQ(sink.eventTurns, 0);
    EXPECT_EQ(storedModels().size(), 1);
}

}  // namespace
