#include "NamePattern.h"

NamePattern::NamePattern(const QString &text)
    : m_text(text.trimmed())
{
    if (m_text.contains(u'*') || m_text.contains(u'?'))
        m_glob = QRegularExpression::fromWildcard(m_text, Qt::CaseInsensitive);
}

bool NamePattern::matches(QStringView name) const
{
    if (m_text.isEmpty())
        return false;
    if (!m_glob.pattern().isEmpty())
        return m_glob.isValid() && m_glob.match(name).hasMatch();
    return name.contains(m_text, Qt::CaseInsensitive);
}
