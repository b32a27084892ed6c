#include "NamePattern.h"

#include <QFile>

#include <algorithm>

namespace {

bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

} // namespace

NamePattern::NamePattern(const QString &text)
    : m_text(text.trimmed())
{
    if (m_text.contains(u'*') || m_text.contains(u'?'))
        m_glob = QRegularExpression::fromWildcard(m_text, Qt::CaseInsensitive);
    else if (std::all_of(m_text.begin(), m_text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        m_ascii = m_text.toLatin1();
}

bool NamePattern::matchesName(QByteArrayView name) const
{
    const qsizetype length = m_ascii.size();
    if (length > 0 && IsAscii(name)) {
        for (qsizetype at = 0; at + length <= name.size(); ++at)
            if (qstrnicmp(name.data() + at, m_ascii.constData(), size_t(length)) == 0)
                return true;
        return false;
    }
    return matches(QFile::decodeName(QByteArray::fromRawData(name.data(), name.size())));
}

bool NamePattern::matches(QStringView name) const
{
    if (m_text.isEmpty())
        return false;
    if (!m_glob.pattern().isEmpty())
        return m_glob.isValid() && m_glob.match(name).hasMatch();
    return name.contains(m_text, Qt::CaseInsensitive);
}
