#include "RemoteTarget.h"

RemoteTarget::Problem RemoteTarget::Parse(const QString &machine, const QString &port,
                                          RemoteTarget &target)
{
    target = {};
    QString text = machine.trimmed();
    QString portText = port.trimmed();
    if (text.isEmpty())
        return Problem::Empty;
    if (text.startsWith(u'-'))
        return Problem::Option; // ssh would read it as an option
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return Problem::BadCharacter;
        const QString after = text.mid(close + 1);
        if (after.startsWith(u':') && portText.isEmpty())
            portText = after.mid(1);
        else if (!after.isEmpty())
            return Problem::BadCharacter;
        text = text.mid(1, close - 1);
    } else if (const qsizetype colon = text.lastIndexOf(u':');
               colon >= 0 && text.indexOf(u':') == colon) {
        // One colon is a port; more is an IPv6 address without one.
        if (!portText.isEmpty())
            return Problem::BadPort;
        portText = text.mid(colon + 1);
        text = text.left(colon);
    }
    if (text.isEmpty() || text.startsWith(u'-'))
        return text.isEmpty() ? Problem::Empty : Problem::Option;
    for (const QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control || c == u'\'' || c == u'"' ||
            c == u'\\' || c == u'/')
            return Problem::BadCharacter;
    if (!portText.isEmpty()) {
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535 || portText.startsWith(u'+'))
            return Problem::BadPort;
        target.port = number;
    }
    target.destination = text.toUtf8();
    return Problem::None;
}
