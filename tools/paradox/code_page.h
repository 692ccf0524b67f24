#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace paradox {

// The character set named for a table's DOS code page: GBK for 936 and for
// a header that names none, "CP<n>" for any other.
QString encodingForCodePage(int codePage);

// Converts text between a character set known to iconv and Unicode.
class CodePage {
public:
    // Throws std::invalid_argument when iconv does not know the name.
    explicit CodePage(const QString& encoding);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const QString& name() const { return name_; }

    // No value when the bytes are no valid text in this character set.
    std::optional<QString> decode(const QByteArray& bytes);
    std::optional<QByteArray> encode(const QString& text);

private:
    static std::optional<QByteArray> convert(void* cd, const QByteArray& in);

    QString name_;
    void* toUtf8_;
    void* fromUtf8_;
};

}  // namespace paradox
