#include "SavedRootName.h"

#include "ThisProcess.h"

namespace {

QByteArray Sanitized(const QByteArray &name)
{
    QByteArray clean = name;
    for (char &c : clean)
        if (c == '/' || uchar(c) < 0x20 || c == 0x7f)
            c = '_';
    return clean;
}

} // namespace

QByteArray SavedRootName(const QByteArray &machine, const QByteArray &fallback,
                         const QByteArray &root,
                         const std::function<bool(const QByteArray &)> &taken)
{
    QByteArray name = Sanitized(machine.isEmpty() ? fallback : machine);
    if (name.isEmpty())
        name = "scan";
    QByteArray named = name + ':' + root;
    for (int n = 2; taken(named); ++n)
        named = name + " (" + QByteArray::number(n) + "):" + root;
    return named;
}

QByteArray SavedRootLabel(const QByteArray &named, const QByteArray &root)
{
    return root == "/" || !named.endsWith('/') ? named : named.chopped(1);
}

QByteArray ThisMachine()
{
    return ThisProcess::HostName();
}
