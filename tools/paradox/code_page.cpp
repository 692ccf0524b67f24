#include "paradox/code_page.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace paradox {

namespace {

constexpr int ChineseSimplified = 936;

iconv_t handle(void* cd) { return static_cast<iconv_t>(cd); }

void* openConverter(const QByteArray& to, const QByteArray& from) {
    iconv_t cd = iconv_open(to.constData(), from.constData());
    return cd == iconv_t(-1) ? nullptr : cd;
}

}  // namespace

QString encodingForCodePage(int codePage) {
    if (codePage == 0 || codePage == ChineseSimplified)
        return QStringLiteral("GBK");
    return QStringLiteral("CP%1").arg(codePage);
}

CodePage::CodePage(const QString& encoding) : name_(encoding) {
    const QByteArray name = encoding.toLatin1();
    toUtf8_ = openConverter("UTF-8", name);
    fromUtf8_ = openConverter(name, "UTF-8");
    if (!toUtf8_ || !fromUtf8_) {
        if (toUtf8_)
            iconv_close(handle(toUtf8_));
        if (fromUtf8_)
            iconv_close(handle(fromUtf8_));
        throw std::invalid_argument("unknown character set");
    }
}

CodePage::~CodePage() {
    iconv_close(handle(toUtf8_));
    iconv_close(handle(fromUtf8_));
}

std::optional<QByteArray> CodePage::convert(void* cd, const QByteArray& in) {
    iconv(handle(cd), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = size_t(in.size());
    char* outPtr = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(handle(cd), &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1))
            continue;
        if (errno != E2BIG)
            return std::nullopt;  // an invalid or incomplete sequence
        const qsizetype used = outPtr - out.data();
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = size_t(out.size() - used);
    }
    out.resize(outPtr - out.data());
    return out;
}

std::optional<QString> CodePage::decode(const QByteArray& bytes) {
    const std::optional<QByteArray> utf8 = convert(toUtf8_, bytes);
    if (!utf8)
        return std::nullopt;
    return QString::fromUtf8(*utf8);
}

std::optional<QByteArray> CodePage::encode(const QString& text) { return convert(fromUtf8_, text.toUtf8()); }

}  // namespace paradox
