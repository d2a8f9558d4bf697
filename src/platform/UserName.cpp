#include "platform/UserName.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace zandrel {

QString fullUserName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString();
    const QString gecos = QString::fromLocal8Bit(found->pw_gecos ? found->pw_gecos : "");
    const QString name = gecos.section(u',', 0, 0).trimmed();
    if (!name.isEmpty())
        return name;
    return QString::fromLocal8Bit(found->pw_name ? found->pw_name : "");
}

} // namespace zandrel
