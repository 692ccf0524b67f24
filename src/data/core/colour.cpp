#include "data/core/colour.h"

#include <array>

namespace data {

namespace {

struct ColourCode {
    const char* code;
    const char16_t* name;
};

// Tested in this order; no name, lower-cased, equals a code, so at most one applies.
constexpr std::array<ColourCode, 11> colourCodes = {{
    {"z", u"棕"},
    {"zy", u"棕油"},
    {"zc", u"棕擦"},
    {"kq", u"卡其"},
    {"h", u"黑"},
    {"hc", u"灰擦"},
    {"zl", u"打蜡棕"},
    {"hbl", u"黑/BLACK"},
    {"zbr", u"棕/BROWN"},
    {"bl", u"BLACK"},
    {"br", u"BROWN"},
}};

// Lower-cases the ASCII capitals only; every other character stays.
QString asciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return lower;
}

}  // namespace

QString expandColourCode(const QString& colour) {
    // Every code is one to three ASCII letters: any other text (a colour
    // name, nearly always) is no code, and no name expands again.
    if (colour.isEmpty() || colour.size() > 3)
        return colour;
    for (const QChar c : colour)
        if (c.unicode() > 0x7f)
            return colour;  // a short colour name: 黑, 白色
    const QString lower = asciiLower(colour);
    for (const ColourCode& entry : colourCodes)
        if (lower == QLatin1String(entry.code))
            return QString::fromUtf16(entry.name);
    return colour;
}

}  // namespace data
