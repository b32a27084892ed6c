#include "CollationKeys.h"

#include <unicode/ucol.h>

CollationKeys::CollationKeys(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return;
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(locale.bcp47Name().replace(u'-', u'_').toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        m_collator = nullptr;
        return;
    }
    // As QCollator sets them: decomposed and composed accents collate alike, punctuation and
    // digits count as they are.
    ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
}

CollationKeys::~CollationKeys()
{
    if (m_collator)
        ucol_close(m_collator);
}

void CollationKeys::reserve(size_t names, size_t bytes)
{
    m_ends.reserve(names);
    m_bytes.reserve(bytes);
}

void CollationKeys::add(QStringView name)
{
    const size_t start = m_bytes.size();
    if (!m_collator) {
        // Big-endian code units: bytes compare as the units do.
        m_bytes.resize(start + size_t(name.size()) * 2);
        for (qsizetype i = 0; i < name.size(); ++i) {
            m_bytes[start + size_t(i) * 2] = char(name[i].unicode() >> 8);
            m_bytes[start + size_t(i) * 2 + 1] = char(name[i].unicode() & 0xff);
        }
        m_ends.push_back(m_bytes.size());
        return;
    }
    const auto text = reinterpret_cast<const UChar *>(name.utf16());
    const auto length = int32_t(name.size());
    // Keys run to about three bytes a character; a longer one is made again with room enough.
    size_t room = size_t(name.size()) * 4 + 16;
    for (;;) {
        m_bytes.resize(start + room);
        const int32_t made = ucol_getSortKey(
            m_collator, text, length, reinterpret_cast<uint8_t *>(&m_bytes[start]), int32_t(room));
        if (made <= int32_t(room)) {
            // Without the terminating zero, which no key holds elsewhere.
            m_bytes.resize(start + size_t(made > 0 ? made - 1 : 0));
            break;
        }
        room = size_t(made);
    }
    m_ends.push_back(m_bytes.size());
}

std::string_view CollationKeys::key(size_t index) const
{
    const size_t start = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_bytes).substr(start, m_ends[index] - start);
}
