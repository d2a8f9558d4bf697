#pragma once

#include <QString>

namespace zandrel {

// The user's full name as the account records it: the first comma-separated field of the passwd
// entry's name field, else the login name, else an empty string.
QString fullUserName();

} // namespace zandrel
