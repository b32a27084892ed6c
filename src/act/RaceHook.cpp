#include "RaceHook.h"

namespace RaceHook {

namespace {
Handler g_handler;
}

void Set(Handler handler)
{
    g_handler = std::move(handler);
}

void Reach(Moment moment, const QByteArray &path)
{
    if (g_handler)
        g_handler(moment, path);
}

} // namespace RaceHook
