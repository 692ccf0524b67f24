#include "data/core/colour.h"
#include "qt_printing.h"

#include <gtest/gtest.h>

namespace {

struct ColourCase {
    const char16_t* typed;
    const char16_t* stored;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << '"' << QString::fromUtf16(c.typed).toStdString() << "\" -> \"" << QString::fromUtf16(c.stored).toStdString() << '"';
}

class ColourShorthand : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourShorthand, ExpandsExactCodesOnly) {
    const ColourCase c = GetParam();
    EXPECT_EQ(data::expandColourCode(QString::fromUtf16(c.typed)), QString::fromUtf16(c.stored));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ColourShorthand,
    ::testing::Values(ColourCase{u"z", u"棕"}, ColourCase{u"zy", u"棕油"}, ColourCase{u"zc", u"棕擦"},
                      ColourCase{u"kq", u"卡其"}, ColourCase{u"h", u"黑"}, ColourCase{u"hc", u"灰擦"},
                      ColourCase{u"zl", u"打蜡棕"}, ColourCase{u"hbl", u"黑/BLACK"}, ColourCase{u"zbr", u"棕/BROWN"},
                      ColourCase{u"bl", u"BLACK"}, ColourCase{u"br", u"BROWN"},
                      // any case of ASCII letters
                      ColourCase{u"H", u"黑"}, ColourCase{u"ZY", u"棕油"}, ColourCase{u"Bl", u"BLACK"},
                      ColourCase{u"HbL", u"黑/BLACK"}));

INSTANTIATE_TEST_SUITE_P(
    LeftAlone, ColourShorthand,
    ::testing::Values(ColourCase{u"h ", u"h "}, ColourCase{u" z", u" z"}, ColourCase{u"zz", u"zz"},
                      ColourCase{u"black", u"black"}, ColourCase{u"黑", u"黑"}, ColourCase{u"BLACK", u"BLACK"},
                      ColourCase{u"黑/BLACK", u"黑/BLACK"}, ColourCase{u"棕/BROWN", u"棕/BROWN"},
                      ColourCase{u"", u""}, ColourCase{u"ｈ", u"ｈ"},  // full-width letter is no code
                      ColourCase{u"h黑", u"h黑"}));

TEST(ColourShorthandTwice, SecondExpansionChangesNothing) {
    for (const char* code : {"z", "zy", "zc", "kq", "h", "hc", "zl", "hbl", "zbr", "bl", "br"}) {
        const QString once = data::expandColourCode(QString::fromLatin1(code));
        EXPECT_EQ(data::expandColourCode(once), once) << code;
    }
}

}  // namespace
