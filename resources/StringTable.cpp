#include "StringTable.h"
#include "resource.h"

#include <unordered_map>

namespace {
const std::unordered_map<unsigned, const char *> &Table()
{
    static const std::unordered_map<unsigned, const char *> table = {
        {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
        {IDR_MAINFRAME, "Vellumark"},
        {AFX_IDS_APP_TITLE, "Vellumark"},
        {IDS_SETTINGS_KEY, "Software\\Corvanta\\Vellumark"},
    };
    return table;
}
} // namespace

int LoadResString(unsigned id, QString *text)
{
    const auto it = Table().find(id);
    if (it == Table().end())
        return -1;
    if (text)
        *text = QString::fromUtf8(it->second);
    return 0;
}

QString LoadResString(unsigned id)
{
    QString text;
    LoadResString(id, &text);
    return text;
}
